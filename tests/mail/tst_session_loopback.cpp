#include <QElapsedTimer>
#include <QtTest>

#include "mail/OutgoingMessage.h"
#include "support/SessionRigs.h"
#include "support/ScriptedServer.h"

// The sessions over real loopback connections, with the program's own Qt
// socket and timer, against servers that do what real ones will not do on
// demand: split and multi-line greetings, a refused recipient, silence, an
// early close, a message trickling in.

namespace {

using Answer = ScriptedServer::Answer;

SmtpJob job(quint16 port, int recipients)
{
    SmtpJob j;
    j.server = "127.0.0.1";
    j.port = port;
    j.ownAddress = "quiz@trivorn.test";
    j.headersFor = [](int) { return testHeaders(); };
    j.subject = sjis("第1問");
    for (int i = 0; i < recipients; ++i)
        j.recipients.push_back({"p" + std::to_string(i), "p" + std::to_string(i) + "@docomo.ne.jp"});
    j.bodyFor = [](int) { return sjis("問題です。\r\n.\r\n答:"); };
    j.timeoutMs = 2000;
    return j;
}

}  // namespace

class TestSessionLoopback : public QObject {
    Q_OBJECT
private slots:
    void splitMultiLineGreeting();
    void thirdOfFiveRecipientsRejected();
    void silenceUntilTimeOut();
    void closeWithoutQuitReply();
    void pop3MessagesInPieces();
};

void TestSessionLoopback::splitMultiLineGreeting()
{
    Answer greeting{{"220-mx.trivorn.test ES", "MTP welcome\r\n220-second line\r\n", "220 ready\r\n"}};
    ScriptedServer server(greeting, ScriptedServer::smtpAcceptingAll());
    QtSessionRig<SmtpSession> rig;
    SmtpJob j = job(server.port(), 2);
    rig.session.start(j);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 5000);

    QCOMPARE(server.commands(), (QList<QByteArray>{"HELO [127.0.0.1]", "MAIL FROM:<quiz@trivorn.test>",
                                                     "RCPT TO:<p0@docomo.ne.jp>", "RCPT TO:<p1@docomo.ne.jp>",
                                                     "DATA", "<message>", "QUIT"}));
    const std::string expected = BuildMessageText(HeaderSection(testHeaders()), j.bodyFor(0));
    QCOMPARE(server.received[5], QByteArray::fromStdString(expected));
    QVERIFY(server.received[5].contains("\r\n..\r\n"));
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.view.lastStatus(), sjis("送信メールサバー接続終了"));
    QVERIFY(!rig.timer.enabled());
}

void TestSessionLoopback::thirdOfFiveRecipientsRejected()
{
    ScriptedServer server(Answer::reply("220 mx ESMTP\r\n"),
                          ScriptedServer::smtpAcceptingAll([](const QByteArray& u) -> std::optional<Answer> {
                              if (u == "RCPT TO:<p2@docomo.ne.jp>")
                                  return Answer::reply("550 5.1.1 <p2@docomo.ne.jp>: Recipient address rejected\r\n");
                              return std::nullopt;
                          }));
    QtSessionRig<SmtpSession> rig;
    rig.session.start(job(server.port(), 5));
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 5000);
    // One bad address stops no one: the others are in the envelope.
    QCOMPARE(server.commands(), (QList<QByteArray>{"HELO [127.0.0.1]", "MAIL FROM:<quiz@trivorn.test>",
                                                     "RCPT TO:<p0@docomo.ne.jp>", "RCPT TO:<p1@docomo.ne.jp>",
                                                     "RCPT TO:<p2@docomo.ne.jp>", "RCPT TO:<p3@docomo.ne.jp>",
                                                     "RCPT TO:<p4@docomo.ne.jp>", "DATA", "<message>", "QUIT"}));
    QVERIFY(rig.view.showedStatus("ERR : 550"));
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.session.acceptedMessages(), 1);
    QCOMPARE(rig.session.undelivered().size(), std::size_t(1));
    QCOMPARE(rig.session.undelivered()[0].address, std::string("p2@docomo.ne.jp"));
    QCOMPARE(rig.session.undelivered()[0].reply, std::string("550 5.1.1 <p2@docomo.ne.jp>: Recipient address rejected"));
}

void TestSessionLoopback::silenceUntilTimeOut()
{
    ScriptedServer server(Answer::silence(), {});
    QtSessionRig<SmtpSession> rig;
    SmtpJob j = job(server.port(), 1);
    j.timeoutMs = 400;
    QElapsedTimer clock;
    clock.start();
    rig.session.start(j);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 5000);
    QVERIFY2(clock.elapsed() >= 400, "ended before the time-out");
    QCOMPARE(rig.view.timeOuts, 1);
    QCOMPARE(rig.view.messages, (std::vector<std::string>{"Time Out Err"}));
    QVERIFY(server.received.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(server.clientClosed, 2000);
}

void TestSessionLoopback::closeWithoutQuitReply()
{
    ScriptedServer server(Answer::reply("220 mx\r\n"),
                          ScriptedServer::smtpAcceptingAll([](const QByteArray& u) -> std::optional<Answer> {
                              if (u.startsWith("MAIL FROM:")) {
                                  Answer a;
                                  a.close = true;   // hangs up without a word
                                  return a;
                              }
                              return std::nullopt;
                          }));
    QtSessionRig<SmtpSession> rig;
    SmtpJob j = job(server.port(), 1);
    j.timeoutMs = 300;
    rig.session.start(j);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 5000);
    QCOMPARE(rig.view.lastStatus(), sjis("送信メールサバー接続終了"));
    // Well past the time-out: no late "Time Out Err", no second end.
    QTest::qWait(900);
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.view.timeOuts, 0);
}

void TestSessionLoopback::pop3MessagesInPieces()
{
    auto retr = [](const QByteArray& body) {
        return QByteArray("+OK ") + QByteArray::number(body.size()) + " octets\r\n" + body + "\r\n.\r\n";
    };
    const QByteArray m1 = "Subject: one\r\n\r\nfirst";
    const QByteArray m2 = "Subject: two\r\n\r\nsecond line ends with a dot.\r\n..stuffed";
    const QByteArray m3 = "Subject: three\r\n\r\nthird";
    ScriptedServer server(Answer::reply("+OK Dovecot (Debian) ready.\r\n"), [&](const QByteArray& u) -> Answer {
        if (u.startsWith("USER ")) return Answer::reply("+OK\r\n");
        if (u.startsWith("PASS ")) return Answer::reply("+OK Logged in.\r\n");
        if (u == "STAT") return Answer::reply("+OK 3 120\r\n");
        if (u == "RETR 1") return Answer::reply(retr(m1));
        if (u == "RETR 2") {
            // Cut so that one piece ends right after "dot.\r\n".
            const QByteArray all = retr(m2);
            const qsizetype cut = all.indexOf("dot.\r\n") + 6;
            return Answer{{all.left(cut), all.mid(cut, 3), all.mid(cut + 3)}, 60};
        }
        if (u == "RETR 3") return Answer::reply(retr(m3));
        if (u.startsWith("DELE ")) return Answer::reply("+OK Marked to be deleted.\r\n");
        if (u == "QUIT") {
            Answer a = Answer::reply("+OK Logging out, messages deleted.\r\n");
            a.close = true;
            return a;
        }
        return Answer::reply("-ERR Unknown command\r\n");
    });
    QtSessionRig<Pop3Session> rig;
    QList<QByteArray> parsed;
    Pop3Job j;
    j.server = "127.0.0.1";
    j.port = server.port();
    j.account = "quiz@trivorn.test";
    j.password = "trivorn";
    j.timeoutMs = 2000;
    j.parse = [&](const std::string& text) {
        parsed.append(QByteArray::fromStdString(text));
        return parsed.size() != 2;
    };
    rig.session.start(j);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 5000);
    QCOMPARE(server.received, (QList<QByteArray>{"USER quiz@trivorn.test", "PASS trivorn", "STAT", "RETR 1",
                                                  "RETR 2", "RETR 3", "DELE 1", "DELE 3", "QUIT"}));
    QCOMPARE(parsed.size(), 3);
    QByteArray m2Unstuffed = retr(m2);
    m2Unstuffed.replace("\r\n..stuffed", "\r\n.stuffed");
    QCOMPARE(parsed[1], m2Unstuffed);
    QVERIFY(rig.view.messages.empty());
}

QTEST_GUILESS_MAIN(TestSessionLoopback)
#include "tst_session_loopback.moc"
