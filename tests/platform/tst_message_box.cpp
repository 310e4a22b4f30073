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
    void questionActsOnlyOnItsFirstAnswer_data();
    void questionActsOnlyOnItsFirstAnswer();
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

void TestMessageBox::questionActsOnlyOnItsFirstAnswer_data() {
    QTest::addColumn<QString>("press");   // a button's text, or a key
    QTest::addColumn<bool>("acted");
    QTest::newRow("discard") << QString::fromUtf8("破棄") << true;
    QTest::newRow("cancel") << QString::fromUtf8("キャンセル") << false;
    QTest::newRow("Esc") << QStringLiteral("Esc") << false;
    QTest::newRow("Enter") << QStringLiteral("Enter") << false;
}

void TestMessageBox::questionActsOnlyOnItsFirstAnswer() {
    QFETCH(QString, press);
    QFETCH(bool, acted);
    QtMessageBox box;
    QStringList buttons;
    QString text;
    QTimer::singleShot(100, [&] {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!shown) return;
        text = shown->text();
        for (QAbstractButton* b : shown->buttons()) buttons << b->text();
        if (press == QStringLiteral("Esc")) QTest::keyClick(shown, Qt::Key_Escape);
        else if (press == QStringLiteral("Enter")) QTest::keyClick(shown, Qt::Key_Return);
        else
            for (QAbstractButton* b : shown->buttons())
                if (b->text() == press) b->click();
    });
    const bool answer = box.ask("変更を破棄しますか？", "破棄", "キャンセル");
    QCOMPARE(text, QString::fromUtf8("変更を破棄しますか？"));
    buttons.sort();
    QStringList expected = {QString::fromUtf8("破棄"), QString::fromUtf8("キャンセル")};
    expected.sort();
    QCOMPARE(buttons, expected);
    QCOMPARE(answer, acted);
}

QTEST_MAIN(TestMessageBox)
#include "tst_message_box.moc"
