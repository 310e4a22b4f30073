// A round's mail through the private Postfix and Dovecot: the invitation to
// three players in one transaction, question mails completed per player, and
// the players' replies fetched, accepted or scored, the matching ones deleted
// and the rest left on the server. What arrives is read back from the
// mailboxes and decoded by glibc's iconv, not by the program's own codecs.
#include <QtTest>

#include "codec/Base64.h"
#include "mail/OutgoingMessage.h"
#include "run/MailJobs.h"
#include "run/Scoring.h"
#include "demo/SimulatedPhones.h"
#include "support/IconvText.h"
#include "support/SessionRigs.h"
#include "support/ServerChecks.h"

namespace {

QByteArray sjisBytes(const char* utf8)
{
    return QByteArray::fromStdString(sjis(utf8));
}

QByteArray replyMessage(const QByteArray& from, const QByteArray& subject, const QByteArray& body,
                        const QByteArray& extraHeaders = {})
{
    return "From: " + from + "\r\nTo: quiz@trivorn.test\r\nSubject: " + subject + "\r\n" + extraHeaders +
           "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n\r\n" + body + "\r\n";
}

}  // namespace

class TestRealRoundMail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }
    void init()
    {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }
    void invitationToThreePlayersInOneTransaction();
    void questionMailsCarryEachPlayersOwnResult();
    void repliesJoinScoreAndAreDeleted();

private:
    void send(Module1& m, const OutgoingMail& mail);
    void fetch(Module1& m, const OutgoingMail& answered, const SjisText& lateMail);
    void deliverReply(const QByteArray& envelopeSender, const QByteArray& message);

    QtClock clock;   // mail is dated by it
    Platform platform = [this] {
        Platform p;
        p.clock = &clock;
        return p;
    }();
    int delivered = 0;   // messages now in the operator's mailbox
};

void TestRealRoundMail::send(Module1& m, const OutgoingMail& mail)
{
    QtSessionRig<SmtpSession> rig;
    m.mailSettings.SmtpServer = RealServers::host;
    m.mailSettings.OwnAddress = RealServers::operatorAddress;
    rig.session.start(makeRoundSmtpJob(m, mail, CompleteMail));
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 30000);
    const std::string boxes = rig.view.messages.empty() ? std::string() : rig.view.messages.front();
    QVERIFY2(rig.view.messages.empty(), boxes.c_str());
    for (const auto& s : rig.view.statuses) QVERIFY2(s.rfind("ERR", 0) != 0, s.c_str());
    QCOMPARE(rig.view.lastStatus(), sjis("送信メールサバー接続終了"));
}

void TestRealRoundMail::fetch(Module1& m, const OutgoingMail& answered, const SjisText& lateMail)
{
    QtSessionRig<Pop3Session> rig;
    m.mailSettings.Pop3Server = RealServers::host;
    m.mailSettings.AccountId = RealServers::operatorAddress;
    m.mailSettings.Password = EncodeBase64Text(RealServers::password);
    m.mailSettings.OwnAddress = RealServers::operatorAddress;
    rig.session.start(makeRoundPop3Job(m, [&](const std::string& text) {
        ParseContext context = replyContext(m, answered, lateMail);
        return ParseReceivedMail(text, context);
    }));
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 30000);
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.view.lastStatus(), sjis("受信メールサバー接続終了"));
}

void TestRealRoundMail::deliverReply(const QByteArray& envelopeSender, const QByteArray& message)
{
    const RealServers::SmtpResult r = RealServers::sendRawMail(envelopeSender, {RealServers::operatorAddress}, message);
    QVERIFY2(r.accepted, qPrintable(r.describe()));
    ++delivered;
    // One at a time, so the mailbox numbers the messages in sending order.
    QVERIFY(RealServers::waitForMessages(RealServers::operatorAddress, delivered));
}

void TestRealRoundMail::invitationToThreePlayersInOneTransaction()
{
    Module1 m(platform);
    const char* players[] = {"taro@docomo.ne.jp", "hanako@ezweb.ne.jp", "jiro@t.vodafone.ne.jp"};
    for (int i = 0; i < 3; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = sjis("参加者");
        m.quizRun.ListAddresses[std::size_t(i)] = players[i];
    }
    m.quizRun.AddressLastIndex = 2;
    const char* subject = "第3回クイズ大会ｻﾝｶ確認のお知らせ";
    const char* body =
        "********************\r\n* TRIVORN          *\r\n--------------------\r\n"
        "山田様　こんにちは。ﾄﾘﾎﾞｰﾝ事務局です。\r\n.\r\n.これは点で始まる行\r\n"
        "ご参加の方はこのまま返信して下さい。\r\n返信時間は5分です。";
    send(m, {sjis(subject), sjis(body), false, AddressListRecipients(m.quizRun)});

    for (const char* player : players) {
        QVERIFY2(RealServers::waitForMessages(player, 1), player);
        const QList<QByteArray> stored = RealServers::messages(player);
        QCOMPARE(stored.size(), 1);
        const QByteArray raw = stored[0];
        for (const char* other : players)
            if (QByteArray(other) != player) QVERIFY2(!raw.contains(other), "another recipient is visible");
        QVERIFY(raw.contains("\nReply-To: quiz@trivorn.test\n"));
        QVERIFY(raw.contains("\nX-Mailer: TRIVORN\n"));
        QVERIFY(raw.contains("\nContent-Type: text/plain; charset=iso-2022-jp\n"));
        const RealServers::StoredMail s = RealServers::splitStoredMail(raw);
        QCOMPARE(readHeaderText(s.subject).value_or("(unreadable)"), QString::fromUtf8(subject));
        QCOMPARE(fromJis(s.body), QString::fromUtf8(body).replace("\r\n", "\n") + "\n");
        for (char c : raw) QVERIFY2(uchar(c) < 0x80, "the mail as sent is 7-bit");
    }
}

void TestRealRoundMail::questionMailsCarryEachPlayersOwnResult()
{
    Module1 m(platform);
    const char* players[] = {"taro@docomo.ne.jp", "hanako@docomo.ne.jp", "jiro@docomo.ne.jp"};
    for (int i = 0; i < 3; ++i) m.quizRun.ListAddresses[std::size_t(i)] = players[i];
    m.quizRun.AddressLastIndex = 2;
    sizeParticipantTable(m, 3, 3);
    ParticipantTable& t = m.quizRun.participants;
    // After question 1 (10 points): hanako right first, jiro right second, taro wrong.
    const int points[] = {0, 10, 10};
    const int arrival[] = {1001, 1, 2};
    const char* marks[] = {"×", "○", "○"};
    for (int i = 0; i < 3; ++i) {
        t.名前[i] = sjis("参加者");
        t.アドレス[i] = players[i];
        t.得点数[i] = std::int16_t(points[i]);
        t.着信順[i] = std::int16_t(arrival[i]);
        t.採点.at(i, 1) = sjis(marks[i]);
    }
    t.ParticipantCount = 3;
    m.quizRun.ParticipantLastIndex = 2;
    m.questionSet.TotalPoints = 30;
    sizeAnswerTables(m, 3, 3);
    Rank(m);
    m.quizRun.CurrentQuestion = 2;
    send(m, {sjis("第2問"), sjis("問題1:×\r\n順位:xxx位\r\n合計得点:xxx/30\r\n問題2　答:"), true,
             ParticipantRecipients(m.quizRun)});

    const char* expected[] = {"問題1:×\n順位:3位\n合計得点:0/30\n問題2　答:\n",
                              "問題1:○\n順位:1位\n合計得点:10/30\n問題2　答:\n",
                              "問題1:○\n順位:2位\n合計得点:10/30\n問題2　答:\n"};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(RealServers::waitForMessages(players[i], 1), players[i]);
        const QList<QByteArray> stored = RealServers::messages(players[i]);
        QCOMPARE(stored.size(), 1);
        // A transaction of its own: the server names the single recipient.
        QVERIFY(stored[0].contains("for <" + QByteArray(players[i]) + ">;"));
        const RealServers::StoredMail s = RealServers::splitStoredMail(stored[0]);
        QCOMPARE(readHeaderText(s.subject).value_or("(unreadable)"), QString::fromUtf8("第2問"));
        QCOMPARE(fromJis(s.body), QString::fromUtf8(expected[i]));
    }
}

void TestRealRoundMail::repliesJoinScoreAndAreDeleted()
{
    delivered = 0;
    Module1 m(platform);
    const char* invited[] = {"taro@docomo.ne.jp", "hanako@ezweb.ne.jp", "jiro@t.vodafone.ne.jp",
                             "hanako@docomo.ne.jp", "taro@example.com"};
    for (int i = 0; i < 5; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = "p" + std::to_string(i);
        m.quizRun.ListAddresses[std::size_t(i)] = invited[i];
    }
    m.quizRun.AddressLastIndex = 4;
    sizeParticipantTable(m, 5, 1);
    m.questionSet.CorrectChoice[1] = 3;
    m.questionSet.Points[1] = 10;
    m.questionSet.TotalPoints = 10;

    // Replies to the invitation "クイズ参加確認".
    const char* invitation = "クイズ参加確認";
    deliverReply("taro@docomo.ne.jp",
                 replyMessage("taro@docomo.ne.jp", "Re: " + encodedWord(invitation), sjisBytes("参加します")));
    deliverReply("hanako@ezweb.ne.jp",
                 replyMessage("hanako@ezweb.ne.jp", "Re: " + jis(invitation), sjisBytes("よろしく"),
                              "Content-Type: text/plain; charset=Shift_JIS\r\n"));
    deliverReply("jiro@t.vodafone.ne.jp",
                 replyMessage("jiro@t.vodafone.ne.jp", encodedWord("RE:(BCC)クイズ参加確認"), ""));
    deliverReply("taro@example.com",   // not from a phone: stays on the server
                 replyMessage("taro@example.com", "Re: " + encodedWord(invitation), "join"));
    deliverReply("hanako@docomo.ne.jp",
                 replyMessage(encodedWord("花子") + " <hanako@docomo.ne.jp>", "Re: " + encodedWord(invitation), "x"));
    deliverReply("taro@docomo.ne.jp",   // the same player again
                 replyMessage("taro@docomo.ne.jp", "Re: " + encodedWord(invitation), "again"));
    deliverReply("hanako@ezweb.ne.jp",   // another conversation: stays
                 replyMessage("hanako@ezweb.ne.jp", "Re: " + encodedWord("別件"), "x"));

    const OutgoingMail invitationMail{sjis(invitation), {}, false, {}};
    fetch(m, invitationMail, "");
    SjisText lateMail = ReplySubject(invitationMail);

    QCOMPARE(m.quizRun.ParticipantCount(), std::int16_t(4));
    const std::int16_t joined[] = {1, 1, 1, 1, 0};
    for (int i = 0; i < 5; ++i) QCOMPARE(m.quizRun.ListJoined[std::size_t(i)], joined[i]);
    for (int i = 0; i < 4; ++i) QCOMPARE(m.quizRun.participants.アドレス[i], std::string(invited[i]));
    QList<QByteArray> left = RealServers::messages(RealServers::operatorAddress);
    QCOMPARE(left.size(), 2);
    QVERIFY(left[0].contains("From: taro@example.com"));
    QVERIFY(left[1].contains(encodedWord("別件")));
    delivered = 2;

    // Answers to question 1 (correct choice 3, 10 points).
    sizeAnswerTables(m, 4, 1);
    m.quizRun.CurrentQuestion = 1;
    const OutgoingMail question{sjis("第1問"), {}, true, {}};
    deliverReply("hanako@ezweb.ne.jp",
                 replyMessage("hanako@ezweb.ne.jp", "Re: " + jis("第1問"), jis("答:2"),
                              "Content-Type: text/plain; charset=ISO-2022-JP\r\n"));
    deliverReply("taro@docomo.ne.jp",
                 replyMessage("taro@docomo.ne.jp", "Re: " + encodedWord("第1問"), sjisBytes("答:3")));
    deliverReply("jiro@t.vodafone.ne.jp",
                 replyMessage("jiro@t.vodafone.ne.jp", encodedWord("RE:(BCC)第1問"), sjisBytes("答:３")));
    deliverReply("hanako@docomo.ne.jp",   // late reply to the invitation: only cleared away
                 replyMessage("hanako@docomo.ne.jp", "Re: " + encodedWord(invitation), "late"));
    fetch(m, question, lateMail);

    const ParticipantTable& t = m.quizRun.participants;
    QCOMPARE(t.採点.at(0, 1), sjis("○"));   // taro
    QCOMPARE(t.回答.at(0, 1), std::int16_t(3));
    QCOMPARE(t.得点数[0], std::int16_t(10));
    QCOMPARE(t.採点.at(1, 1), sjis("×"));   // hanako@ezweb
    QCOMPARE(t.回答.at(1, 1), std::int16_t(2));
    QCOMPARE(t.得点数[1], std::int16_t(0));
    QCOMPARE(t.採点.at(2, 1), sjis("×"));   // jiro: a full-width digit cannot be read
    QCOMPARE(t.回答.at(2, 1), std::int16_t(-1));
    QCOMPARE(m.quizRun.Answered.at(3, 1), std::uint8_t(0));   // hanako@docomo did not answer
    QVERIFY(t.着信順[0] < t.着信順[1]);   // right answers rank before wrong ones
    left = RealServers::messages(RealServers::operatorAddress);
    QCOMPARE(left.size(), 2);
    QVERIFY(left[0].contains("From: taro@example.com"));
    QVERIFY(left[1].contains(encodedWord("別件")));
}

QTEST_GUILESS_MAIN(TestRealRoundMail)
#include "tst_real_round_mail.moc"
