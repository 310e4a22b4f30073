#include <QtTest>

#include "support/SjisLiterals.h"
#include "run/ClosingMailText.h"

class TestClosingMail : public QObject {
    Q_OBJECT
private slots:
    void roundThreeReadsLineByLine() {
        QuestionSet set;
        set.QuestionCount.assign(1, '3');   // not = "3": GCC 12 warns (-Wrestrict)
        set.CorrectChoice[3] = 2;
        set.CorrectChoice[2] = 4;   // a neighbour's choice must not be taken
        set.TotalPoints = 100;
        const SjisText body = BuildClosingMailText(sj(u"お疲れさまです。"_qs), sj(u"山田"_qs), "3", set);
        const QStringList expected{
            "********************", "* TRIVORN          *", "********************",
            u"お疲れさまです。"_qs, u"山田です。"_qs, u"これで、第3回目の"_qs,
            u"クイズを終了いたします。"_qs, "--------------------", u"問題3:×"_qs, u"正解:2"_qs,
            u"順位:xxx位"_qs, u"合計得点:xxx/100"_qs, "--------------------"};
        QString joined;
        for (const QString& line : expected) joined += line + "\r\n";
        QCOMPARE(un(body), joined);
        QCOMPARE(body, sj(joined));
        QCOMPARE(body.substr(body.size() - 22), SjisText("--------------------\r\n"));
        // The built-in greetings are the two the window offers.
        QCOMPARE(un(closingtext::Greeting1), u"お疲れさまです。"_qs);
        QCOMPARE(un(closingtext::Greeting2), u"ご苦労さまでした。"_qs);
    }

    void piecesFollowTheirInputs_data() {
        QTest::addColumn<QString>("greeting");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("round");
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("total");
        QTest::addColumn<QStringList>("lines4to11");
        QTest::newRow("other greeting, empty name")
            << u"ご苦労さまでした。"_qs << QString() << "12" << "100" << 1000
            << QStringList{u"ご苦労さまでした。"_qs, u"です。"_qs, u"これで、第12回目の"_qs,
                           u"クイズを終了いたします。"_qs, "--------------------", u"問題100:×"_qs,
                           u"正解:9"_qs, u"順位:xxx位"_qs, u"合計得点:xxx/1000"_qs};
        QTest::newRow("damaged count reads no slot")
            << u"やあ"_qs << u"鈴木"_qs << "1" << "abc" << 100
            << QStringList{u"やあ"_qs, u"鈴木です。"_qs, u"これで、第1回目の"_qs,
                           u"クイズを終了いたします。"_qs, "--------------------", u"問題abc:×"_qs,
                           u"正解:0"_qs, u"順位:xxx位"_qs, u"合計得点:xxx/100"_qs};
        QTest::newRow("count past the slots")
            << u"やあ"_qs << u"鈴木"_qs << "1" << "101" << 100
            << QStringList{u"やあ"_qs, u"鈴木です。"_qs, u"これで、第1回目の"_qs,
                           u"クイズを終了いたします。"_qs, "--------------------", u"問題101:×"_qs,
                           u"正解:0"_qs, u"順位:xxx位"_qs, u"合計得点:xxx/100"_qs};
    }
    void piecesFollowTheirInputs() {
        QFETCH(QString, greeting);
        QFETCH(QString, name);
        QFETCH(QString, round);
        QFETCH(QString, count);
        QFETCH(int, total);
        QFETCH(QStringList, lines4to11);
        QuestionSet set;
        set.QuestionCount = sj(count);
        set.CorrectChoice[100] = 9;
        set.TotalPoints = std::int16_t(total);
        const QStringList lines = un(BuildClosingMailText(sj(greeting), sj(name), sj(round), set)).split("\r\n");
        QCOMPARE(lines.size(), 14);   // thirteen lines and the empty rest after the last CR LF
        QCOMPARE(lines.mid(3, 9), lines4to11);
        QCOMPARE(lines.at(13), QString());
    }

    void defaultSubject() {
        QCOMPARE(un(DefaultClosingSubject("3")), u"第3回のクイズ終了ご確認"_qs);
    }
};

QTEST_GUILESS_MAIN(TestClosingMail)
#include "tst_closing_mail.moc"
