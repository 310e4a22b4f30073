#include <QtTest>

#include "mail/OutgoingMessage.h"
#include "mail/SessionTexts.h"
#include "mail/SmtpExtensions.h"
#include "support/SessionRigs.h"

// The SMTP dialogue driven chunk by chunk against a fake server.

namespace {

using Strings = std::vector<std::string>;

SmtpJob sharedJob(int recipients)
{
    SmtpJob job;
    job.server = "smtp.example.jp";
    job.ownAddress = "quiz@trivorn.test";
    job.headersFor = [](int) { return testHeaders(); };
    job.subject = "Quiz";
    for (int i = 0; i < recipients; ++i)
        job.recipients.push_back({"name" + std::to_string(i), "p" + std::to_string(i) + "@docomo.ne.jp"});
    job.bodyFor = [](int) { return std::string("Hello"); };
    return job;
}

// Per-recipient status line: name様へ subject の送信中です。しばらくお待ち下さい。 n/k 件処理中です。
std::string recipientStatus(const std::string& name, const std::string& subject, int n, int k)
{
    return name + sjis("様へ") + subject + sjis("の送信中です。しばらくお待ち下さい。") + std::to_string(n) + "/" +
           std::to_string(k) + sjis("件処理中です。");
}

const std::string kEndStatus = sjis("送信メールサバー接続終了");

}  // namespace

Q_DECLARE_METATYPE(Strings)

class TestSmtpSession : public QObject {
    Q_OBJECT
private slots:
    void startConnectsWithTimeout();
    void sharedModeDialogue();
    void oneRecipientGoesStraightToRcptTo();
    void greetingFraming_data();
    void greetingFraming();
    void multiLineReplyToHelo();
    void repliesInOneArrivalAreTakenInTurn();
    void unexpectedCodeEndsWithQuit_data();
    void unexpectedCodeEndsWithQuit();
    void rejectedThirdOfFiveRecipients_data();
    void rejectedThirdOfFiveRecipients();
    void perRecipientMode();
    void bodyDotLinesAreStuffedOnTheWire();
    void silenceUntilTimeOut();
    void everyArrivalRestartsTheTimeOut();
    void closeWithoutQuitReplyEndsOnce();
    void socketErrorOnlyShowsMessage();
    void faultInHandlerClosesAndTimesOut();
    void lineBreakInRecipientIsSkipped();
    void onlyUnusableRecipients();
    void lineBreakInSenderOrServerSendsQuitFirst_data();
    void lineBreakInSenderOrServerSendsQuitFirst();
    void endlessReplyIsRefused();
    void overlongReplyCountsOnce_data();
    void overlongReplyCountsOnce();
    void feedbackStyleShowsRcptToWithoutProgress();
    void protectedDialogue_data();
    void protectedDialogue();
    void refusedCertificateEndsAtOnce();
    void ehloOffers_data();
    void ehloOffers();
    void stalledHandshakeTimesOut_data();
    void stalledHandshakeTimesOut();
    void eventsAfterTheEndAreIgnored();
    void groupedDialogue_data();
    void groupedDialogue();
};

void TestSmtpSession::startConnectsWithTimeout()
{
    SmtpRig rig;
    rig.socket.acceptConnection();   // a socket left open by an earlier session
    rig.session.start(sharedJob(1));
    QCOMPARE(rig.socket.closeCalls, 1);
    QCOMPARE(rig.socket.connectCalls, 1);
    QCOMPARE(rig.socket.connectedHost, std::string("smtp.example.jp"));
    QCOMPARE(rig.socket.connectedPort, 25);
    QCOMPARE(rig.socket.localPort, 0);
    QCOMPARE(rig.timer.interval(), 10000);
    QVERIFY(rig.timer.enabled());
    QCOMPARE(rig.session.state(), SmtpSession::State::Connect);
    rig.socket.acceptConnection();
    QCOMPARE(rig.view.lastStatus(), sjis("送信メールサバー接続成功"));
}

void TestSmtpSession::sharedModeDialogue()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(3);
    int bodyAsked = 0;
    job.bodyFor = [&](int) { ++bodyAsked; return std::string("Hello"); };
    rig.session.start(job);
    rig.socket.acceptConnection();

    struct Step { const char* reply; const char* command; const char* state; };
    const Step steps[] = {
        {"220 mx ESMTP\r\n", "HELO [192.0.2.7]", "Helo"},
        {"250 mx\r\n", "MAIL FROM:<quiz@trivorn.test>", "Mail From"},
        {"250 2.1.0 Ok\r\n", "RCPT TO:<p0@docomo.ne.jp>", "Rcpt To"},
        {"250 2.1.5 Ok\r\n", "RCPT TO:<p1@docomo.ne.jp>", "Rcpt To"},
        {"250 2.1.5 Ok\r\n", "RCPT TO:<p2@docomo.ne.jp>", "Rcpt To"},
        {"250 2.1.5 Ok\r\n", "DATA", "Data"},
    };
    for (const Step& s : steps) {
        rig.socket.deliver(s.reply);
        QCOMPARE(rig.commands().back(), std::string(s.command));
        QCOMPARE(std::string(SmtpSession::stateName(rig.session.state())), std::string(s.state));
    }
    QCOMPARE(rig.view.progressMin, 0);
    QCOMPARE(rig.view.progressMax, 3);
    QCOMPARE(rig.view.progressStyle, 1);
    QCOMPARE(rig.view.progressValues, (std::vector<int>{1, 2, 3}));
    QVERIFY(rig.view.showedStatus(recipientStatus("name0", "Quiz", 3, 1)));
    QVERIFY(rig.view.showedStatus(recipientStatus("name2", "Quiz", 3, 3)));

    rig.socket.deliver("354 End data with <CR><LF>.<CR><LF>\r\n");
    QCOMPARE(rig.lastSent(), BuildMessageText(HeaderSection(testHeaders()), "Hello"));
    QCOMPARE(bodyAsked, 1);
    QCOMPARE(rig.session.state(), SmtpSession::State::Body);
    rig.socket.deliver("250 2.0.0 Ok: queued\r\n");
    QCOMPARE(rig.lastSent(), std::string("QUIT\r\n"));
    QCOMPARE(rig.view.ended, 0);
    rig.socket.deliver("221 2.0.0 Bye\r\n");
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.socket.isClosed());
    QVERIFY(!rig.timer.enabled());
    QCOMPARE(rig.view.lastStatus(), kEndStatus);
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.socket.sends.size(), std::size_t(8));
}

void TestSmtpSession::oneRecipientGoesStraightToRcptTo()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.deliver("220 mx\r\n");
    rig.socket.deliver("250 mx\r\n");
    rig.socket.deliver("250 ok\r\n");
    QCOMPARE(rig.commands().back(), std::string("RCPT TO:<p0@docomo.ne.jp>"));
    QCOMPARE(rig.session.state(), SmtpSession::State::RcptTo);
    QCOMPARE(rig.view.lastStatus(), recipientStatus("name0", "Quiz", 1, 1));
}

void TestSmtpSession::greetingFraming_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::newRow("split in two reads") << QStringList{"220 mx.trivorn", ".test ESMTP Postfix\r\n"};
    QTest::newRow("CR and LF apart") << QStringList{"220 mx ESMTP\r", "\n"};
    QTest::newRow("multi-line, split") << QStringList{"220-mx.trivorn.test\r\n220-welc", "ome\r\n", "220 ready\r\n"};
    QTest::newRow("multi-line, one read") << QStringList{"220-first\r\n220-second\r\n220 last\r\n"};
    QTest::newRow("bare code") << QStringList{"220\r\n"};
    QTest::newRow("bare LF line ends") << QStringList{"220-a\n220 b\n"};
    QTest::newRow("one byte per read") << QStringList{"2", "2", "0", " ", "h", "i", "\r", "\n"};
}

void TestSmtpSession::greetingFraming()
{
    QFETCH(QStringList, chunks);
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    for (int i = 0; i < chunks.size(); ++i) {
        QVERIFY2(rig.socket.sends.empty(), "answered before the greeting was whole");
        rig.socket.deliver(chunks[i].toStdString());
    }
    QCOMPARE(rig.commands(), (Strings{"HELO [192.0.2.7]"}));
    QCOMPARE(rig.session.state(), SmtpSession::State::Helo);
    QVERIFY(rig.view.statuses.empty());
    rig.socket.deliver("250 mx\r\n");
    QCOMPARE(rig.commands().back(), std::string("MAIL FROM:<quiz@trivorn.test>"));
}

void TestSmtpSession::multiLineReplyToHelo()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.deliver("220 mx\r\n");
    rig.socket.deliver("250-mx.trivorn.test\r\n250-PIPELINING\r\n");
    QCOMPARE(rig.socket.sends.size(), std::size_t(1));
    rig.socket.deliver("250-SIZE 10240000\r\n250 8BITMIME\r\n");
    QCOMPARE(rig.commands().back(), std::string("MAIL FROM:<quiz@trivorn.test>"));
    QCOMPARE(rig.session.replyCode(), std::string("250"));
}

void TestSmtpSession::repliesInOneArrivalAreTakenInTurn()
{
    SmtpRig rig;
    rig.session.start(sharedJob(2));
    rig.socket.deliver("220 mx\r\n250 mx\r\n250 ok\r\n");
    QCOMPARE(rig.commands(), (Strings{"HELO [192.0.2.7]", "MAIL FROM:<quiz@trivorn.test>",
                                      "RCPT TO:<p0@docomo.ne.jp>"}));
}

void TestSmtpSession::unexpectedCodeEndsWithQuit_data()
{
    QTest::addColumn<int>("goodReplies");   // replies answered as expected first
    QTest::addColumn<QString>("badReply");
    QTest::addColumn<QString>("code");
    QTest::newRow("greeting 554") << 0 << "554 no service\r\n" << "554";
    QTest::newRow("greeting continued 220 in Helo") << 1 << "220 again\r\n" << "220";
    QTest::newRow("HELO 501") << 1 << "501 bad\r\n" << "501";
    QTest::newRow("MAIL FROM 553") << 2 << "553 sender\r\n" << "553";
    QTest::newRow("RCPT TO 450") << 3 << "450 later\r\n" << "450";
    QTest::newRow("DATA 554") << 4 << "554 no valid recipients\r\n" << "554";
    QTest::newRow("message 552") << 5 << "552 too big\r\n" << "552";
    QTest::newRow("garbage") << 2 << "hello\r\n" << "hel";
}

void TestSmtpSession::unexpectedCodeEndsWithQuit()
{
    QFETCH(int, goodReplies);
    QFETCH(QString, badReply);
    QFETCH(QString, code);
    const char* good[] = {"220 mx\r\n", "250 mx\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n"};
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    for (int i = 0; i < goodReplies; ++i) rig.socket.deliver(good[i]);
    const std::size_t sentBefore = rig.socket.sends.size();
    rig.socket.deliver(badReply.toStdString());
    QCOMPARE(rig.socket.sends.size(), sentBefore + 1);
    QCOMPARE(rig.lastSent(), std::string("QUIT\r\n"));
    QCOMPARE(rig.view.lastStatus(), "ERR : " + code.toStdString());
    QCOMPARE(rig.session.state(), SmtpSession::State::Quit);
    QCOMPARE(rig.view.ended, 0);
    rig.socket.deliver("221 bye\r\n");
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.lastStatus(), kEndStatus);
}

// One bad address stops no one. With one envelope for everybody the refused
// RCPT TO is left out; with a transaction each the refused player's is reset
// (after a refused RCPT TO or DATA) and the next player gets theirs. Who was
// refused, where and with what reply, is kept for the round's log.
void TestSmtpSession::rejectedThirdOfFiveRecipients_data()
{
    QTest::addColumn<bool>("perRecipient");
    QTest::addColumn<QByteArray>("refusedAt");   // the step of p2's that is refused
    QTest::addColumn<Strings>("p2Replies");      // the server's replies in p2's turn
    QTest::addColumn<Strings>("p2Commands");     // what p2's turn sends
    const std::string no = "550 5.1.1 <p2@docomo.ne.jp>: Recipient address rejected";
    const std::string rcpt = "RCPT TO:<p2@docomo.ne.jp>";
    const std::string from = "MAIL FROM:<quiz@trivorn.test>";
    QTest::newRow("shared envelope, RCPT TO") << false << QByteArray("RCPT TO") << Strings{no} << Strings{rcpt};
    QTest::newRow("one each, RCPT TO") << true << QByteArray("RCPT TO") << Strings{"250 ok", no, "250 reset"}
                                       << Strings{from, rcpt, "RSET"};
    QTest::newRow("one each, DATA") << true << QByteArray("DATA") << Strings{"250 ok", "250 ok", no, "250 reset"}
                                    << Strings{from, rcpt, "DATA", "RSET"};
    QTest::newRow("one each, message") << true << QByteArray(SessionTexts::kMessageStep)
                                       << Strings{"250 ok", "250 ok", "354 go", no}
                                       << Strings{from, rcpt, "DATA", "<message>"};
}

void TestSmtpSession::rejectedThirdOfFiveRecipients()
{
    QFETCH(bool, perRecipient);
    QFETCH(QByteArray, refusedAt);
    QFETCH(Strings, p2Replies);
    QFETCH(Strings, p2Commands);
    SmtpRig rig;
    SmtpJob job = sharedJob(5);
    job.perRecipient = perRecipient;
    job.headersFor = [](int i) { return testHeaders(i, true); };
    rig.session.start(job);

    // The others' turns go through as usual.
    Strings replies{"220 mx", "250 mx"}, commands{"HELO [192.0.2.7]"};
    if (!perRecipient) {
        replies.push_back("250 ok");
        commands.push_back("MAIL FROM:<quiz@trivorn.test>");
    }
    for (int i = 0; i < 5; ++i) {
        if (i == 2) {
            replies.insert(replies.end(), p2Replies.begin(), p2Replies.end());
            commands.insert(commands.end(), p2Commands.begin(), p2Commands.end());
            continue;
        }
        const std::string rcpt = "RCPT TO:<p" + std::to_string(i) + "@docomo.ne.jp>";
        if (perRecipient) {
            replies.insert(replies.end(), {"250 ok", "250 ok", "354 go", "250 queued"});
            commands.insert(commands.end(), {"MAIL FROM:<quiz@trivorn.test>", rcpt, "DATA", "<message>"});
        } else {
            replies.push_back("250 ok");
            commands.push_back(rcpt);
        }
    }
    if (!perRecipient) {
        replies.insert(replies.end(), {"354 go", "250 queued"});
        commands.insert(commands.end(), {"DATA", "<message>"});
    }
    commands.push_back("QUIT");
    replies.push_back("221 bye");
    for (const std::string& r : replies) rig.socket.deliver(r + "\r\n");

    Strings sent = rig.commands();
    for (std::string& c : sent)
        if (c.find("Subject: Quiz") != std::string::npos) c = "<message>";
    QCOMPARE(sent, commands);
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.view.showedStatus("ERR : 550"));
    QCOMPARE(rig.session.acceptedMessages(), perRecipient ? 4 : 1);
    // Only what the server took counts among the mail replies may name.
    const Strings taken = perRecipient ? Strings{"<0@test>", "<1@test>", "<3@test>", "<4@test>"} : Strings{"<4@test>"};
    QCOMPARE(rig.session.acceptedMessageIds(), taken);
    QCOMPARE(rig.session.undelivered().size(), std::size_t(1));
    const SmtpSession::Undelivered& u = rig.session.undelivered()[0];
    QCOMPARE(u.address, std::string("p2@docomo.ne.jp"));
    QCOMPARE(QByteArray(u.step), refusedAt);
    QCOMPARE(u.reply, std::string("550 5.1.1 <p2@docomo.ne.jp>: Recipient address rejected"));
    QVERIFY(!rig.session.failure());
}

void TestSmtpSession::perRecipientMode()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(3);
    job.perRecipient = true;
    std::vector<int> asked;
    job.bodyFor = [&](int i) { asked.push_back(i); return "Body for " + std::to_string(i); };
    job.headersFor = [](int i) { return testHeaders(i, true); };
    rig.session.start(job);
    rig.socket.deliver("220 mx\r\n");
    for (int i = 0; i < 3; ++i) {
        rig.socket.deliver("250 ok\r\n");   // HELO, or the previous message
        QCOMPARE(rig.commands().back(), std::string("MAIL FROM:<quiz@trivorn.test>"));
        rig.socket.deliver("250 ok\r\n");
        QCOMPARE(rig.commands().back(), "RCPT TO:<p" + std::to_string(i) + "@docomo.ne.jp>");
        QCOMPARE(rig.view.lastStatus(), recipientStatus("name" + std::to_string(i), "Quiz", 3, i + 1));
        rig.socket.deliver("250 ok\r\n");
        QCOMPARE(rig.commands().back(), std::string("DATA"));
        rig.socket.deliver("354 go\r\n");
        QCOMPARE(rig.lastSent(), BuildMessageText(HeaderSection(testHeaders(i, true)), "Body for " + std::to_string(i)));
    }
    QCOMPARE(rig.session.state(), SmtpSession::State::Body);
    rig.socket.deliver("250 queued\r\n");
    QCOMPARE(rig.lastSent(), std::string("QUIT\r\n"));
    rig.socket.deliver("221 bye\r\n");
    QCOMPARE(asked, (std::vector<int>{0, 1, 2}));
    int helos = 0, quits = 0;
    for (const auto& c : rig.commands()) {
        helos += c.rfind("HELO ", 0) == 0;
        quits += c == "QUIT";
    }
    QCOMPARE(helos, 1);
    QCOMPARE(quits, 1);
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.progressValues, (std::vector<int>{1, 2, 3}));
    QCOMPARE(rig.session.acceptedMessageIds(), (std::vector<std::string>{"<0@test>", "<1@test>", "<2@test>"}));
    // The owner hears of every state: one HELO, then a transaction a message.
    using S = std::vector<std::string>;
    const S perMessage = {"Mail From", "Rcpt To", "Data", "Body"};
    S expected = {"Connect", "Helo"};
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), perMessage.begin(), perMessage.end());
    expected.insert(expected.end(), {"Quit"});
    QCOMPARE(rig.view.states, expected);
}

void TestSmtpSession::bodyDotLinesAreStuffedOnTheWire()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.bodyFor = [](int) { return std::string(".\r\nfirst\r\n.x\r\n..y\r\nlast."); };
    rig.session.start(job);
    for (const char* r : {"220 mx\r\n", "250 mx\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) rig.socket.deliver(r);
    const std::string sent = rig.lastSent();
    const std::string expectedTail = "Subject: Quiz\r\n\r\n..\r\nfirst\r\n..x\r\n...y\r\nlast.\r\n.\r\n";
    QVERIFY(sent.size() > expectedTail.size());
    QCOMPARE(sent.substr(sent.size() - expectedTail.size()), expectedTail);
    // The only line "." on the wire is the one that ends the message.
    QCOMPARE(sent.find("\r\n.\r\n"), sent.size() - 5);
}

void TestSmtpSession::silenceUntilTimeOut()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.acceptConnection();
    QVERIFY(rig.timer.fire());
    QCOMPARE(rig.view.timeOuts, 1);
    QCOMPARE(rig.view.messages, (Strings{"Time Out Err"}));
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.socket.isClosed());
    QVERIFY(!rig.timer.enabled());
    QVERIFY(rig.socket.sends.empty());
}

void TestSmtpSession::everyArrivalRestartsTheTimeOut()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    const int armed = rig.timer.armCount;
    rig.socket.deliver("220-part");   // not yet a whole reply, still a sign of life
    QCOMPARE(rig.timer.armCount, armed + 1);
    rig.socket.deliver(" one\r\n220 done\r\n");
    QCOMPARE(rig.timer.armCount, armed + 2);
    QVERIFY(rig.timer.enabled());
}

void TestSmtpSession::closeWithoutQuitReplyEndsOnce()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.deliver("220 mx\r\n");
    rig.socket.deliver("250 mx\r\n");
    rig.socket.peerClose();
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.lastStatus(), kEndStatus);
    QVERIFY(!rig.timer.enabled());
    QVERIFY(!rig.timer.fire());   // no "Time Out Err" ten seconds later
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.view.timeOuts, 0);
}

void TestSmtpSession::socketErrorOnlyShowsMessage()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.raiseError(10061, "Connection refused");
    QCOMPARE(rig.view.messages, (Strings{"ERR(10061;Connection refused)"}));
    QCOMPARE(rig.view.ended, 0);
    QVERIFY(rig.timer.fire());
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.messages.back(), std::string("Time Out Err"));
}

void TestSmtpSession::faultInHandlerClosesAndTimesOut()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.bodyFor = [](int) -> std::string { throw std::out_of_range("row 7"); };
    rig.session.start(job);
    for (const char* r : {"220 mx\r\n", "250 mx\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) rig.socket.deliver(r);
    QVERIFY(rig.socket.isClosed());
    QCOMPARE(rig.view.messages, (Strings{"ERR(9;row 7)"}));
    QCOMPARE(rig.view.ended, 0);
    QVERIFY(rig.timer.fire());
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.messages.back(), std::string("Time Out Err"));
}

void TestSmtpSession::lineBreakInRecipientIsSkipped()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(4);
    job.recipients[1].address = "evil@x.jp>\r\nRCPT TO:<other@x.jp";
    job.recipients[3].address = "tail@x.jp\n";
    rig.session.start(job);
    for (const char* r : {"220 mx\r\n", "250 mx\r\n", "250 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"})
        rig.socket.deliver(r);
    QCOMPARE(rig.commands(), (Strings{"HELO [192.0.2.7]", "MAIL FROM:<quiz@trivorn.test>",
                                      "RCPT TO:<p0@docomo.ne.jp>", "RCPT TO:<p2@docomo.ne.jp>", "DATA",
                                      rig.commands()[5], "QUIT"}));
    QVERIFY(rig.view.showedStatus("name1" + sjis("様のアドレスに改行が含まれるため送信しません。")));
    QVERIFY(rig.view.showedStatus("name3" + sjis("様のアドレスに改行が含まれるため送信しません。")));
    for (const auto& s : rig.socket.sends) QVERIFY(s.find("other@x.jp") == std::string::npos);
}

void TestSmtpSession::onlyUnusableRecipients()
{
    for (bool perRecipient : {false, true}) {
        SmtpRig rig;
        SmtpJob job = sharedJob(2);
        job.perRecipient = perRecipient;
        job.recipients[0].address = "a@x.jp\r";
        job.recipients[1].address = "b@x.jp\n";
        rig.session.start(job);
        rig.socket.deliver("220 mx\r\n");
        rig.socket.deliver("250 mx\r\n");
        QCOMPARE(rig.commands(), (Strings{"HELO [192.0.2.7]", "QUIT"}));
        rig.socket.deliver("221 bye\r\n");
        QCOMPARE(rig.view.ended, 1);
    }
}

void TestSmtpSession::lineBreakInSenderOrServerSendsQuitFirst_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("status");
    QTest::newRow("sender with CR LF") << "smtp.example.jp" << "quiz@trivorn.test>\r\nRCPT TO:<x@y.jp"
                                       << QStringList{"HELO [192.0.2.7]", "QUIT"}
                                       << QString::fromUtf8("送信元アドレスに改行が含まれるため送信を中止します。");
    QTest::newRow("sender with LF") << "smtp.example.jp" << "quiz@trivorn.test\n"
                                    << QStringList{"HELO [192.0.2.7]", "QUIT"}
                                    << QString::fromUtf8("送信元アドレスに改行が含まれるため送信を中止します。");
    QTest::newRow("server name with CR") << "smtp.example.jp\rMAIL FROM:<x@y>" << "quiz@trivorn.test"
                                         << QStringList{"QUIT"}
                                         << QString::fromUtf8("送信メールサーバー名に改行が含まれるため送信を中止します。");
}

void TestSmtpSession::lineBreakInSenderOrServerSendsQuitFirst()
{
    QFETCH(QString, server);
    QFETCH(QString, sender);
    QFETCH(QStringList, expected);
    QFETCH(QString, status);
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.server = server.toStdString();
    job.ownAddress = sender.toStdString();
    rig.session.start(job);
    rig.socket.deliver("220 mx\r\n");
    rig.socket.deliver("250 mx\r\n");
    Strings want;
    for (const auto& e : expected) want.push_back(e.toStdString());
    QCOMPARE(rig.commands(), want);
    QVERIFY(rig.view.showedStatus(sjis(status)));
}

void TestSmtpSession::endlessReplyIsRefused()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    const std::string noLineEnd(SmtpReplyReader::kMaxReply, 'x');
    rig.socket.deliverInPieces(noLineEnd, 4096);
    QCOMPARE(rig.commands(), (Strings{"QUIT"}));
    QCOMPARE(rig.view.lastStatus(), std::string("ERR : xxx"));
}

void TestSmtpSession::overlongReplyCountsOnce_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArrayList>("codes");   // the replies the reader hands over
    const QByteArray megabyte(1024 * 1024, 'x');
    QTest::newRow("one long line") << "250 " + megabyte + "\r\n354 go\r\n" << QByteArrayList{"250", "354"};
    QTest::newRow("long first of several lines")
        << "250-" + megabyte + "\r\n250-PIPELINING\r\n250 8BITMIME\r\n221 bye\r\n" << QByteArrayList{"250", "221"};
    QTest::newRow("long last line, bare LF") << "250-mx\n250 " + megabyte + "\n220 next\n" << QByteArrayList{"250", "220"};
    QTest::newRow("bound reached inside a line's code")
        << "250-" + QByteArray(int(SmtpReplyReader::kMaxReply) - 7, 'y') + "\r\n25" + "0-z\r\n250 end\r\n354 go\r\n"
        << QByteArrayList{"250", "354"};
}

// However a reply too long to hold arrives, it is one reply: its tail never
// answers the commands that follow.
void TestSmtpSession::overlongReplyCountsOnce()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArrayList, codes);
    for (int chunk : {1, 3, 4096, 1 << 20}) {
        if (chunk == 1 && bytes.size() > 200000) continue;   // a byte at a time: only the shorter ones
        SmtpReplyReader reader;
        QByteArrayList got;
        for (qsizetype at = 0; at < bytes.size(); at += chunk) {
            reader.append(bytes.mid(at, chunk).toStdString());
            while (auto r = reader.next()) got << QByteArray::fromStdString(r->code);
        }
        QVERIFY2(got == codes, qPrintable(QStringLiteral("chunk %1: %2").arg(chunk).arg(QString::fromLatin1(got.join(' ')))));
    }
}

// ---- Protection and login ---------------------------------------------------

void TestSmtpSession::protectedDialogue_data()
{
    using P = Protection;
    QTest::addColumn<int>("protection");
    QTest::addColumn<bool>("login");
    QTest::addColumn<QByteArrayList>("replies");    // "<tls>": the handshake completes
    QTest::addColumn<QByteArrayList>("commands");   // every line the session sent
    QTest::addColumn<int>("sentInTheClear");        // before the handshake; -1: no handshake
    QTest::addColumn<QByteArray>("status");         // the status the phase ended on, when it failed

    // "\0quiz@trivorn.test\0secret" and the two halves of AUTH LOGIN, padded.
    const QByteArray plain = "AUTH PLAIN AHF1aXpAdHJpdm9ybi50ZXN0AHNlY3JldA==";
    const QByteArray user = "cXVpekB0cml2b3JuLnRlc3Q=", password = "c2VjcmV0";
    const QByteArray ehlo = "250-mail.trivorn.test\r\n250-PIPELINING\r\n250-STARTTLS\r\n250 8BITMIME\r\n";
    const QByteArray ehloAuth = "250-mail.trivorn.test\r\n250-auth plain login\r\n250 8BITMIME\r\n";
    const QByteArrayList mailing = {"MAIL FROM:<quiz@trivorn.test>", "RCPT TO:<p0@docomo.ne.jp>", "DATA", "<message>", "QUIT"};
    const QByteArrayList accepted = {"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"};

    QTest::newRow("STARTTLS and AUTH PLAIN")
        << int(P::StartTls) << true
        << QByteArrayList{"220 mx\r\n", ehlo, "220 go ahead\r\n", "<tls>", ehloAuth, "235 2.7.0 Authentication successful\r\n"} +
               accepted
        << QByteArrayList{"EHLO [192.0.2.7]", "STARTTLS", "EHLO [192.0.2.7]", plain} + mailing << 2 << QByteArray();
    QTest::newRow("STARTTLS without login; a reply slipped in after the 220 is dropped")
        << int(P::StartTls) << false
        << QByteArrayList{"220 mx\r\n", ehlo, "220 go ahead\r\n250-injected\r\n250 AUTH PLAIN\r\n", "<tls>", ehlo} + accepted
        << QByteArrayList{"EHLO [192.0.2.7]", "STARTTLS", "EHLO [192.0.2.7]",
                          "MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nDATA", "<message>", "QUIT"}
        << 2 << QByteArray();
    QTest::newRow("STARTTLS not offered: nothing in the clear")
        << int(P::StartTls) << true << QByteArrayList{"220 mx\r\n", ehloAuth, "221 bye\r\n"}
        << QByteArrayList{"EHLO [192.0.2.7]", "QUIT"} << -1
        << QByteArray("送信メールサーバーがSTARTTLSに対応していないため送信を中止します。");
    QTest::newRow("STARTTLS refused")
        << int(P::StartTls) << true << QByteArrayList{"220 mx\r\n", ehlo, "454 4.7.0 TLS not available\r\n", "221 bye\r\n"}
        << QByteArrayList{"EHLO [192.0.2.7]", "STARTTLS", "QUIT"} << -1 << QByteArray("ERR : 454");
    QTest::newRow("TLS from the start, only AUTH LOGIN offered")
        << int(P::Tls) << true
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH=LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
                          "235 2.7.0 ok\r\n"} + accepted
        << QByteArrayList{"EHLO [192.0.2.7]", "AUTH LOGIN", user, password} + mailing << -1 << QByteArray();
    QTest::newRow("wrong password: the server's words")
        << int(P::None) << true
        << QByteArrayList{"220 mx\r\n", ehloAuth, "535 5.7.8 Error: authentication failed: (reason unavailable)\r\n", "221 bye\r\n"}
        << QByteArrayList{"EHLO [192.0.2.7]", plain, "QUIT"} << -1
        << QByteArray("ERR : 535 5.7.8 Error: authentication failed: (reason unavailable)");
    QTest::newRow("login wanted, none offered")
        << int(P::Tls) << true << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 8BITMIME\r\n", "221 bye\r\n"}
        << QByteArrayList{"EHLO [192.0.2.7]", "QUIT"} << -1
        << QByteArray("送信メールサーバーが認証に対応していないため送信を中止します。");
}

// EHLO, STARTTLS and the login come before the usual dialogue; whatever
// fails ends the phase with QUIT, and with STARTTLS asked for nothing but
// EHLO and STARTTLS is ever sent in the clear.
void TestSmtpSession::protectedDialogue()
{
    QFETCH(int, protection);
    QFETCH(bool, login);
    QFETCH(QByteArrayList, replies);
    QFETCH(QByteArrayList, commands);
    QFETCH(int, sentInTheClear);
    QFETCH(QByteArray, status);
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.protection = Protection(protection);
    if (login) {
        job.authUser = "quiz@trivorn.test";
        job.authPassword = "secret";
    }
    rig.session.start(job);
    QCOMPARE(rig.socket.implicitTls, job.protection == Protection::Tls);
    QVERIFY(rig.serverSays(replies));
    QByteArrayList sent;
    for (const std::string& c : rig.commands())
        sent << (c.size() > 3 && c.compare(c.size() - 3, 3, "\r\n.") == 0 ? QByteArray("<message>")
                                                                           : QByteArray::fromStdString(c));
    QCOMPARE(sent, commands);
    QCOMPARE(rig.socket.sendsBeforeTls, sentInTheClear);
    QCOMPARE(rig.view.ended, 1);
    if (status.isEmpty()) {
        QCOMPARE(rig.session.acceptedMessages(), 1);
    } else {
        QVERIFY2(rig.view.showedStatus(sjis(status.constData())), rig.view.lastStatus().c_str());
        QCOMPARE(rig.session.acceptedMessages(), 0);
    }
}

// A certificate that fails (and is not trusted by its fingerprint) ends the
// phase at once, saying what failed and naming the fingerprint once.
void TestSmtpSession::refusedCertificateEndsAtOnce()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.protection = Protection::Tls;
    job.trustedFingerprints = {"11:22"};
    rig.session.start(job);
    QCOMPARE(rig.socket.trustedFingerprints, job.trustedFingerprints);
    QCOMPARE(rig.socket.tlsServerName, job.server);
    // The feedback window's message waits for the operator; the time-out
    // must not add its own message meanwhile.
    bool timerFiredDuringMessage = false;
    rig.view.whileMessageShown = [&] { timerFiredDuringMessage |= rig.timer.fire(); };
    using P = CertificateRefusal::Problem;
    rig.socket.refuseCertificate({{P::SelfSigned, P::Expired}, "The certificate is self-signed", "AB:CD"});
    QVERIFY(!timerFiredDuringMessage);
    QCOMPARE(rig.view.timeOuts, 0);
    // In Japanese, the library's words after them, and where to trust it.
    const std::string problems = sjis("自己署名の証明書です、有効期限が切れています（The certificate is self-signed）");
    const std::string text = "smtp.example.jp" + sjis("の証明書を信頼できません: ") + problems + sjis("。") +
                             "SHA-256 AB:CD" + sjis("。信頼してよい証明書なら、メールの設定の「接続」で「この証明書を信頼する」を押して下さい。");
    QCOMPARE(rig.view.messages, (std::vector<std::string>{text}));
    QCOMPARE(rig.view.lastStatus(), text);
    QCOMPARE(rig.view.refusedCertificates, (std::vector<std::string>{"smtp.example.jp AB:CD"}));
    QCOMPARE(rig.view.refusedProblems, (std::vector<std::string>{problems}));
    QCOMPARE(int(rig.session.failure().kind), int(SessionFailure::Kind::Certificate));
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.socket.sends.empty());
    rig.timer.fire();   // the time-out has nothing left to end
    QCOMPARE(rig.view.ended, 1);
}

// What an EHLO reply offers, as servers of today write it; a word that only
// contains a keyword offers nothing.
void TestSmtpSession::ehloOffers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("offer");   // "S" STARTTLS, "P" AUTH PLAIN, "L" AUTH LOGIN, "G" PIPELINING
    QTest::newRow("Postfix before TLS") << QByteArray("250-mail.example\r\n250-PIPELINING\r\n250-SIZE 10240000\r\n"
                                                      "250-STARTTLS\r\n250-ENHANCEDSTATUSCODES\r\n250 8BITMIME\r\n")
                                        << "SG";
    QTest::newRow("after TLS, old form too")
        << QByteArray("250-mail.example\r\n250-AUTH PLAIN LOGIN\r\n250-AUTH=PLAIN LOGIN\r\n250 CHUNKING\r\n") << "PL";
    QTest::newRow("old form alone") << QByteArray("250-mx\r\n250 AUTH=LOGIN\r\n") << "L";
    QTest::newRow("lower case, bare LF") << QByteArray("250-mx\n250-starttls\n250 auth cram-md5 login\n") << "SL";
    QTest::newRow("pipelining, any case, last line")
        << QByteArray("250-mx\r\n250-Pipelining\r\n250 AUTH PLAIN\r\n") << "PG";
    QTest::newRow("pipelining only inside another word") << QByteArray("250-mx\r\n250 X-PIPELINING\r\n") << "";
    QTest::newRow("spaces and tabs around words")
        << QByteArray("250-mx\r\n250-STARTTLS \r\n250 AUTH\tLOGIN  PLAIN \r\n") << "SPL";
    QTest::newRow("keywords inside other words")
        << QByteArray("250-mx\r\n250-X-STARTTLS\r\n250-AUTHX PLAIN\r\n250-XAUTH LOGIN\r\n250 AUTH XPLAIN LOGINX\r\n")
        << "";
    QTest::newRow("mechanisms on another extension's line")
        << QByteArray("250-mx\r\n250-HELP PLAIN LOGIN STARTTLS\r\n250 AUTH GSSAPI\r\n") << "";
    QTest::newRow("one line, nothing offered") << QByteArray("250 mx\r\n") << "";
}

void TestSmtpSession::ehloOffers()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, offer);
    const EhloOffer o = ReadEhloOffer(reply.toStdString());
    QString got;
    if (o.startTls) got += 'S';
    if (o.authPlain) got += 'P';
    if (o.authLogin) got += 'L';
    if (o.pipelining) got += 'G';
    QCOMPARE(got, offer);
}

// A server that never finishes the handshake is given up by the session's
// own time-out, as a silent server is; nothing goes out meanwhile.
void TestSmtpSession::stalledHandshakeTimesOut_data()
{
    QTest::addColumn<int>("protection");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QByteArrayList>("commands");
    const QByteArray ehlo = "250-mx\r\n250 STARTTLS\r\n";
    QTest::newRow("after STARTTLS") << int(Protection::StartTls)
                                    << QByteArrayList{"220 mx\r\n", ehlo, "220 go ahead\r\n"}
                                    << QByteArrayList{"EHLO [192.0.2.7]", "STARTTLS"};
    QTest::newRow("TLS from the start") << int(Protection::Tls) << QByteArrayList{} << QByteArrayList{};
}

void TestSmtpSession::stalledHandshakeTimesOut()
{
    QFETCH(int, protection);
    QFETCH(QByteArrayList, replies);
    QFETCH(QByteArrayList, commands);
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.protection = Protection(protection);
    rig.session.start(job);
    QVERIFY(rig.serverSays(replies));
    QCOMPARE(rig.view.ended, 0);
    QVERIFY(rig.timer.fire());
    QCOMPARE(rig.view.timeOuts, 1);
    QCOMPARE(rig.view.messages, (Strings{"Time Out Err"}));
    QCOMPARE(rig.view.ended, 1);
    QByteArrayList sent;
    for (const std::string& c : rig.commands()) sent << QByteArray::fromStdString(c);
    QCOMPARE(sent, commands);
    QVERIFY(rig.socket.isClosed());
}

void TestSmtpSession::feedbackStyleShowsRcptToWithoutProgress()
{
    SmtpRig rig;
    SmtpJob job = sharedJob(1);
    job.showsProgress = false;
    rig.session.start(job);
    for (const char* r : {"220 mx\r\n", "250 mx\r\n", "250 ok\r\n"}) rig.socket.deliver(r);
    QCOMPARE(rig.view.lastStatus(), std::string("RCPT TO"));
    QCOMPARE(rig.view.progressMax, -1);
    QVERIFY(rig.view.progressValues.empty());
}

void TestSmtpSession::eventsAfterTheEndAreIgnored()
{
    SmtpRig rig;
    rig.session.start(sharedJob(1));
    rig.socket.peerClose();
    QCOMPARE(rig.view.ended, 1);
    rig.socket.deliver("220 late\r\n");
    rig.socket.peerClose();
    rig.socket.raiseError(1, "gone");
    rig.timer.setEnabled(true);
    rig.timer.fire();
    QVERIFY(rig.socket.sends.empty());
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.view.messages.empty());
}

QTEST_GUILESS_MAIN(TestSmtpSession)
#include "tst_smtp_session.moc"

// ---- Groups -----------------------------------------------------------------

void TestSmtpSession::groupedDialogue_data()
{
    QTest::addColumn<bool>("perRecipient");
    QTest::addColumn<int>("chunk");                 // bytes per arrival; 0: each reply as listed
    QTest::addColumn<QByteArrayList>("replies");    // after the greeting and EHLO
    QTest::addColumn<QByteArrayList>("sends");      // after EHLO, one entry a send
    QTest::addColumn<int>("accepted");
    QTest::addColumn<QByteArrayList>("undelivered");   // "address step"; put off: "later address step"
    QTest::addColumn<int>("failure");               // SessionFailure::Kind
    QTest::addColumn<bool>("timesOut");

    const auto group = [](int i) {
        return "MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p" + QByteArray::number(i) + "@docomo.ne.jp>\r\nDATA";
    };
    const QByteArray taken = "250 ok\r\n250 ok\r\n354 go\r\n";
    const QByteArray queued = "250 queued\r\n";
    const QByteArray no = "550 5.1.1 no such user\r\n";
    using K = SessionFailure::Kind;
    for (int chunk : {0, 1}) {
        const QByteArray how = chunk ? " (a byte at a time)" : "";
        QTest::newRow("one each, three players" + how)
            << true << chunk << QByteArrayList{taken, queued + taken, queued + taken, queued, "221 bye\r\n"}
            << QByteArrayList{group(0), "<message>\r\n" + group(1), "<message>\r\n" + group(2), "<message>", "QUIT"}
            << 3 << QByteArrayList{} << int(K::None) << false;
        QTest::newRow("one each, the second refused at RCPT" + how)
            << true << chunk
            << QByteArrayList{taken, queued + "250 ok\r\n" + no + "554 5.5.1 no valid recipients\r\n",
                              "250 reset\r\n" + taken, queued, "221 bye\r\n"}
            << QByteArrayList{group(0), "<message>\r\n" + group(1), "RSET\r\n" + group(2), "<message>", "QUIT"}
            << 2 << QByteArrayList{"p1@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    }
    QTest::newRow("one each, DATA taken after a refused RCPT: an empty text")
        << true << 0
        << QByteArrayList{"250 ok\r\n" + no + "354 go\r\n", "250 nothing\r\n" + taken, queued + taken, queued, "221 bye\r\n"}
        << QByteArrayList{group(0), ".\r\n" + group(1), "<message>\r\n" + group(2), "<message>", "QUIT"} << 2
        << QByteArrayList{"p0@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    QTest::newRow("one each, the message refused")
        << true << 0 << QByteArrayList{taken, "554 spam\r\n" + taken, queued + taken, queued, "221 bye\r\n"}
        << QByteArrayList{group(0), "<message>\r\n" + group(1), "<message>\r\n" + group(2), "<message>", "QUIT"} << 2
        << QByteArrayList{QByteArray("p0@docomo.ne.jp ") + SessionTexts::kMessageStep} << int(K::None) << false;
    QTest::newRow("sender refused: the rest of the group passes before QUIT's answer")
        << true << 0 << QByteArrayList{"553 sender\r\n", "503 sequence\r\n503 sequence\r\n", "221 bye\r\n"}
        << QByteArrayList{group(0), "QUIT"} << 0 << QByteArrayList{} << int(K::Refused) << false;
    QTest::newRow("sender refused, DATA taken even so: an empty text, then QUIT")
        << true << 0 << QByteArrayList{"553 sender\r\n503 sequence\r\n354 go\r\n", "554 no recipients\r\n", "221 bye\r\n"}
        << QByteArrayList{group(0), ".", "QUIT"} << 0 << QByteArrayList{} << int(K::Refused) << false;
    QTest::newRow("shared envelope, one refused in the group")
        << false << 0 << QByteArrayList{"250 ok\r\n250 ok\r\n" + no + "250 ok\r\n354 go\r\n", queued, "221 bye\r\n"}
        << QByteArrayList{"MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nRCPT TO:<p1@docomo.ne.jp>\r\n"
                          "RCPT TO:<p2@docomo.ne.jp>\r\nDATA",
                          "<message>", "QUIT"}
        << 1 << QByteArrayList{"p1@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    QTest::newRow("shared envelope, everyone refused")
        << false << 0 << QByteArrayList{"250 ok\r\n" + no + no + no + "554 no valid recipients\r\n", "221 bye\r\n"}
        << QByteArrayList{"MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nRCPT TO:<p1@docomo.ne.jp>\r\n"
                          "RCPT TO:<p2@docomo.ne.jp>\r\nDATA",
                          "QUIT"}
        << 0 << QByteArrayList{"p0@docomo.ne.jp RCPT TO", "p1@docomo.ne.jp RCPT TO", "p2@docomo.ne.jp RCPT TO"}
        << int(K::NobodyReachable) << false;
    // Put off (4xx): only that player's turn, or with 421 every mail not
    // yet taken; nothing put off counts as refused.
    QTest::newRow("one each, the second put off at RCPT")
        << true << 0
        << QByteArrayList{taken, queued + "250 ok\r\n450 4.2.1 try later\r\n554 5.5.1 no valid recipients\r\n",
                          "250 reset\r\n" + taken, queued, "221 bye\r\n"}
        << QByteArrayList{group(0), "<message>\r\n" + group(1), "RSET\r\n" + group(2), "<message>", "QUIT"} << 2
        << QByteArrayList{"later p1@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    QTest::newRow("one each, the second's sender put off: its RCPT and DATA fail for want of it")
        << true << 0
        << QByteArrayList{taken, queued + "451 4.7.1 too much mail\r\n503 5.5.1 need MAIL\r\n503 5.5.1 need RCPT\r\n",
                          "250 reset\r\n" + taken, queued, "221 bye\r\n"}
        << QByteArrayList{group(0), "<message>\r\n" + group(1), "RSET\r\n" + group(2), "<message>", "QUIT"} << 2
        << QByteArrayList{"later p1@docomo.ne.jp MAIL FROM"} << int(K::None) << false;
    QTest::newRow("one each, the first message put off")
        << true << 0 << QByteArrayList{taken, "452 4.3.1 insufficient storage\r\n" + taken, queued + taken, queued, "221 bye\r\n"}
        << QByteArrayList{group(0), "<message>\r\n" + group(1), "<message>\r\n" + group(2), "<message>", "QUIT"} << 2
        << QByteArrayList{QByteArray("later p0@docomo.ne.jp ") + SessionTexts::kMessageStep} << int(K::None) << false;
    QTest::newRow("one each, 421 in the middle: the rest put off, QUIT")
        << true << 0 << QByteArrayList{taken, queued + "421 4.7.0 try again later\r\n", "221 bye\r\n"}
        << QByteArrayList{group(0), "<message>\r\n" + group(1), "QUIT"} << 1
        << QByteArrayList{"later p1@docomo.ne.jp Mail From", "later p2@docomo.ne.jp Mail From"} << int(K::None) << false;
    QTest::newRow("shared envelope, one put off in the group")
        << false << 0 << QByteArrayList{"250 ok\r\n250 ok\r\n452 4.5.3 too many recipients\r\n250 ok\r\n354 go\r\n", queued, "221 bye\r\n"}
        << QByteArrayList{"MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nRCPT TO:<p1@docomo.ne.jp>\r\n"
                          "RCPT TO:<p2@docomo.ne.jp>\r\nDATA",
                          "<message>", "QUIT"}
        << 1 << QByteArrayList{"later p1@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    QTest::newRow("shared envelope, a bare 450 without text: put off all the same")
        << false << 0 << QByteArrayList{"250 ok\r\n250 ok\r\n450\r\n250 ok\r\n354 go\r\n", queued, "221 bye\r\n"}
        << QByteArrayList{"MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nRCPT TO:<p1@docomo.ne.jp>\r\n"
                          "RCPT TO:<p2@docomo.ne.jp>\r\nDATA",
                          "<message>", "QUIT"}
        << 1 << QByteArrayList{"later p1@docomo.ne.jp RCPT TO"} << int(K::None) << false;
    QTest::newRow("shared envelope, DATA put off: everybody later")
        << false << 0 << QByteArrayList{"250 ok\r\n250 ok\r\n250 ok\r\n250 ok\r\n451 4.3.0 later\r\n", "221 bye\r\n"}
        << QByteArrayList{"MAIL FROM:<quiz@trivorn.test>\r\nRCPT TO:<p0@docomo.ne.jp>\r\nRCPT TO:<p1@docomo.ne.jp>\r\n"
                          "RCPT TO:<p2@docomo.ne.jp>\r\nDATA",
                          "QUIT"}
        << 0 << QByteArrayList{"later p0@docomo.ne.jp DATA", "later p1@docomo.ne.jp DATA", "later p2@docomo.ne.jp DATA"}
        << int(K::None) << false;
    QTest::newRow("a stall inside the group")
        << true << 0 << QByteArrayList{"250 ok\r\n250 o"} << QByteArrayList{group(0)} << 0 << QByteArrayList{}
        << int(K::TimedOut) << true;
}

// Where EHLO offers PIPELINING, a transaction's commands go out as one group
// and a message's text with the next group; each reply answers the command
// it belongs to, however the server splits them, and one refused command
// takes nobody else's reply.
void TestSmtpSession::groupedDialogue()
{
    QFETCH(bool, perRecipient);
    QFETCH(int, chunk);
    QFETCH(QByteArrayList, replies);
    QFETCH(QByteArrayList, sends);
    QFETCH(int, accepted);
    QFETCH(QByteArrayList, undelivered);
    QFETCH(int, failure);
    QFETCH(bool, timesOut);
    SmtpRig rig;
    SmtpJob job = sharedJob(3);
    job.perRecipient = perRecipient;
    job.protection = Protection::Tls;
    rig.session.start(job);
    rig.socket.deliver("220 mx\r\n");
    const std::size_t before = rig.socket.sends.size();   // EHLO
    rig.socket.deliver("250-mx\r\n250-PIPELINING\r\n250 8BITMIME\r\n");
    for (const QByteArray& r : replies) {
        // Only the answer to QUIT, last, ends the session.
        if (&r == &replies.last()) QCOMPARE(rig.view.ended, 0);
        if (!chunk) rig.socket.deliver(r.toStdString());
        else for (char c : r) rig.socket.deliver(std::string(1, c));
    }
    if (timesOut) QVERIFY(rig.timer.fire());

    const std::string message = BuildMessageText(HeaderSection(testHeaders()), "Hello");
    QByteArrayList sent;
    for (std::size_t i = before; i < rig.socket.sends.size(); ++i) {
        std::string s = rig.socket.sends[i];
        if (s.rfind(message, 0) == 0) s = "<message>\r\n" + s.substr(message.size());
        sent << QByteArray::fromStdString(s.substr(0, s.size() - 2));
    }
    QCOMPARE(sent, sends);
    QCOMPARE(rig.session.acceptedMessages(), accepted);
    QByteArrayList refused;
    for (const auto& u : rig.session.undelivered()) refused << QByteArray::fromStdString(u.address + " " + u.step);
    for (const auto& u : rig.session.deferred()) refused << QByteArray::fromStdString("later " + u.address + " " + u.step);
    QCOMPARE(refused, undelivered);
    QCOMPARE(int(rig.session.failure().kind), failure);
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.timeOuts, timesOut ? 1 : 0);
}
