// The feedback window through the suite's Postfix: the mail reaches the
// support mailbox, and its subject and body, read from the Maildir and decoded
// by glibc's iconv, are what the window showed and the operator typed. It goes
// the way the mail settings say: plain on port 25, or on the submission port
// after STARTTLS and a login.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "model/RecordFiles.h"
#include "support/IconvText.h"
#include "demo/PreparedRound.h"
#include "demo/SimulatedPhones.h"
#include "support/ServerChecks.h"
#include "support/TestWorld.h"
#include "ui/Form10.h"

class TestRealFeedback : public QObject {
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
    void reachesTheSupportMailbox_data();
    void reachesTheSupportMailbox();
    void untrustedCertificateSendsNothing();
};

namespace {
QString fingerprint() { return QString::fromStdString(RealServers::serverFingerprint()); }

// The operator's settings on the test servers, sending on 587 after STARTTLS
// with the POP3 account as login.
void writeSettings(TestWorld& world, bool submission, bool trusted) {
    QVERIFY(writeRecordFile(world.files, "trv1.dat", PreparedRound().mailSettings()));
    if (!submission) return;
    TransportSettings t;
    t.SmtpProtection = stored(Protection::StartTls);
    t.SmtpLoginKind = stored(LoginKind::Pop3Account);
    if (trusted) trustCertificate(t, RealServers::host, RealServers::serverFingerprint());
    QVERIFY(writeRecordFile(world.files, "trv1x.dat", t));
}
}  // namespace

void TestRealFeedback::reachesTheSupportMailbox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");   // the body as the mailbox holds it
    QTest::addColumn<bool>("submission");  // STARTTLS and a login on 587, else plain on 25
    const QString text = QString::fromUtf8("集計がおかしいです。\nﾊﾝｶｸｶﾀｶﾅも\n.で始まる行");
    const QString stored = text + "\n";
    QTest::newRow("kanji, kana, half-width katakana") << text << stored << false;
    // The Subject line is followed directly by the end of the data.
    QTest::newRow("empty") << QString() << QString() << false;
    QTest::newRow("587 STARTTLS as the POP3 account") << text << stored << true;
}

void TestRealFeedback::reachesTheSupportMailbox() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, submission);
    TestWorld world;
    writeSettings(world, submission, true);

    auto* form = new Form10(world.module1);
    form->show();
    form->Text2->setPlainText(typed);
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(world.messageBox.texts().value(1), QString::fromUtf8("メールを送信しました"));
    form->close();

    QVERIFY(RealServers::waitForMessages("support@trivorn.test", 1));
    const QList<QByteArray> mails = RealServers::messages("support@trivorn.test");
    QCOMPARE(mails.size(), 1);
    QVERIFY(mails[0].contains("Return-Path: <quiz@trivorn.test>"));
    // Postfix says how the mail came in: after a login over TLS, or plain.
    QCOMPARE(mails[0].contains("with ESMTPSA"), submission);
    const RealServers::StoredMail mail = RealServers::splitStoredMail(mails[0]);
    QCOMPARE(readHeaderText(mail.subject).value_or("(unreadable)"), QString::fromUtf8("TRIVORN（質問＆バグ＆感想）"));
    QCOMPARE(fromJis(mail.body), stored);
    for (char c : mails[0]) QVERIFY2(uchar(c) < 0x80, "the mail as sent is 7-bit");
}

// With the server's certificate not trusted the window says why, naming
// the fingerprint the mail settings then offer to trust, and sends nothing.
void TestRealFeedback::untrustedCertificateSendsNothing() {
    TestWorld world;
    writeSettings(world, true, false);
    auto* form = new Form10(world.module1);
    form->show();
    form->Text2->setPlainText(QString::fromUtf8("届きますか"));
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    const QStringList boxes = world.messageBox.texts();
    QCOMPARE(boxes.size(), 3);
    QCOMPARE(boxes[0], QString::fromUtf8("メールを送信します"));
    // What failed in Japanese, the fingerprint, and where to trust it.
    QVERIFY2(boxes[1].startsWith(QString::fromUtf8("127.0.0.1の証明書を信頼できません: 発行者を確かめられません（")),
             qPrintable(boxes[1]));
    QVERIFY2(boxes[1].contains("SHA-256 " + fingerprint()), qPrintable(boxes[1]));
    QVERIFY2(boxes[1].endsWith(QString::fromUtf8("「この証明書を信頼する」を押して下さい。")), qPrintable(boxes[1]));
    QCOMPARE(boxes[2], QString::fromUtf8("メールを送信できませんでした"));
    QCOMPARE(QString::fromStdString(world.module1.refusedCertificate.fingerprint), fingerprint());
    QCOMPARE(QString::fromStdString(world.module1.refusedCertificate.server), QString(RealServers::host));
    QVERIFY(form->Command1->isEnabled());   // the operator may try again
    form->close();
    QVERIFY(!RealServers::waitForMessages("support@trivorn.test", 1, 1000));
}

QTEST_MAIN(TestRealFeedback)
#include "tst_real_feedback.moc"
