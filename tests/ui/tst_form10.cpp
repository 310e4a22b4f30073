// The feedback window against scripted SMTP servers: only a mail the server
// took is reported as sent; every other ending says it was not, at once where
// the connection is known to be lost, and lets the operator try again.
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include "mail/OutgoingMessage.h"
#include "model/RecordFiles.h"
#include "demo/PreparedRound.h"
#include "support/MessageStamp.h"
#include "support/ScriptedServer.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/Form10.h"

namespace {

using Answer = ScriptedServer::Answer;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// A port on which nothing listens: taken from the system, then let go.
quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

enum class Server { Refusing, ClosingAfterGreeting, Refusing550AtRcpt, Silent, Accepting, PuttingOffOnce };

}  // namespace

Q_DECLARE_METATYPE(Server)

class TestForm10 : public QObject {
    Q_OBJECT
private slots:
    void endings_data();
    void endings();
    void withoutMailSettings();
};

void TestForm10::endings_data() {
    QTest::addColumn<Server>("server");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("immediate");   // without waiting for the time-out
    const QString start = u("メールを送信します"), failed = u("メールを送信できませんでした");
    QTest::newRow("connection refused") << Server::Refusing << QStringList{start, failed} << true;
    QTest::newRow("closed after the greeting") << Server::ClosingAfterGreeting << QStringList{start, failed} << true;
    QTest::newRow("550 at RCPT") << Server::Refusing550AtRcpt << QStringList{start, failed} << true;
    QTest::newRow("silence") << Server::Silent << QStringList{start, "Time Out Err", failed} << false;
    QTest::newRow("accepted") << Server::Accepting << QStringList{start, u("メールを送信しました")} << true;
    // Put off (450) is tried again after a pause on the window's clock.
    QTest::newRow("450 at RCPT, taken on the second try")
        << Server::PuttingOffOnce << QStringList{start, u("メールを送信しました")} << true;
}

void TestForm10::endings() {
    QFETCH(Server, server);
    QFETCH(QStringList, boxes);
    QFETCH(bool, immediate);
    TestWorld world;
    SteppedClock steps;   // the pauses between tries pass as the window reads its clock
    steps.stepMs = 60000;
    world.useClock(steps);
    PreparedRound settings;
    QVERIFY(writeRecordFile(world.files, "trv1.dat", settings.mailSettings()));

    Answer greeting = Answer::reply("220 mx.trivorn.test ESMTP\r\n");
    if (server == Server::ClosingAfterGreeting) greeting.close = true;
    if (server == Server::Silent) greeting = Answer::silence();
    ScriptedServer* smtpServer = nullptr;
    ScriptedServer smtp(greeting, ScriptedServer::smtpAcceptingAll([&](const QByteArray& unit) -> std::optional<Answer> {
        if (server == Server::Refusing550AtRcpt && unit.startsWith("RCPT TO:"))
            return Answer::reply("550 5.1.1 <support@trivorn.test>: Recipient address rejected\r\n");
        if (server == Server::PuttingOffOnce && unit.startsWith("RCPT TO:") && smtpServer->connections == 1)
            return Answer::reply("450 4.2.1 Try again later\r\n");
        return std::nullopt;
    }));
    smtpServer = &smtp;

    auto* form = new Form10(world.module1);   // deletes itself on closing
    form->overrides.smtpPort = server == Server::Refusing ? closedPort() : smtp.port();
    form->overrides.timeoutMs = 600;
    form->show();
    QCOMPARE(form->Text0->text(), u("クイズ事務局"));
    form->Text2->setPlainText(u("質問です。\nﾃｽﾄ"));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form->Command1, Qt::LeftButton);

    QCOMPARE(world.messageBox.texts(), boxes);
    const bool sent = server == Server::Accepting || server == Server::PuttingOffOnce;
    if (server == Server::PuttingOffOnce) QCOMPARE(smtp.connections, 2);
    // Closed before anything was taken counts as put off: tried until the
    // window gives up, each time on a connection of its own.
    if (server == Server::ClosingAfterGreeting) QVERIFY(smtp.connections > 1);
    QCOMPARE(form->Command1->isEnabled(), !sent);
    if (immediate) QVERIFY2(clock.elapsed() < 600, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(form->Winsock1->isClosed());
    QVERIFY(!form->Timer1->enabled());
    if (server == Server::Accepting) {
        // The one implementation of the dialogue: HELO, one recipient, the
        // fixed subject, the typed body, QUIT.
        QCOMPARE(smtp.commands(), (QList<QByteArray>{"HELO quizhost.trivorn.test", "MAIL FROM:<quiz@trivorn.test>",
                                                      "RCPT TO:<support@trivorn.test>", "DATA", "<message>", "QUIT"}));
        MessageHeaders h;
        h.fixedBlock = BuildHeaderBlock("quiz@trivorn.test");
        h.from = {sjis(u("クイズ事務局")), "quiz@trivorn.test"};
        h.to = Mailbox{"", "support@trivorn.test"};
        h.subject = sjis(u("TRIVORN（質問＆バグ＆感想）"));
        h = stampedLike(h, smtp.received[4]);
        QCOMPARE(smtp.received[4], QByteArray::fromStdString(BuildMessageText(HeaderSection(h), sjis(u("質問です。\r\nﾃｽﾄ")))));
        QCOMPARE(form->Text3->text(), u("送信メールサバー接続終了"));
        // Nothing more goes out until the window is opened again.
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(smtp.connections, 1);
    }
    form->close();
}

// Without mail settings the window says so and stays open, empty; a send
// then fails at once instead of crashing or hanging.
void TestForm10::withoutMailSettings() {
    TestWorld world;
    auto* form = new Form10(world.module1);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QCOMPARE(world.messageBox.texts(), QStringList{u("メールの設定をして下さい")});
    QVERIFY(form->Text0->text().isEmpty());

    // The subject cannot be edited or even focused: focus passes to the body.
    form->Text0->setFocus();
    form->Text1->setFocus();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Text2));
    QVERIFY(form->Text1->isReadOnly());
    // Screen readers find every control of the window by name.
    for (QWidget* w : form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), w->metaObject()->className());
    }

    world.messageBox.clear();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(world.messageBox.texts(), (QStringList{u("メールを送信します"), u("メールを送信できませんでした")}));
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(form->Command1->isEnabled());
    form->close();
}

QTEST_MAIN(TestForm10)
#include "tst_form10.moc"
