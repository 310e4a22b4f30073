// The mail passwords in a real GNOME Keyring: the test starts a session bus
// and a keyring daemon of its own, in a temporary home, so the machine's own
// keyring is never touched; the mail settings window, the round's set-up and
// QtKeyring meet it as they would a desktop's. Run once more without any
// bus, the window offers no keyring and the files keep the passwords.
#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "codec/Base64.h"
#include "mail/StoredPasswords.h"
#include "model/RecordFiles.h"
#include "platform/qt/QtKeyring.h"
#include "run/RoundSetup.h"
#include "run/RunTexts.h"
#include "support/TestWorld.h"
#include "ui/ConnectionGroup.h"
#include "ui/Form2.h"

namespace {

// Set in the copy of this test that runs without a session bus.
constexpr char kNoBus[] = "TRV_KEYRING_TEST_NO_BUS";
// Before the private bus is up, nothing can reach any bus, the machine's least.
constexpr char kNowhere[] = "unix:path=/nonexistent/trivorn-keyring-test";

const SjisText kPop3Key = "pop3 quiz@pop.trivorn.test";
const SjisText kSmtpKey = "smtp sender@smtp.trivorn.test";

// A folder's settings with a sending login of its own, the passwords in the
// files or not.
void writeFolder(TestWorld& world, const SjisText& account, bool passwordsInFiles, bool oldLayout) {
    MailSettings s{"pop.trivorn.test", "smtp.trivorn.test", account, {}, "quiz@trivorn.test", sjis("出題者")};
    TransportSettings t;
    t.SmtpLoginKind = stored(LoginKind::Own);
    t.SmtpUser = "sender";
    if (passwordsInFiles) {
        s.Password = EncodeBase64Text(sjis("受信パス"));
        t.SmtpPassword = EncodeBase64Text(sjis("送信パス"));
    }
    QVERIFY(writeRecordFile(world.files, FileNames::kMailSettings, s));
    std::string bytes = encodeRecord(t);
    // A file of a copy from before the password place: it ends before it.
    if (oldLayout) bytes.resize(bytes.size() - 2);
    world.writeFile(FileNames::kTransport, QByteArray::fromStdString(bytes));
}

struct InFiles {
    SjisText pop3, smtp;
    std::int16_t place;
};
InFiles inFiles(TestWorld& world) {
    MailSettings s;
    TransportSettings t;
    readRecordFile(world.files, FileNames::kMailSettings, s, DataFiles::Mode::ReadOnly);
    readRecordFile(world.files, FileNames::kTransport, t, DataFiles::Mode::ReadOnly);
    return {s.Password, t.SmtpPassword, t.PasswordStore};
}

void endProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    ::kill(pid_t(p.processId()), SIGCONT);   // a frozen one could not end
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

}  // namespace

class TestKeyring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void savingPutsThePasswordsInTheirPlace_data();
    void savingPutsThePasswordsInTheirPlace();
    void withoutABus();
    void aKeyringThatDoesNotAnswer();

private:
    bool noBus() const { return qEnvironmentVariableIsSet(kNoBus); }

    QTemporaryDir home_;
    QProcess bus_, daemon_;
};

void TestKeyring::initTestCase() {
    if (noBus()) return;
    for (const char* tool : {"dbus-daemon", "gnome-keyring-daemon"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QFAIL(qPrintable(QString("%1 is not installed (bash scripts/deps.sh --mail)").arg(tool)));

    // The daemons keep everything in the temporary home.
    QVERIFY(home_.isValid());
    for (const char* folder : {"data", "config", "run"}) QVERIFY(QDir(home_.path()).mkpath(folder));
    QVERIFY(QFile::setPermissions(home_.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home_.path());
    env.insert("XDG_DATA_HOME", home_.filePath("data"));
    env.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home_.filePath("run"));

    bus_.setProcessEnvironment(env);
    bus_.start("dbus-daemon", {"--session", "--print-address", "--nofork"});
    QVERIFY2(bus_.waitForStarted(5000), qPrintable(bus_.errorString()));
    QElapsedTimer waited;
    waited.start();
    while (!bus_.canReadLine() && waited.elapsed() < 10000) bus_.waitForReadyRead(200);
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY2(!address.isEmpty(), bus_.readAllStandardError().constData());

    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(address));
    daemon_.setProcessEnvironment(env);
    daemon_.start("gnome-keyring-daemon", {"--foreground", "--components=secrets", "--unlock"});
    QVERIFY2(daemon_.waitForStarted(5000), qPrintable(daemon_.errorString()));
    // --unlock reads the login keyring's password up to the end of its input.
    daemon_.write("trivorn-test-login");
    daemon_.closeWriteChannel();

    // This process's first use of D-Bus, Qt's and libsecret's alike.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
    QVERIFY(names);
    QTRY_VERIFY_WITH_TIMEOUT(names->isServiceRegistered("org.freedesktop.secrets").value(), 10000);
}

void TestKeyring::cleanupTestCase() {
    endProcess(daemon_);
    endProcess(bus_);
}

void TestKeyring::init() {
    if (noBus()) return;
    QtKeyring keyring;
    for (const SjisText& key : {kPop3Key, kSmtpKey}) QCOMPARE(keyring.remove(key), Keyring::Result::Done);
}

// A folder's passwords start in the files (a copy from before the keyring,
// trv1x.dat in its old layout too) or in the keyring; the window saves them
// with the box ticked or not. Either way the settings read the same
// passwords before and after, in this folder and in another one of the
// same account.
void TestKeyring::savingPutsThePasswordsInTheirPlace_data() {
    QTest::addColumn<bool>("startInFiles");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("old folder, saved ticked") << true << true;
    QTest::newRow("old folder, saved unticked") << true << false;
    QTest::newRow("keyring, saved ticked") << false << true;
    QTest::newRow("keyring, saved unticked") << false << false;
}

void TestKeyring::savingPutsThePasswordsInTheirPlace() {
    if (noBus()) QSKIP("run without a bus");
    QFETCH(bool, startInFiles);
    QFETCH(bool, ticked);
    QtKeyring keyring;
    QVERIFY(keyring.available());
    TestWorld world;
    world.platform.keyring = &keyring;
    writeFolder(world, "quiz", startInFiles, startInFiles);
    if (!startInFiles) {
        QCOMPARE(keyring.write(kPop3Key, sjis("受信パス")), Keyring::Result::Done);
        QCOMPARE(keyring.write(kSmtpKey, sjis("送信パス")), Keyring::Result::Done);
    }
    auto readsBothPasswords = [](TestWorld& folder) {
        folder.module1.mailSettings = {};
        folder.module1.transport = {};
        const MailSettingsRead read = readMailSettings(folder.module1, DataFiles::Mode::ReadOnly);
        return read.read && !read.keyringFailed &&
               DecodeBase64Text(folder.module1.mailSettings.Password) == sjis("受信パス") &&
               DecodeBase64Text(folder.module1.transport.SmtpPassword) == sjis("送信パス");
    };
    QVERIFY(readsBothPasswords(world));

    {
        Form2 form(world.module1);
        QCOMPARE(form.Text4->text(), QString("受信パス"));
        QCOMPARE(form.Connection->smtpPassword->text(), QString("送信パス"));
        // Both starting points say "the keyring": an old trv1x.dat reads so.
        QVERIFY(form.StoreInKeyring->isEnabled());
        QVERIFY(form.StoreInKeyring->isChecked());
        form.show();
        form.StoreInKeyring->setChecked(ticked);
        QTest::mouseClick(form.Command1, Qt::LeftButton);
    }
    QCOMPARE(world.messageBox.texts(), QStringList());

    const InFiles files = inFiles(world);
    QCOMPARE(files.place, std::int16_t(ticked ? stored(PasswordPlace::Keyring) : stored(PasswordPlace::Files)));
    QCOMPARE(files.pop3, ticked ? SjisText() : EncodeBase64Text(sjis("受信パス")));
    QCOMPARE(files.smtp, ticked ? SjisText() : EncodeBase64Text(sjis("送信パス")));
    QVERIFY(readsBothPasswords(world));

    // Another folder of the same account, its passwords nowhere in its files,
    // has them from the keyring as long as the keyring keeps them.
    TestWorld sameAccount;
    sameAccount.platform.keyring = &keyring;
    writeFolder(sameAccount, "quiz", false, false);
    QCOMPARE(readsBothPasswords(sameAccount), ticked);
}

// Without a session bus there is no keyring to offer: the box cannot be
// ticked and says why, the files keep the password, and no trv1x.dat is
// made for a choice nobody could make. Run as a copy of this test whose
// process never had a bus.
void TestKeyring::withoutABus() {
    if (!noBus()) {
        QProcess copy;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kNoBus, "1");
        copy.setProcessEnvironment(env);
        copy.setProcessChannelMode(QProcess::MergedChannels);
        copy.start(QCoreApplication::applicationFilePath(), {"withoutABus"});
        QVERIFY(copy.waitForFinished(60000));
        const QByteArray output = copy.readAll();
        QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : TestKeyring::withoutABus()"), output.constData());   // ran, not skipped
        return;
    }
    QtKeyring keyring;
    QVERIFY(!keyring.available());
    TestWorld world;
    world.platform.keyring = &keyring;
    {
        Form2 form(world.module1);
        QVERIFY(!form.StoreInKeyring->isEnabled());
        QVERIFY(!form.StoreInKeyring->isChecked());
        QVERIFY(form.StoreInKeyring->toolTip().startsWith("キーリングが見つかりません"));
        form.show();
        QTest::keyClicks(form.Text1, "pop.trivorn.test");
        QTest::keyClicks(form.Text3, "quiz");
        QTest::keyClicks(form.Text4, "pw");
        QTest::mouseClick(form.Command1, Qt::LeftButton);
    }
    QCOMPARE(world.messageBox.texts(), QStringList());
    QCOMPARE(inFiles(world).pop3, EncodeBase64Text("pw"));
    QVERIFY(!world.exists(FileNames::kTransport));
}

// A keyring daemon that hangs (stopped here) fails each call within the
// limit and then at once, never holding the program: the window puts the
// passwords it had from the keyring into the files and says so, and START
// stops with its reason rather than log in without the password. Once the
// daemon runs again, so does the keyring.
void TestKeyring::aKeyringThatDoesNotAnswer() {
    if (noBus()) QSKIP("run without a bus");
    QtKeyring keyring(std::chrono::milliseconds(1500));
    QCOMPARE(keyring.write(kPop3Key, sjis("受信パス")), Keyring::Result::Done);
    QCOMPARE(keyring.write(kSmtpKey, sjis("送信パス")), Keyring::Result::Done);
    TestWorld world;
    world.platform.keyring = &keyring;
    writeFolder(world, "quiz", false, false);
    {
        Form2 form(world.module1);   // loaded while the keyring still answers
        QCOMPARE(form.Connection->smtpPassword->text(), QString("送信パス"));
        QCOMPARE(::kill(pid_t(daemon_.processId()), SIGSTOP), 0);
        form.show();
        QElapsedTimer took;
        took.start();
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QVERIFY2(took.elapsed() < 10000, qPrintable(QString::number(took.elapsed())));
    }
    QCOMPARE(world.messageBox.texts(),
             QStringList{"パスワードをキーリングに保存できませんでした。パスワードはデータファイルに保存しました。"});
    QCOMPARE(inFiles(world).pop3, EncodeBase64Text(sjis("受信パス")));
    QCOMPARE(inFiles(world).smtp, EncodeBase64Text(sjis("送信パス")));

    TestWorld round;
    round.platform.keyring = &keyring;
    writeFolder(round, "quiz", false, false);
    round.module1.quizRun.RoundNumber = "1";
    QElapsedTimer took;
    took.start();
    QCOMPARE(ReadRoundSetup(round.module1), std::optional<SjisText>(RunTexts::kPasswordsNotRead));
    QVERIFY(took.elapsed() < 3000);

    QCOMPARE(::kill(pid_t(daemon_.processId()), SIGCONT), 0);
    SjisText secret;
    QTRY_VERIFY_WITH_TIMEOUT(keyring.read(kPop3Key, secret) == Keyring::Result::Done, 40000);
    QCOMPARE(secret, sjis("受信パス"));
}

int main(int argc, char** argv) {
    qputenv("DBUS_SESSION_BUS_ADDRESS", kNowhere);
    QApplication app(argc, argv);
    TestKeyring test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keyring.moc"
