// Fetched messages through the parser into the round's tables: who joins,
// how answers are scored, what each player's next mail then says.
#include <QtTest>

#include "support/SjisLiterals.h"
#include "mail/ReceivedMailParser.h"
#include "model/Module1.h"
#include "run/Scoring.h"

namespace {

// A reply as delivered to quiz@trivorn.test: plain subject, raw Shift_JIS body.
std::string reply(const std::string& returnPath, const std::string& from, const std::string& subject,
                  const SjisText& body) {
    return "+OK 400 octets\r\n"
           "Return-Path: <" + returnPath + ">\r\n"
           "Delivered-To: quiz@trivorn.test\r\n"
           "Received: from phone (localhost [127.0.0.1])\r\n"
           "\tby mail.trivorn.test (Postfix) with SMTP id 1\r\n"
           "\tfor <quiz@trivorn.test>; Mon,  7 Dec 2026 10:00:00 +0900 (JST)\r\n"
           "From: " + from + "\r\n"
           "Subject: " + subject + "\r\n"
           "Message-ID: <1@phone>\r\n"
           "\r\n" + body + "\r\n.\r\n";
}

}  // namespace

class TestReplyFlow : public QObject {
    Q_OBJECT
private slots:
    void contextFollowsTheRun();
    void invitationThenQuestion();
};

void TestReplyFlow::contextFollowsTheRun() {
    Platform platform;
    Module1 m(platform);
    m.mailSettings.OwnAddress = "quiz@trivorn.test";
    OutgoingMail q1{"Q1", {}, true, {}};
    const ParseContext ctx = replyContext(m, q1, "Re:Quiz");
    QCOMPARE(ctx.ownAddress, SjisText("quiz@trivorn.test"));
    QCOMPARE(ctx.mailSubject, SjisText("Re:Q1"));
    QCOMPARE(ctx.lateMail, SjisText("Re:Quiz"));
    QVERIFY(ctx.perRecipientMode);
    q1.PerRecipientMode = false;
    QVERIFY(!replyContext(m, q1, "").perRecipientMode);
}

void TestReplyFlow::invitationThenQuestion() {
    Platform platform;
    Module1 m(platform);
    m.mailSettings.OwnAddress = "quiz@trivorn.test";
    const char* invited[] = {"taro@docomo.ne.jp", "hanako@ezweb.ne.jp", "jiro@docomo.ne.jp"};
    for (int i = 0; i < 3; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = sj(QStringList{"太郎", "花子", "次郎"}[i]);
        m.quizRun.ListAddresses[std::size_t(i)] = invited[i];
    }
    m.quizRun.AddressLastIndex = 2;
    m.questionSet.QuestionCount = "2";
    m.questionSet.CorrectChoice[1] = 2;
    m.questionSet.Points[1] = 50;
    m.questionSet.Points[2] = 50;
    m.questionSet.TotalPoints = 100;
    sizeParticipantTable(m, 3, 2);

    // The invitation fetch.
    OutgoingMail awaited{"Quiz", {}, false, {}};
    m.quizRun.ArrivalCounter = 0;
    SjisText lateMail;
    auto parse = [&](const std::string& text) {
        ParseContext ctx = replyContext(m, awaited, lateMail);
        return ParseReceivedMail(text, ctx);
    };
    QVERIFY(parse(reply("hanako@ezweb.ne.jp", "Hanako <hanako@ezweb.ne.jp>", "Re: Quiz", "")));
    QVERIFY(!parse(reply("jiro@example.com", "jiro@docomo.ne.jp", "Re: Quiz", "")));   // not from a phone
    QVERIFY(parse(reply("taro@docomo.ne.jp", "taro@docomo.ne.jp", "Re: Quiz", sj("参加"))));
    QVERIFY(parse(reply("taro@docomo.ne.jp", "taro@docomo.ne.jp", "Re: Quiz", sj("再送"))));   // again
    QVERIFY(!parse(reply("jiro@docomo.ne.jp", "jiro@docomo.ne.jp", "Hello", "")));
    lateMail += ReplySubject(awaited);

    QCOMPARE(int(m.quizRun.ParticipantCount()), 2);
    QCOMPARE(m.quizRun.participants.アドレス[0], SjisText("hanako@ezweb.ne.jp"));
    QCOMPARE(un(m.quizRun.participants.名前[1]), QString("太郎"));
    QCOMPARE(m.quizRun.ListJoined[2], std::int16_t(0));

    // Question 1: taro quotes the whole mail and writes "答:2" below it: the
    // quoted lines are not his, so his own "答:2" is the answer, not the
    // quoted empty answer line; hanako answers wrong; jiro's late reply to
    // the invitation is only cleared away.
    sizeAnswerTables(m, 2, 2);
    awaited = {"Q1", {}, true, {}};
    m.quizRun.CurrentQuestion = 1;
    m.quizRun.ArrivalCounter = 0;
    QVERIFY(parse(reply("jiro@docomo.ne.jp", "jiro@docomo.ne.jp", "Re: Quiz", "")));
    QVERIFY(parse(reply("taro@docomo.ne.jp", "taro@docomo.ne.jp", "Re: Q1",
                        sj("> '答:'に番号を入力して返信\r\n> 答:\r\n\r\n答:2"))));
    QVERIFY(parse(reply("hanako@ezweb.ne.jp", "hanako@ezweb.ne.jp", "Re: Q1", sj("答:1"))));
    MarkMissingAnswers(m, 1);
    Rank(m);

    const ParticipantTable& t = m.quizRun.participants;
    QCOMPARE(un(t.採点.at(1, 1)), QString("○"));
    QCOMPARE(t.回答.at(1, 1), std::int16_t(2));
    QCOMPARE(un(t.採点.at(0, 1)), QString("×"));
    QCOMPARE(t.回答.at(0, 1), std::int16_t(1));
    // Taro's right answer ranks first; hanako's wrong one is at 1002.
    QCOMPARE(un(m.quizRun.Ranking[0].名前), QString("太郎"));
    QCOMPARE(m.quizRun.Ranking[1].着信順, std::int16_t(1002));

    // The mail of question 2 for hanako.
    m.quizRun.CurrentQuestion = 2;
    QCOMPARE(un(CompleteMail(m, 0, sj("問題1:×\r\n順位:xxx位\r\n合計得点:xxx/100"))),
             QString("問題1:×\r\n順位:2位\r\n合計得点:0/100"));
}

QTEST_GUILESS_MAIN(TestReplyFlow)
#include "tst_reply_flow.moc"
