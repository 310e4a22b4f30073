// START on the main window with the connection of a provider of today: the
// round's mails go out through the suite's Postfix on the submission port
// after STARTTLS and a login (or over TLS from the first byte), and the
// replies come in from Dovecot over TLS or after STLS, while the players'
// simulated phones use the plain ports. The servers' certificate comes from a
// CA nobody trusts, so the round only gets through once its fingerprint is
// trusted, and a round started before that invites nobody.
//
// The same round also goes to the servers as to a provider far away: through
// relays that hold every byte back by half a round trip each way.
//
// Three players: A joins and answers 1 then 2, B joins and answers 2 then 3,
// C never answers. Question 1 is right with 1 (10 points), question 2 with 3
// (20 points).
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <chrono>
#include <memory>

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "model/RecordFiles.h"
#include "demo/PreparedRound.h"
#include "support/RawRecord.h"
#include "support/ServerChecks.h"
#include "demo/SimulatedPhones.h"
#include "support/LatencyRelay.h"
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
    void aLoginRefused_data();
    void aLoginRefused();
    void oneBadAddressStopsNoOne();
};

void TestRealProtectedRound::aWholeRound_data() {
    QTest::addColumn<int>("smtpProtection");
    QTest::addColumn<int>("smtpPort");   // 0: the usual one
    QTest::addColumn<int>("login");
    QTest::addColumn<int>("pop3Protection");
    QTest::addColumn<int>("roundTripMs");   // 0: straight to the servers, else through relays
    QTest::newRow("587 STARTTLS as the POP3 account, fetched over 995")
        << int(stored(Protection::StartTls)) << 0 << int(stored(LoginKind::Pop3Account)) << int(stored(Protection::Tls)) << 0;
    QTest::newRow("465 TLS with a login of its own, fetched after STLS")
        << int(stored(Protection::Tls)) << 0 << int(stored(LoginKind::Own)) << int(stored(Protection::StartTls)) << 0;
    QTest::newRow("2587 STARTTLS where only AUTH LOGIN is offered, fetched over 995")
        << int(stored(Protection::StartTls)) << int(RealServers::submissionLoginOnlyPort) << int(stored(LoginKind::Pop3Account)) << int(stored(Protection::Tls)) << 0;
    QTest::newRow("587 STARTTLS and 995, a provider 50 ms away")
        << int(stored(Protection::StartTls)) << 0 << int(stored(LoginKind::Pop3Account)) << int(stored(Protection::Tls)) << 50;
}

// The round plays to its end as it does on the plain ports: every phone gets
// its mails with its own mark, rank and score, and the results are stored.
void TestRealProtectedRound::aWholeRound() {
    QFETCH(int, smtpProtection);
    QFETCH(int, smtpPort);
    QFETCH(int, login);
    QFETCH(int, pop3Protection);
    QFETCH(int, roundTripMs);
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
    // Far away, the settings name the relays' ports; the certificate is the
    // servers' own, whose address the relays share.
    std::unique_ptr<LatencyRelay> smtpRelay, pop3Relay;
    if (roundTripMs > 0) {
        const std::chrono::milliseconds rtt(roundTripMs);
        const int serverSmtpPort = smtpPort ? smtpPort : usualSmtpPort(protectionOf(std::int16_t(smtpProtection)));
        smtpRelay = std::make_unique<LatencyRelay>(RealServers::host, quint16(serverSmtpPort), rtt);
        pop3Relay = std::make_unique<LatencyRelay>(
            RealServers::host, quint16(usualPop3Port(protectionOf(std::int16_t(pop3Protection)))), rtt);
        QString error;
        QVERIFY2(smtpRelay->listen(&error), qPrintable(error));
        QVERIFY2(pop3Relay->listen(&error), qPrintable(error));
        t.SmtpPort = storedPort(smtpRelay->port());
        t.Pop3Port = storedPort(pop3Relay->port());
    }
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
    // Far away, every session went the long way: the invitation, two
    // questions and the closing mail, and the three fetches.
    if (smtpRelay) {
        QCOMPARE(smtpRelay->connections(), 4);
        QCOMPARE(pop3Relay->connections(), logins.size());
    }

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
    t.SmtpProtection = stored(Protection::StartTls);
    t.SmtpLoginKind = stored(LoginKind::Pop3Account);
    t.Pop3Protection = stored(Protection::Tls);
    QVERIFY(writeRecordFile(rig.world.files, "trv1x.dat", t));

    rig.expectMail = false;
    rig.start();
    // The invitation cannot go out: the round does not start, and one
    // message says what failed, why, and where to trust the certificate.
    const QString said = rig.world.messageBox.texts().value(0);
    QCOMPARE(rig.world.messageBox.texts().size(), 1);
    QVERIFY2(said.startsWith(u("参加確認のメールを送信できなかったため、クイズを始めませんでした。"
                               "127.0.0.1の証明書を信頼できません: 発行者を確かめられません（")), qPrintable(said));
    QVERIFY2(said.contains("SHA-256 " + fingerprint()), qPrintable(said));
    QVERIFY2(said.endsWith(u("メールの設定の「接続」で「この証明書を信頼する」を押して下さい。")), qPrintable(said));
    QCOMPARE(rig.form->Text7->text(), said);
    QVERIFY(rig.form->Command6->isEnabled());
    QTest::qWait(300);
    for (const Player& p : players()) QVERIFY(RealServers::messages(p.address).isEmpty());
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(1));
    QVERIFY(!rig.world.exists("trv71.dat"));

    {
        Form2 settings(rig.world.module1);
        settings.show();
        ConnectionGroup& c = *settings.Connection;
        const QString shown = c.refusedCertificate->toPlainText();
        QVERIFY2(shown.contains("SHA-256 " + fingerprint()), qPrintable(shown));
        QVERIFY2(shown.contains(u("発行者を確かめられません")), qPrintable(shown));
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

// A wrong password is said as such. For sending, the invitation never
// leaves and the round does not start; for fetching, the invitation went out
// but its replies cannot be read, and the round ends saying so rather than
// "nobody joined". Nothing is stored either way, and START is ready again.
void TestRealProtectedRound::aLoginRefused_data() {
    QTest::addColumn<bool>("sending");
    QTest::addColumn<QString>("begins");   // what failed, and why up to the server's words
    QTest::addColumn<QString>("ends");     // what to do
    QTest::newRow("587, wrong sending password")
        << true << u("参加確認のメールを送信できなかったため、クイズを始めませんでした。送信メールサーバーがログインを拒否しました"
                     "（535 5.7.8 Error: authentication failed")
        << u("）。メールの設定の「接続」で、送信の認証と送信のアカウント名・パスワードを確かめて下さい。");
    QTest::newRow("995, wrong receiving password")
        << false << u("参加確認の返信を受信できなかったため、クイズを終了しました。受信メールサーバーがログインを拒否しました"
                      "（-ERR [AUTH] Authentication failed.")
        << u("）。メールの設定で「アカウント名」と「パスワード」を確かめて下さい。");
}

void TestRealProtectedRound::aLoginRefused() {
    QFETCH(bool, sending);
    QFETCH(QString, begins);
    QFETCH(QString, ends);
    RoundRig rig;
    rig.round.password = "wrong";   // the POP3 account's, and the sending login's where it is the same
    QVERIFY(rig.round.writeTo(rig.world.files));
    TransportSettings t;
    t.SmtpProtection = stored(Protection::StartTls);
    t.SmtpLoginKind = sending ? stored(LoginKind::Pop3Account) : stored(LoginKind::Own);
    t.SmtpUser = "hanako@ezweb.ne.jp";
    t.SmtpPassword = EncodeBase64Text(RealServers::password);
    t.Pop3Protection = stored(Protection::Tls);
    trustCertificate(t, RealServers::host, RealServers::serverFingerprint());
    QVERIFY(writeRecordFile(rig.world.files, "trv1x.dat", t));
    rig.expectMail = !sending;

    rig.start();
    QCOMPARE(rig.world.messageBox.texts().size(), 1);
    const QString said = rig.world.messageBox.texts()[0];
    QVERIFY2(said.startsWith(begins) && said.endsWith(ends), qPrintable(said));
    QCOMPARE(rig.form->Text7->text(), said);
    QVERIFY(rig.form->Command6->isEnabled());
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(1));
    QVERIFY(!rig.world.exists("trv71.dat"));
    QTest::qWait(300);
    // Sent, the invitation reached everybody; the replies stay to be read.
    for (const Player& p : players()) QCOMPARE(rig.phones.received(p.address).size(), sending ? 0 : 1);
    if (!sending) QCOMPARE(RealServers::messages(RealServers::operatorAddress).size(), rig.joined.size());
}

// An address the server refuses (a mailbox it does not have) costs its owner
// every mail of the round and nobody else anything: the others are invited,
// asked and told their results as always. Each refusal is named on the main
// window and written, with the server's reply, to the round's delivery log.
void TestRealProtectedRound::oneBadAddressStopsNoOne() {
    RoundRig rig;
    const QString ghost = "ghost@docomo.ne.jp";
    rig.round.addressBook.insert(1, PreparedRound::Entry{u("幽霊"), ghost, true});
    QVERIFY(rig.round.writeTo(rig.world.files));
    // Its owner answers the invitation nevertheless (from another machine),
    // so it is refused in the per-player mailings as well.
    const QString invitation = fromSjis(rig.round.invitation().Subject);
    bool answered = false;
    const auto gate = rig.clock.gate;
    rig.clock.gate = [&] {
        if (!answered && rig.form->Text7->text().startsWith(invitation + u("の返信待ち"))) {
            answered = true;
            const QByteArray reply = "From: " + ghost.toLatin1() + "\r\nTo: quiz@trivorn.test\r\nSubject: " +
                                     encodedWordSubject(invitation) + "\r\n\r\njoin\r\n";
            RealServers::sendRawMail(ghost.toLatin1(), {RealServers::operatorAddress}, reply);
        }
        return gate();
    };

    rig.start();
    QCOMPARE(rig.form->Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(rig.world.messageBox.texts(), QStringList());
    QCOMPARE(rig.form->Undelivered->text(), u("送信できなかったアドレス: 4件"));
    QVERIFY(rig.form->Undelivered->isVisible());
    rig.phones.setAwake(true);
    const QString closing = fromSjis(rig.round.closingMail().Subject);
    for (const QString& address : rig.joined) QTRY_VERIFY_WITH_TIMEOUT(rig.phones.hasHandled(address, closing), 15000);
    for (int i = 0; i < players().size(); ++i) QCOMPARE(rig.phones.received(players()[i].address).size(), i < 2 ? 4 : 1);

    // Invitation, two questions and the closing mail: one line each.
    const QStringList log = QString::fromUtf8(rig.world.readFile("delivery1.log")).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(log.size(), 4);
    const QStringList phases = {u("参加確認"), u("問題1"), u("問題2"), u("クイズ終了")};
    for (int i = 0; i < log.size(); ++i) {
        const QStringList f = log[i].split('\t');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], QString::fromStdString(rig.clock.localDateTime()));
        QCOMPARE(f.mid(1, 3), (QStringList{phases[i], ghost, "RCPT TO"}));
        QVERIFY2(f[4].startsWith("550 5.1.1 <" + ghost + ">"), qPrintable(f[4]));
    }
    const RawResults results(rig.world.readFile("trv71.dat"));
    QCOMPARE(results.participants, 3);
    QMap<QByteArray, int> points;
    for (int p = 0; p < results.participants; ++p) points[results.addresses[p]] = results.points[p];
    QCOMPARE(points, (QMap<QByteArray, int>{{"taro@docomo.ne.jp", 10}, {"hanako@ezweb.ne.jp", 20}, {ghost.toLatin1(), 0}}));
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(2));
}

QTEST_MAIN(TestRealProtectedRound)
#include "tst_real_protected_round.moc"
