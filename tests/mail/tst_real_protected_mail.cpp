// A round's mail to and from providers of today, played by the private
// Postfix and Dovecot: submission with STARTTLS and a login, SMTP over TLS,
// POP3 with STLS and over TLS. The servers' certificate comes from a CA
// nobody trusts, so every connection here fails until its fingerprint is
// trusted, as the operator would trust it in the mail settings.
#include <QtTest>

#include "codec/Base64.h"
#include "mail/OutgoingMessage.h"
#include "run/MailJobs.h"
#include "mail/Transport.h"
#include "run/Scoring.h"
#include "demo/PreparedRound.h"
#include "support/ServerChecks.h"
#include "support/SessionRigs.h"

namespace {

// The operator's account on the test servers, and a round of one player:
// its invitation.
OutgoingMail setUpRound(Module1& m)
{
    m.mailSettings = PreparedRound().mailSettings();
    m.quizRun.ListNames[0] = sjis("山田");
    m.quizRun.ListAddresses[0] = "taro@docomo.ne.jp";
    m.quizRun.AddressLastIndex = 0;
    return {sjis("第1回クイズ参加確認"), sjis("ご参加の方は返信して下さい。"), false, AddressListRecipients(m.quizRun)};
}

}  // namespace

class TestRealProtectedMail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_TLS_SERVERS(); }
    void init()
    {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }
    void sending_data();
    void sending();
    void fetching_data();
    void fetching();

private:
    QtClock clock;   // mail is dated by it
    Platform platform = [this] {
        Platform p;
        p.clock = &clock;
        return p;
    }();
};

void TestRealProtectedMail::sending_data()
{
    QTest::addColumn<int>("protection");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("login");
    QTest::addColumn<QByteArray>("password");   // of an own login
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QByteArray>("status");     // of a failed phase: how it begins
    QTest::addColumn<int>("failure");           // SessionFailure::Kind, for the owner to tell the operator
    using K = SessionFailure::Kind;
    QTest::newRow("587 STARTTLS, AUTH PLAIN as the POP3 account")
        << int(stored(Protection::StartTls)) << 587 << int(stored(LoginKind::Pop3Account)) << QByteArray() << true << QByteArray() << int(K::None);
    QTest::newRow("2587 STARTTLS, only AUTH LOGIN offered")
        << int(stored(Protection::StartTls)) << 2587 << int(stored(LoginKind::Pop3Account)) << QByteArray() << true << QByteArray() << int(K::None);
    QTest::newRow("465 TLS, a login of its own")
        << int(stored(Protection::Tls)) << 465 << int(stored(LoginKind::Own)) << QByteArray("trivorn") << true << QByteArray() << int(K::None);
    QTest::newRow("wrong password: the server's refusal")
        << int(stored(Protection::StartTls)) << 587 << int(stored(LoginKind::Own)) << QByteArray("wrong") << true
        << QByteArray("ERR : 535 5.7.8 Error: authentication failed") << int(K::LoginRefused);
    QTest::newRow("certificate not trusted")
        << int(stored(Protection::StartTls)) << 587 << int(stored(LoginKind::Pop3Account)) << QByteArray() << false
        << QByteArray("127.0.0.1の証明書を信頼できません: ") << int(K::Certificate);
    QTest::newRow("STARTTLS asked of a server without it")
        << int(stored(Protection::StartTls)) << 25 << int(stored(LoginKind::None)) << QByteArray() << true
        << QByteArray("送信メールサーバーがSTARTTLSに対応していないため送信を中止します。") << int(K::NoStartTls);
}

// The invitation reaches the player through a protected, logged-in
// submission; a refusal ends the phase with what the server or the check said.
void TestRealProtectedMail::sending()
{
    QFETCH(int, protection);
    QFETCH(int, port);
    QFETCH(int, login);
    QFETCH(QByteArray, password);
    QFETCH(bool, trusted);
    QFETCH(QByteArray, status);
    QFETCH(int, failure);
    Module1 m(platform);
    const OutgoingMail invitation = setUpRound(m);
    TransportSettings t;
    t.SmtpProtection = std::int16_t(protection);
    t.SmtpPort = std::int16_t(port);
    t.SmtpLoginKind = std::int16_t(login);
    t.SmtpUser = "hanako@ezweb.ne.jp";
    t.SmtpPassword = EncodeBase64Text(password.toStdString());
    if (trusted) trustCertificate(t, RealServers::host, RealServers::serverFingerprint());

    QtSessionRig<SmtpSession> rig;
    SmtpJob job = makeRoundSmtpJob(m, invitation, CompleteMail);
    applySmtpTransport(job, t, m.mailSettings);
    rig.session.start(job);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 30000);
    QCOMPARE(int(rig.session.failure().kind), failure);

    if (status.isEmpty()) {
        QVERIFY2(rig.view.messages.empty(), rig.view.messages.empty() ? "" : rig.view.messages.front().c_str());
        QCOMPARE(rig.view.lastStatus(), sjis("送信メールサバー接続終了"));
        QCOMPARE(rig.session.acceptedMessages(), 1);
        QVERIFY(RealServers::waitForMessages("taro@docomo.ne.jp", 1));
        // Postfix notes a message that came over TLS after a login.
        QVERIFY(RealServers::messages("taro@docomo.ne.jp").value(0).contains("with ESMTPSA"));
        return;
    }
    const std::string begins = sjis(status.constData());
    bool shown = false;
    for (const auto& s : rig.view.statuses) shown |= s.rfind(begins, 0) == 0;
    QVERIFY2(shown, rig.view.lastStatus().c_str());
    QCOMPARE(rig.session.acceptedMessages(), 0);
    if (!trusted) {
        // Once, with the fingerprint the operator can trust in the settings.
        QCOMPARE(rig.view.refusedCertificates, std::vector<std::string>{std::string(RealServers::host) + " " + RealServers::serverFingerprint()});
        QCOMPARE(rig.view.messages.size(), std::size_t(1));
        QVERIFY(rig.view.messages[0].find(RealServers::serverFingerprint()) != std::string::npos);
    }
    QTest::qWait(300);
    QCOMPARE(RealServers::messages("taro@docomo.ne.jp").size(), 0);
}

void TestRealProtectedMail::fetching_data()
{
    QTest::addColumn<int>("protection");
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("failure");   // SessionFailure::Kind
    using K = SessionFailure::Kind;
    QTest::newRow("995 TLS") << int(stored(Protection::Tls)) << true << QByteArray("trivorn") << int(K::None);
    QTest::newRow("110 STLS") << int(stored(Protection::StartTls)) << true << QByteArray("trivorn") << int(K::None);
    QTest::newRow("995 TLS, certificate not trusted") << int(stored(Protection::Tls)) << false << QByteArray("trivorn")
                                                      << int(K::Certificate);
    // Not taken for a mailbox without replies.
    QTest::newRow("995 TLS, wrong password") << int(stored(Protection::Tls)) << true << QByteArray("wrong") << int(K::LoginRefused);
}

// A player's reply is fetched, judged and deleted over TLS; with the
// certificate refused nothing is read and the reply stays on the server.
void TestRealProtectedMail::fetching()
{
    QFETCH(int, protection);
    QFETCH(bool, trusted);
    QFETCH(QByteArray, password);
    QFETCH(int, failure);
    Module1 m(platform);
    setUpRound(m);
    m.mailSettings.Password = EncodeBase64Text(password.toStdString());
    const QByteArray reply = "From: taro@docomo.ne.jp\r\nTo: quiz@trivorn.test\r\nSubject: Re:join\r\n\r\njoin\r\n";
    QVERIFY(RealServers::sendRawMail("taro@docomo.ne.jp", {RealServers::operatorAddress}, reply).accepted);
    QVERIFY(RealServers::waitForMessages(RealServers::operatorAddress, 1));
    TransportSettings t;
    t.Pop3Protection = std::int16_t(protection);
    if (trusted) trustCertificate(t, RealServers::host, RealServers::serverFingerprint());

    QtSessionRig<Pop3Session> rig;
    int seen = 0;
    Pop3Job job = makeRoundPop3Job(m, [&](const std::string& text) {
        ++seen;
        return text.find("Subject: Re:join") != std::string::npos;
    });
    applyPop3Transport(job, t);
    rig.session.start(job);
    QTRY_COMPARE_WITH_TIMEOUT(rig.view.ended, 1, 30000);
    const bool read = failure == int(SessionFailure::Kind::None);
    QCOMPARE(int(rig.session.failure().kind), failure);
    QCOMPARE(rig.session.loggedIn(), read);
    QCOMPARE(seen, read ? 1 : 0);
    QCOMPARE(rig.view.refusedCertificates.size(), std::size_t(trusted ? 0 : 1));
    if (trusted) QCOMPARE(rig.view.lastStatus(), sjis("受信メールサバー接続終了"));
    QTRY_COMPARE(RealServers::messages(RealServers::operatorAddress).size(), qsizetype(read ? 0 : 1));
}

QTEST_MAIN(TestRealProtectedMail)
#include "tst_real_protected_mail.moc"
