// The feedback window through the suite's Postfix: the mail reaches the
// support mailbox, and its subject and body, read from the Maildir and decoded
// by glibc's iconv, are what the window showed and the operator typed.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "model/RecordFiles.h"
#include "support/IconvText.h"
#include "support/PreparedRound.h"
#include "support/RealServers.h"
#include "support/TestWorld.h"
#include "ui/Form10.h"

class TestRealFeedback : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }
    void init() {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }
    void reachesTheSupportMailbox_data();
    void reachesTheSupportMailbox();
};

void TestRealFeedback::reachesTheSupportMailbox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");   // the body as the mailbox holds it
    QTest::newRow("kanji, kana, half-width katakana")
        << QString::fromUtf8("集計がおかしいです。\nﾊﾝｶｸｶﾀｶﾅも\n.で始まる行")
        << QString::fromUtf8("集計がおかしいです。\nﾊﾝｶｸｶﾀｶﾅも\n.で始まる行\n");
    // The Subject line is followed directly by the end of the data.
    QTest::newRow("empty") << QString() << QString();
}

void TestRealFeedback::reachesTheSupportMailbox() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    TestWorld world;
    PreparedRound settings;
    settings.pop3Server = settings.smtpServer = RealServers::host;
    QVERIFY(writeRecordFile(world.files, "trv1.dat", settings.mailSettings()));

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
    const RealServers::StoredMail mail = RealServers::splitStoredMail(mails[0]);
    QCOMPARE(fromJis(mail.subject), QString::fromUtf8("TRIVORN（質問＆バグ＆感想）"));
    QCOMPARE(fromJis(mail.body), stored);
    for (char c : mails[0]) QVERIFY2(uchar(c) < 0x80, "the mail as sent is 7-bit");
}

QTEST_MAIN(TestRealFeedback)
#include "tst_real_feedback.moc"
