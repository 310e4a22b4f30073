// The simulated phones against the private Postfix and Dovecot: they read a
// question mail written the way the quiz host writes it (raw ISO-2022-JP with
// half-width katakana in the subject, an answer line to fill in), answer in
// the styles real phones use, keep a late answer back until the next mail,
// send a slow answer only after its delay, and report refusals instead of
// counting them as handled. What reaches the
// operator's mailbox is read from its Maildir and decoded with iconv here.
//
// Mailboxes used: player200@docomo.ne.jp stands for the operator, player201
// to player210 are phones; nothing else is read or emptied.
#include <QElapsedTimer>
#include <QtTest>

#include "support/IconvText.h"
#include "support/ServerChecks.h"
#include "demo/SimulatedPhones.h"

namespace {

const QString domain = QStringLiteral("docomo.ne.jp");

QString player(int n) { return RealServers::playerAddress(n); }
const QString host = player(200);

// Written with the JIS X 0201 katakana set where the text has half-width
// katakana, as a host that keeps them does.
QByteArray jis3(const QString& text) { return iconvBytes(text.toUtf8(), "ISO-2022-JP-3", "UTF-8"); }

QByteArray questionMail(const QStringList& to, const QByteArray& subject, const QString& body) {
    return "From: " + host.toLatin1() + "\r\nTo: " + to.join(", ").toLatin1() + "\r\nSubject: " + subject +
           "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0900\r\nMIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" +
           jis3(body).replace("\n", "\r\n");
}

// Deletes the mailbox's message files; Dovecot copes with files gone.
bool emptyMailbox(const QString& address, QString* error) {
    const QString folder = RealServers::directory() + "/maildirs/" + domain + '/' + address.section('@', 0, 0);
    for (const char* sub : {"new", "cur"}) {
        QDir dir(folder + '/' + sub);
        if (!dir.exists()) {
            *error = "no Maildir " + dir.path();
            return false;
        }
        for (const QString& f : dir.entryList(QDir::Files))
            if (!dir.remove(f) && dir.exists(f)) {
                *error = "cannot delete " + dir.filePath(f);
                return false;
            }
    }
    return true;
}

// A message as the Maildir holds it (LF line ends): one header field,
// continuation lines joined, and the body.
QByteArray storedHeader(const QByteArray& stored, const QByteArray& name) {
    const QByteArray head = stored.left(stored.indexOf("\n\n"));
    const QByteArray prefix = name.toLower() + ": ";
    QByteArray value;
    bool inField = false;
    for (const QByteArray& line : head.split('\n')) {
        if (inField && (line.startsWith(' ') || line.startsWith('\t'))) {
            value += line;
            continue;
        }
        if (inField) break;
        if (line.toLower().startsWith(prefix)) {
            value = line.mid(prefix.size());
            inField = true;
        }
    }
    return value;
}
QByteArray storedBody(const QByteArray& stored) { return stored.mid(stored.indexOf("\n\n") + 2); }

// The first question: half-width katakana and "?=" (申 in JIS) in a raw JIS
// subject, a line starting with "." and the answer line at the end.
const QString q1Subject = QStringLiteral("第1問 ｸｲｽﾞ 申込 日本一高い山は?");
const QString q1Body = QStringLiteral(
    "第1問 日本一高い山は?\n1.富士山\n2.北岳\n3.ｱｲｳ山\n.で始まる行\n答:   (点数:10)\n");
// The second: folded encoded words in lower case.
const QString q2SubjectA = QStringLiteral("第2問 ﾀﾜｰ");
const QString q2SubjectB = QStringLiteral(" 東京タワーの高さは?");
const QString q2Body = QStringLiteral("第2問 東京タワーの高さは?\n1.333m\n2.634m\n答:   (点数:20)\n");

}  // namespace

class TestRealPhones : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }

    void init() {
        // Mail of an earlier run still on its way would land after the sweep.
        QDeadlineTimer deadline(3000);
        while (RealServers::queuedMessageCount() > 0 && !deadline.hasExpired()) QThread::msleep(20);
        QString error;
        for (int n = 200; n <= 210; ++n) QVERIFY2(emptyMailbox(player(n), &error), qPrintable(error));
    }

    void phonesReadAnswerAndHoldLateReplies() {
        const QByteArray q1Raw = jis3(q1Subject);
        QVERIFY2(q1Raw.contains("\x1b(I") && q1Raw.contains("?="), q1Raw.toPercentEncoding().constData());
        const QStringList players{player(201), player(202), player(203), player(204), player(205)};
        QList<QByteArray> envelope;
        for (const QString& p : players) envelope.append(p.toLatin1());
        auto sent = RealServers::sendRawMail(host.toLatin1(), envelope, questionMail(players, q1Raw, q1Body));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        // All of them hold the question before the phones start, so the first
        // round answers it in the order the phones were added.
        for (const QString& p : players) QVERIFY(RealServers::waitForMessages(p, 1, 5000));

        SimulatedPhones phones(host.toLatin1());
        phones.add(player(201), [](const PhoneMail& mail, int) {
            return QList<PhoneReply>{{encodedWordSubject(mail.subject), {}, quotedAnswerBody(mail, "1")}};
        });
        phones.add(player(202), [](const PhoneMail& mail, int) {
            return QList<PhoneReply>{{rawJisSubject(mail.subject), "Hanako <player202@docomo.ne.jp>",
                                      jisText(QStringLiteral("答:2\n.\n..以上\n"))}};
        });
        phones.add(player(203), [](const PhoneMail& mail, int index) {
            PhoneReply r{echoedSubject(mail), {}, jisText(index == 0 ? QStringLiteral("答:3\n") : QStringLiteral("答:1\n"))};
            r.holdUntilNextMail = index == 0;
            return QList<PhoneReply>{r};
        });
        phones.add(player(204), [](const PhoneMail&, int) { return QList<PhoneReply>{}; });
        phones.add(player(205), [](const PhoneMail&, int) {
            PhoneReply r{rawJisSubject(QStringLiteral("遅れて")), {}, jisText(QStringLiteral("答:4\n"))};
            r.delayMs = 1000;
            return QList<PhoneReply>{r};
        });
        phones.start(50);

        for (const QString& p : players) QTRY_VERIFY_WITH_TIMEOUT(phones.hasHandled(p, q1Subject), 5000);
        QCOMPARE(phones.repliesSent(), 2);

        const PhoneMail got = phones.received(player(201)).value(0);
        QCOMPARE(got.rawSubject, q1Raw);
        QCOMPARE(got.subject, q1Subject);
        QCOMPARE(got.body, q1Body);
        // POP3 sent that line as "..", the phone keeps it as written.
        const QByteArray dotLine = jis3(QStringLiteral(".で始まる行"));
        QVERIFY2(got.raw.contains("\r\n" + dotLine + "\r\n") && !got.raw.contains("\r\n." + dotLine),
                 got.raw.constData());
        QVERIFY(got.raw.endsWith("\r\n") && !got.raw.endsWith("\r\n.\r\n"));
        QCOMPARE(phones.received(player(204)).size(), 1);
        QCOMPARE(phones.received(player(204)).value(0).subject, q1Subject);

        // The slow reply is not owed yet and comes after its delay; the late
        // one stays back all the while.
        QCOMPARE(RealServers::messages(host).size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(phones.repliesSent(), 3, 5000);
        QVERIFY(RealServers::waitForMessages(host, 3, 5000));
        QTest::qWait(300);
        QCOMPARE(RealServers::messages(host).size(), 3);
        QVERIFY(!phones.hasHandled(player(203), q2SubjectA + q2SubjectB));

        const QByteArray q2Raw = "=?iso-2022-jp?b?" + jis3(q2SubjectA).toBase64() + "?=\r\n =?iso-2022-jp?B?" +
                                 jis3(q2SubjectB).toBase64() + "?=";
        sent = RealServers::sendRawMail(host.toLatin1(), {player(203).toLatin1()},
                                        questionMail({player(203)}, q2Raw, q2Body));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        QTRY_VERIFY_WITH_TIMEOUT(phones.hasHandled(player(203), q2SubjectA + q2SubjectB), 5000);
        QCOMPARE(phones.repliesSent(), 5);
        const PhoneMail second = phones.received(player(203)).value(1);
        QCOMPARE(second.rawSubject, QByteArray(q2Raw).replace("\r\n", ""));
        QCOMPARE(second.body, q2Body);

        QElapsedTimer stopping;
        stopping.start();
        phones.stop();
        QVERIFY2(stopping.elapsed() < 1000, qPrintable(QString::number(stopping.elapsed())));
        QVERIFY2(phones.errors().isEmpty(), qPrintable(phones.errors().join('\n')));

        struct Expected {
            QString phone;
            QByteArray from;
            QByteArray subject;
            QString text;
        };
        QString answered = q1Body;
        answered.replace(QStringLiteral("答:   (点数:10)"), QStringLiteral("答:1"));
        const QList<Expected> expected{
            {player(201), player(201).toLatin1(), "Re: =?ISO-2022-JP?B?" + q1Raw.toBase64() + "?=", answered},
            {player(202), "Hanako <player202@docomo.ne.jp>", "Re: " + q1Raw, QStringLiteral("答:2\n.\n..以上\n")},
            {player(205), player(205).toLatin1(), "Re: " + jis(QStringLiteral("遅れて")), QStringLiteral("答:4\n")},
            {player(203), player(203).toLatin1(), "Re: " + q1Raw, QStringLiteral("答:3\n")},
            {player(203), player(203).toLatin1(), "Re: " + QByteArray(q2Raw).replace("\r\n", ""),
             QStringLiteral("答:1\n")},
        };
        QVERIFY(RealServers::waitForMessages(host, 5, 5000));
        QTest::qWait(200);   // nothing beyond these
        const QList<QByteArray> stored = RealServers::messages(host);
        QCOMPARE(stored.size(), expected.size());
        for (qsizetype i = 0; i < stored.size(); ++i) {
            const QByteArray& m = stored[i];
            const Expected& e = expected[i];
            QVERIFY2(m.startsWith("Return-Path: <" + e.phone.toLatin1() + ">\n"), m.left(60).constData());
            QCOMPARE(storedHeader(m, "From"), e.from);
            QCOMPARE(storedHeader(m, "To"), host.toLatin1());
            QCOMPARE(storedHeader(m, "Subject"), e.subject);
            QCOMPARE(storedHeader(m, "Content-Type"), QByteArray("text/plain; charset=ISO-2022-JP"));
            QCOMPARE(fromJis(storedBody(m)), e.text);
        }
        // Plain ISO-2022-JP bytes where the text allows it; JIS X 0201
        // katakana only where the quoted text needs them.
        QCOMPARE(storedBody(stored[1]), jis(QStringLiteral("答:2\n.\n..以上\n")));
        QVERIFY(storedBody(stored[0]).contains("\x1b(I"));
    }

    // A refused reply and an unwritable text are reported with the phone's
    // address, and the mail never counts as handled.
    void refusalsAreReportedNotHandled() {
        const QByteArray subject = jis3(QStringLiteral("第3問"));
        const auto sent = RealServers::sendRawMail(
            host.toLatin1(), {player(206).toLatin1(), player(207).toLatin1()},
            questionMail({player(206), player(207)}, subject, QStringLiteral("答:   (点数:5)\n")));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));

        // No such mailbox: the server refuses every reply at RCPT.
        SimulatedPhones phones("nobody@docomo.ne.jp");
        phones.add(player(206), [](const PhoneMail&, int) {
            return QList<PhoneReply>{{rawJisSubject(QStringLiteral("了解")), {},
                                      jisText(QStringLiteral("答:") + QString::fromUcs4(U"\U0001F600"))}};
        });
        phones.add(player(207), [](const PhoneMail&, int) { return QList<PhoneReply>{}; });
        phones.start(50);

        QTRY_VERIFY_WITH_TIMEOUT(phones.hasHandled(player(207), QStringLiteral("第3問")), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(phones.errors().size(), 2, 5000);
        QTest::qWait(300);
        QCOMPARE(phones.received(player(206)).size(), 1);
        QCOMPARE(phones.received(player(206)).value(0).subject, QStringLiteral("第3問"));
        QVERIFY(!phones.hasHandled(player(206), QStringLiteral("第3問")));
        QCOMPARE(phones.repliesSent(), 0);
        const QStringList errors = phones.errors();
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors[0].startsWith(player(206) + ": iconv cannot write"), qPrintable(errors[0]));
        QVERIFY2(errors[1].startsWith(player(206) + ": SMTP refused RCPT TO") && errors[1].contains(" 550 "),
                 qPrintable(errors[1]));
    }
};

QTEST_GUILESS_MAIN(TestRealPhones)
#include "tst_real_phones.moc"
