// The program's message box: blocking waits for OK, non-blocking returns at
// once and cleans up after itself.
#include <QtTest>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/QtMessageBox.h"

namespace {
QList<QMessageBox*> openBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes << box;
    return boxes;
}
}  // namespace

class TestMessageBox : public QObject {
    Q_OBJECT
private slots:
    void blockingBoxReturnsWhenOkIsPressed();
    void nonBlockingBoxReturnsAtOnceAndIsDeletedWhenDismissed();
};

void TestMessageBox::blockingBoxReturnsWhenOkIsPressed() {
    QtMessageBox box;
    QString title, text;
    int buttons = -1;
    bool pressed = false;
    QTimer::singleShot(100, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!shown) return;
        title = shown->windowTitle();
        text = shown->text();
        buttons = int(shown->buttons().size());
        shown->button(QMessageBox::Ok)->click();
        pressed = true;
    });
    // "Time Out Err" on two lines, as the system holds it (CR LF).
    box.show("Time Out\r\nErr", true);
    QVERIFY(pressed);   // show() did not return before OK
    QCOMPARE(title, QStringLiteral("TRIVORN"));
    QCOMPARE(text, QStringLiteral("Time Out\nErr"));
    QCOMPARE(buttons, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(openBoxes().isEmpty());
}

void TestMessageBox::nonBlockingBoxReturnsAtOnceAndIsDeletedWhenDismissed() {
    QtMessageBox box;
    QElapsedTimer wall;
    wall.start();
    box.show("ERR(10061;\x90\xda\x91\xb1\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1)", false);   // 接続できません
    QVERIFY(wall.elapsed() < 1000);
    const QList<QMessageBox*> boxes = openBoxes();
    QCOMPARE(boxes.size(), 1);
    QPointer<QMessageBox> shown = boxes.first();
    QCOMPARE(shown->windowTitle(), QStringLiteral("TRIVORN"));
    QCOMPARE(shown->text(), QString::fromUtf8("ERR(10061;接続できません)"));
    shown->button(QMessageBox::Ok)->click();
    QTRY_VERIFY(shown.isNull());
}

QTEST_MAIN(TestMessageBox)
#include "tst_message_box.moc"
