#include <QtTest>

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "model/RecordFiles.h"
#include "support/TestWorld.h"

// The stored connection settings as the sessions' jobs see them, and the
// file that keeps them beside an older folder's trv1.dat.

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void jobsFollowTheSettings_data();
    void jobsFollowTheSettings();
    void trustedCertificates();
    void fileFromAnOlderFolder();
};

void TestTransport::jobsFollowTheSettings_data()
{
    QTest::addColumn<TransportSettings>("settings");
    QTest::addColumn<int>("smtpPort");
    QTest::addColumn<int>("smtpProtection");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<int>("pop3Port");
    QTest::addColumn<int>("pop3Protection");
    QTest::addColumn<QByteArray>("greeting");   // HELO/EHLO name, the machine being quizhost.example

    using S = Protection;
    using T = TransportSettings;
    using P = Protection;
    T startTls;
    startTls.SmtpProtection = stored(Protection::StartTls);
    startTls.SmtpLoginKind = stored(LoginKind::Pop3Account);
    startTls.Pop3Protection = stored(Protection::StartTls);
    T implicit;
    implicit.SmtpProtection = stored(Protection::Tls);
    implicit.SmtpLoginKind = stored(LoginKind::Own);
    implicit.SmtpUser = "sender@isp.example";
    implicit.SmtpPassword = EncodeBase64Text("own secret");
    implicit.Pop3Protection = stored(Protection::Tls);
    T ported = implicit;
    ported.SmtpPort = 2525;
    ported.Pop3Port = 1995;
    ported.GreetingName = "mx-out.isp.example";
    // Ports above 32767 fill the 16 bits a number is stored in.
    T high = ported;
    high.SmtpPort = storedPort(50025);
    high.Pop3Port = storedPort(65535);
    // Values the program never writes, as a damaged file may hold.
    T damaged;
    damaged.SmtpProtection = 7;
    damaged.SmtpLoginKind = 9;
    damaged.SmtpUser = "x";
    damaged.Pop3Protection = -1;
    T broken;
    broken.SmtpLoginKind = stored(LoginKind::Own);
    broken.SmtpUser = "x";
    broken.SmtpPassword = "*not base64*";

    QTest::newRow("none stored: as always") << T{} << 25 << int(S::None) << QByteArray() << QByteArray() << 110
                                            << int(P::None) << QByteArray("quizhost.example");
    QTest::newRow("STARTTLS with the POP3 account, STLS")
        << startTls << 587 << int(S::StartTls) << QByteArray("quiz@isp.example") << QByteArray("pop secret") << 110
        << int(P::StartTls) << QByteArray("quizhost.example");
    QTest::newRow("TLS with a login of its own") << implicit << 465 << int(S::Tls) << QByteArray("sender@isp.example")
                                                 << QByteArray("own secret") << 995 << int(P::Tls) << QByteArray("quizhost.example");
    QTest::newRow("ports and greeting of its own") << ported << 2525 << int(S::Tls) << QByteArray("sender@isp.example")
                                      << QByteArray("own secret") << 1995 << int(P::Tls) << QByteArray("mx-out.isp.example");
    QTest::newRow("ports above 32767") << high << 50025 << int(S::Tls) << QByteArray("sender@isp.example")
                                       << QByteArray("own secret") << 65535 << int(P::Tls) << QByteArray("mx-out.isp.example");
    QTest::newRow("unknown values: TLS, no login") << damaged << 465 << int(S::Tls) << QByteArray() << QByteArray()
                                                   << 995 << int(P::Tls) << QByteArray("quizhost.example");
    QTest::newRow("a password that does not decode") << broken << 25 << int(S::None) << QByteArray("x") << QByteArray()
                                                     << 110 << int(P::None) << QByteArray("quizhost.example");
}

void TestTransport::jobsFollowTheSettings()
{
    QFETCH(TransportSettings, settings);
    QFETCH(int, smtpPort);
    QFETCH(int, smtpProtection);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(int, pop3Port);
    QFETCH(int, pop3Protection);
    QFETCH(QByteArray, greeting);
    MailSettings account;
    account.AccountId = "quiz@isp.example";
    account.Password = EncodeBase64Text("pop secret");
    SmtpJob smtp;
    smtp.server = "smtp.isp.example";
    applySmtpTransport(smtp, settings, account, "quizhost.example");
    QCOMPARE(smtp.port, smtpPort);
    QCOMPARE(QByteArray::fromStdString(smtp.greetingName), greeting);
    QCOMPARE(int(smtp.protection), smtpProtection);
    QCOMPARE(QByteArray::fromStdString(smtp.authUser), user);
    QCOMPARE(QByteArray::fromStdString(smtp.authPassword), password);
    // Only a job that neither protects nor logs in keeps the old HELO dialogue.
    QCOMPARE(smtp.speaksEsmtp(), smtpProtection != int(Protection::None) || !user.isEmpty());
    Pop3Job pop3;
    applyPop3Transport(pop3, settings);
    QCOMPARE(pop3.port, pop3Port);
    QCOMPARE(int(pop3.protection), pop3Protection);
}

// Trust is per server; trusting again changes nothing; with every slot
// taken the oldest gives way.
void TestTransport::trustedCertificates()
{
    TransportSettings t;
    QVERIFY(trustCertificate(t, "smtp.isp.example", "AA:01"));
    QVERIFY(trustCertificate(t, "pop.isp.example", "BB:02"));
    QVERIFY(!trustCertificate(t, "smtp.isp.example", "AA:01"));
    QCOMPARE(trustedFingerprintsFor(t, "smtp.isp.example"), std::vector<std::string>{"AA:01"});
    QCOMPARE(trustedFingerprintsFor(t, "other.example"), std::vector<std::string>{});
    for (int i = 0; i < kTrustedCertificateSlots; ++i) QVERIFY(trustCertificate(t, "mx.example", "CC:" + std::to_string(i)));
    QCOMPARE(trustedFingerprintsFor(t, "smtp.isp.example"), std::vector<std::string>{});
    QCOMPARE(trustedFingerprintsFor(t, "pop.isp.example"), std::vector<std::string>{});
    QCOMPARE(trustedFingerprintsFor(t, "mx.example").size(), std::size_t(kTrustedCertificateSlots));

    SmtpJob job;
    job.server = "mx.example";
    applySmtpTransport(job, t, MailSettings{});
    QCOMPARE(job.trustedFingerprints.front(), std::string("CC:0"));
}

// A folder from before protected connections has no trv1x.dat: the settings
// read as the plain connection of old, and trv1.dat keeps its layout. What is
// stored comes back whole.
void TestTransport::fileFromAnOlderFolder()
{
    TestWorld world;
    TransportSettings read;
    read.SmtpPort = 99;
    QVERIFY(!readRecordFile(world.files, FileNames::kTransport, read, DataFiles::Mode::ReadOnly));
    QVERIFY(!world.exists(FileNames::kTransport));   // reading never creates it

    TransportSettings stored;
    stored.SmtpPort = 587;
    stored.SmtpProtection = ::stored(Protection::StartTls);
    stored.SmtpLoginKind = ::stored(LoginKind::Own);
    stored.SmtpUser = "\x8e\x52\x93\x63";   // 山田 in Shift_JIS
    stored.SmtpPassword = EncodeBase64Text("pw");
    stored.Pop3Port = 995;
    stored.Pop3Protection = ::stored(Protection::Tls);
    trustCertificate(stored, "mail.isp.example", "AB:CD:EF");
    stored.GreetingName = "quizhost.example";
    stored.PasswordStore = ::stored(PasswordPlace::Files);
    stored.MessagesPerMinute = 60;
    stored.DailyRecipientLimit = 500;
    QVERIFY(writeRecordFile(world.files, FileNames::kTransport, stored));
    TransportSettings back;
    QVERIFY(readRecordFile(world.files, FileNames::kTransport, back, DataFiles::Mode::ReadOnly));
    QVERIFY(back == stored);

    // Written before the limits were stored: no pace, no daily limit.
    const std::string whole = encodeRecord(stored);
    world.writeFile(FileNames::kTransport, QByteArray(whole.data(), qsizetype(whole.size()) - 4));
    QVERIFY(readRecordFile(world.files, FileNames::kTransport, back, DataFiles::Mode::ReadOnly));
    stored.MessagesPerMinute = 0;
    stored.DailyRecipientLimit = 0;
    QVERIFY(back == stored);

    // Written before the password place was stored, the file ends after the
    // greeting name: everything else reads as written, the place as the
    // keyring, where such a folder's passwords go at its next save.
    world.writeFile(FileNames::kTransport, QByteArray(whole.data(), qsizetype(whole.size()) - 6));
    QVERIFY(readRecordFile(world.files, FileNames::kTransport, back, DataFiles::Mode::ReadOnly));
    stored.PasswordStore = ::stored(PasswordPlace::Keyring);
    QVERIFY(back == stored);

    // An empty file (a save cut short) reads as the plain connection.
    world.writeFile(FileNames::kTransport, QByteArray());
    QVERIFY(readRecordFile(world.files, FileNames::kTransport, back, DataFiles::Mode::ReadOnly));
    QVERIFY(back == TransportSettings{});
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
