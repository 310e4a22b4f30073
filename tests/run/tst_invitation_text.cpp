// The invitation texts byte for byte: the expected texts are written here in
// UTF-8 and converted with Qt's own Windows-31J encoder, independently of the
// byte literals the composer uses.
#include <QStringList>
#include <QTest>

#include "support/SjisLiterals.h"
#include "run/InvitationText.h"

namespace {

// The sixteen lines of the invitation for the given inserted values.
QStringList expectedLines(const QString& greeting, const QString& name, const QString& round,
                          const QString& minutes) {
    return {
        "********************",
        "* TRIVORN          *",
        "********************",
        greeting,
        name + "です。",
        "これから第" + round + "回目の",
        "クイズを開始したいと、",
        "思いますので、",
        "参加の方は、そのまま",
        "なにも記入せずに、",
        "返信してください。",
        "不参加の方は、",
        "返信しなくて結構です。",
        minutes + "分以内に返信の",
        "ない方は不参加",
        "といたします。",
    };
}

}   // namespace

class TestInvitationText : public QObject {
    Q_OBJECT
private slots:
    void greetingByClock_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("midnight is evening") << "00:00" << "今晩は、";
        QTest::newRow("one past midnight") << "00:01" << "お早うございます。";
        QTest::newRow("morning") << "09:05" << "お早うございます。";
        QTest::newRow("noon is still morning") << "12:00" << "お早うございます。";
        QTest::newRow("one past noon") << "12:01" << "こんにちは、";
        QTest::newRow("last afternoon minute") << "16:59" << "こんにちは、";
        QTest::newRow("five o'clock") << "17:00" << "今晩は、";
        QTest::newRow("late evening") << "23:59" << "今晩は、";
    }
    void greetingByClock() {
        QFETCH(QString, time);
        QFETCH(QString, greeting);
        QCOMPARE(GreetingByClock(time.toStdString()), sj(greeting));
    }

    void body_data() {
        QTest::addColumn<QString>("greeting");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("round");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("bytes");
        QTest::newRow("山田 round 3") << "お早うございます。" << "山田" << "3" << "5" << 308;
        QTest::newRow("empty name") << "お早うございます。" << "" << "3" << "5" << 304;
        QTest::newRow("two-digit values") << "今晩は、" << "山田" << "12" << "20" << 300;
        // Text typed into the boxes goes in unchanged, spaces and all.
        QTest::newRow("typed texts kept") << " やあ " << "ＡＢ " << "03" << "abc" << 300;
        QTest::newRow("all empty") << "" << "" << "" << "" << 284;
    }
    void body() {
        QFETCH(QString, greeting);
        QFETCH(QString, name);
        QFETCH(QString, round);
        QFETCH(QString, minutes);
        QFETCH(int, bytes);

        const SjisText got = InvitationBody(sj(greeting), sj(name), sj(round), sj(minutes));
        SjisText want;
        for (const QString& l : expectedLines(greeting, name, round, minutes)) want += sj(l) + "\r\n";
        QCOMPARE(got, want);
        QCOMPARE(int(got.size()), bytes);
        // Exactly sixteen CR LF pairs and no bare LF or CR.
        int crlf = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (got[i] == '\n') QVERIFY(i > 0 && got[i - 1] == '\r');
            if (got[i] == '\r') {
                QVERIFY(i + 1 < got.size() && got[i + 1] == '\n');
                ++crlf;
            }
        }
        QCOMPARE(crlf, 16);
    }

    void subject_data() {
        QTest::addColumn<QString>("round");
        QTest::addColumn<QString>("subject");
        QTest::newRow("round 1") << "1" << "第1回のクイズ参加ご確認";
        QTest::newRow("round 12") << "12" << "第12回のクイズ参加ご確認";
        QTest::newRow("typed 03 kept") << "03" << "第03回のクイズ参加ご確認";
    }
    void subject() {
        QFETCH(QString, round);
        QFETCH(QString, subject);
        QCOMPARE(InvitationSubject(sj(round)), sj(subject));
    }
};

QTEST_GUILESS_MAIN(TestInvitationText)
#include "tst_invitation_text.moc"
