// START on the main window with the connection of a provider of today: the
// round's mails go out through the suite's Postfix on the submission port
// after STARTTLS and a login (or over TLS from the first byte), and the
// replies come in from Dovecot over TLS or after STLS, while the players'
// simulated phones use the plain ports. The servers' certificate comes from a
// CA nobody trusts, so the round only gets through once its fingerprint is
// trusted, and a round started before that invites nobody.
//
// Three players: A joins and answers 1 then 2, B joins and answers 2 then 3,
// C never answers. Question 1 is right with 1 (10 points), question 2 with 3
// (20 points).
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "model/RecordFiles.h"
#include "support/PreparedRound.h"
#include "support/RawRecord.h"
#include "support/RealServers.h"
#include "support/SimulatedPhones.h"
#include "support/SjisLiterals.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/ConnectionGroup.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

struct Player {
    QString name, address;
    QStringList answers;   // empty: never answers, not even the invitation
};

const QList<Player>& players() {
    static const QList<Player> list = {
        {u("山田太郎"), "taro@docomo.ne.jp", {"1", "2"}},
        {u("鈴木花子"), "hanako@ezweb.ne.jp", {"2", "3"}},
        {u("佐藤次郎"), "jiro@t.vodafone.ne.jp", {}},
    };
    return list;
}

PhoneScript scriptOf(const Player& p) {
    return [p](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        if (p.answers.isEmpty() || index > p.answers.size()) return {};
        const QByteArray body = index == 0 ? jisText(u("参加します。")) : jisText(u("答:") + p.answers[index - 1]);
        return {PhoneReply{encodedWordSubject(mail.subject), {}, body}};
    };
}

QString fingerprint() { return QString::fromStdString(RealServers::serverFingerprint()); }

// The Dovecot log's lines of the operator's logins since `from` bytes.
QStringList operatorLogins(qint64 from) {
    QFile log(RealServers::directory() + "/dovecot/dovecot.log");
    if (!log.open(QIODevice::ReadOnly)) return {"(no dovecot.log)"};
    log.seek(from);
    QStringList out;
    for (const QByteArray& line : log.readAll().split('\n'))
        if (line.contains("Login: user=<quiz@trivorn.test>")) out << QString::fromLatin1(line);
    return out;
}

qint64 dovecotLogSize() { return QFileInfo(RealServers::directory() + "/dovecot/dovecot.log").size(); }

// The main window with the round prepared and the phones listening; the
// clock of a countdown moves once every phone owed an answer has given it
// and Postfix has delivered it.
struct RoundRig {
    TestWorld world;
    SteppedClock clock;
    PreparedRound round;
    SimulatedPhones phones{RealServers::operatorAddress};
    std::unique_ptr<Form1> form;
    QStringList invited, joined;
    bool expectMail = true;   // false: a round whose mail cannot get out

    RoundRig() {
        world.useClock(clock);
        for (const Player& p : players()) round.addressBook << PreparedRound::Entry{p.name, p.address, true};
        round.questions = {
            {u("第1問"), u("日本一高い山は?"), {u("富士山"), u("北岳"), u("奥穂高岳")}, 1, 10, 1},
            {u("第2問"), u("日本一長い川は?"), {u("石狩川"), u("利根川"), u("信濃川")}, 3, 20, 1},
        };
        for (const Player& p : players()) {
            phones.add(p.address, scriptOf(p));
            invited << p.address;
            if (!p.answers.isEmpty()) joined << p.address;
        }
        phones.setAwake(false);
        phones.start(50);
        form = std::make_unique<Form1>(world.module1, [this] { return world.appFolder(); });
        form->show();
        clock.gate = [this] { return gateOpen(); };
    }
    ~RoundRig() { phones.stop(); }

    QString countdownOf, released;
    QElapsedTimer waiting;
    bool gateOpen() {
        const QString status = form->Text7->text();
        const QString subject = status.left(status.indexOf(u("の返信待ちです。")));
        if (!expectMail || subject == released) return true;
        if (subject != countdownOf) {
            countdownOf = subject;
            waiting.start();
            phones.setAwake(true);
        }
        const bool invitation = subject == fromSjis(round.invitation().Subject);
        bool done = RealServers::queuedMessageCount() == 0;
        for (const QString& address : invitation ? invited : joined) done = done && phones.hasHandled(address, subject);
        if (!done && waiting.elapsed() < 60000) return false;
        phones.setAwake(false);
        released = subject;
        return true;
    }

    void start() { QTest::mouseClick(form->Command6, Qt::LeftButton); }
};

}  // namespace

class TestRealProtectedRound : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        TRV_REQUIRE_REAL_SERVERS();
        TRV_REQUIRE_TLS_SERVERS();
    }
    void init() {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }
    void aWholeRound_data();
    void aWholeRound();
    void refusedUntilTrustedInTheMailSettings();
};

void TestRealProtectedRound::aWholeRound_data() {
    using T = TransportSettings;
    QTest::addColumn<int>("smtpProtection");
    QTest::addColumn<int>("smtpPort");   // 0: the usual one
    QTest::addColumn<int>("login");
    QTest::addColumn<int>("pop3Protection");
    QTest::newRow("587 STARTTLS as the POP3 account, fetched over 995")
        << int(T::kStartTls) << 0 << int(T::kPop3Account) << int(T::kTls);
    QTest::newRow("465 TLS with a login of its own, fetched after STLS")
        << int(T::kTls) << 0 << int(T::kOwnLogin) << int(T::kStartTls);
    QTest::newRow("2587 STARTTLS where only AUTH LOGIN is offered, fetched over 995")
        << int(T::kStartTls) << int(RealServers::submissionLoginOnlyPort) << int(T::kPop3Account) << int(T::kTls);
}

// The round plays to its end as it does on the plain ports: every phone gets
// its mails with its own mark, rank and score, and the results are stored.
void TestRealProtectedRound::aWholeRound() {
    QFETCH(int, smtpProtection);
    QFETCH(int, smtpPort);
    QFETCH(int, login);
    QFETCH(int, pop3Protection);
    RoundRig rig;
    QVERIFY(rig.round.writeTo(rig.world.files));
    TransportSettings t;
    t.SmtpProtection = std::int16_t(smtpProtection);
    t.SmtpPort = storedPort(smtpPort);
    t.SmtpLoginKind = std::int16_t(login);
    t.SmtpUser = "hanako@ezweb.ne.jp";   // any mailbox of the servers may log in
    t.SmtpPassword = EncodeBase64Text(RealServers::password);
    t.Pop3Protection = std::int16_t(pop3Protection);
    trustCertificate(t, RealServers::host, RealServers::serverFingerprint());
    QVERIFY(writeRecordFile(rig.world.files, "trv1x.dat", t));
    const qint64 logFrom = dovecotLogSize();

    rig.start();
    QCOMPARE(rig.form->Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(rig.world.messageBox.texts(), QStringList());
    rig.phones.setAwake(true);
    const QString closing = fromSjis(rig.round.closingMail().Subject);
    for (const QString& address : rig.joined) QTRY_VERIFY_WITH_TIMEOUT(rig.phones.hasHandled(address, closing), 15000);
    QCOMPARE(rig.phones.errors(), QStringList());

    // What each phone got, and that it came in through a login over TLS.
    const QList<QStringList> told = {
        {u("問題1:○"), u("順位:1位"), u("合計得点:10/30"), u("問題2:×"), u("順位:2位"), u("合計得点:10/30")},
        {u("問題1:×"), u("順位:2位"), u("合計得点:0/30"), u("問題2:○"), u("順位:1位"), u("合計得点:20/30")},
    };
    for (int i = 0; i < players().size(); ++i) {
        const QList<PhoneMail> mails = rig.phones.received(players()[i].address);
        QCOMPARE(mails.size(), i < 2 ? 4 : 1);
        for (const PhoneMail& m : mails) QVERIFY2(m.raw.contains("with ESMTPSA"), m.raw.left(600).constData());
        if (i == 2) continue;
        for (int k = 0; k < 2; ++k)
            for (int line = 0; line < 3; ++line) {
                const QString body = mails[k + 2].body;
                QVERIFY2(body.contains(told[i][k * 3 + line] + "\n"), qPrintable(body));
            }
    }

    // The operator's fetches (invitation and two questions) all logged in
    // over TLS.
    const QStringList logins = operatorLogins(logFrom);
    QCOMPARE(logins.size(), 3);
    for (const QString& line : logins) QVERIFY2(line.contains(", TLS"), qPrintable(line));

    const RawResults results(rig.world.readFile("trv71.dat"));
    QVERIFY(!results.overrun);
    QCOMPARE(results.participants, 2);
    QCOMPARE(results.points.mid(0, 2), (QList<int>{10, 20}));
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(2));
    QVERIFY(RealServers::messages(RealServers::operatorAddress).isEmpty());
}

// A round started before the certificate is trusted invites nobody, says
// why with the fingerprint, and leaves the round to be played; the operator
// trusts the fingerprint in the mail settings and the next START plays it.
void TestRealProtectedRound::refusedUntilTrustedInTheMailSettings() {
    RoundRig rig;
    QVERIFY(rig.round.writeTo(rig.world.files));
    TransportSettings t;
    t.SmtpProtection = TransportSettings::kStartTls;
    t.SmtpLoginKind = TransportSettings::kPop3Account;
    t.Pop3Protection = TransportSettings::kTls;
    QVERIFY(writeRecordFile(rig.world.files, "trv1x.dat", t));

    rig.expectMail = false;
    rig.start();
    QCOMPARE(rig.form->Text7->text(), u("参加者がいない為終了しました。"));
    // Sending and fetching each said so once, with what the operator can trust.
    const QStringList boxes = rig.world.messageBox.texts();
    QCOMPARE(boxes.size(), 2);
    for (const QString& box : boxes) {
        QVERIFY2(box.startsWith(u("証明書を信頼できません: 127.0.0.1 : ")), qPrintable(box));
        QVERIFY2(box.contains("SHA-256 " + fingerprint()), qPrintable(box));
    }
    QTest::qWait(300);
    for (const Player& p : players()) QVERIFY(RealServers::messages(p.address).isEmpty());
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(1));

    {
        Form2 settings(rig.world.module1);
        settings.show();
        ConnectionGroup& c = *settings.Connection;
        QVERIFY2(c.refusedCertificate->text().contains("SHA-256 " + fingerprint()), qPrintable(c.refusedCertificate->text()));
        QVERIFY(c.trustCertificate->isEnabled());
        QTest::mouseClick(c.trustCertificate, Qt::LeftButton);
        QTest::mouseClick(settings.Command1, Qt::LeftButton);
    }

    rig.expectMail = true;
    rig.world.messageBox.clear();
    rig.start();
    QCOMPARE(rig.form->Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(rig.world.messageBox.texts(), QStringList());
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(2));
    const RawResults results(rig.world.readFile("trv71.dat"));
    QCOMPARE(results.participants, 2);
    QCOMPARE(results.points.mid(0, 2), (QList<int>{10, 20}));
}

QTEST_MAIN(TestRealProtectedRound)
#include "tst_real_protected_round.moc"
