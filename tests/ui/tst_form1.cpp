// The main window: round selector from the counter file, the hand-over to an
// editor window and back, accessibility, and one copy per folder.
#include <QtTest>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "platform/qt/QtInstanceGuard.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "model/QuestionRules.h"
#include "ui/ConnectionGroup.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/ProgramIdentity.h"
#include "ui/Widgets.h"

namespace {

// The operator choosing an entry from the selector's list.
void choose(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QList<QLineEdit*> allCells(Form1& f) {
    QList<QLineEdit*> cells;
    for (auto* column : {&f.Text1, &f.Text2, &f.Text3, &f.Text4, &f.Text5, &f.Text6})
        for (QLineEdit* c : *column) cells << c;
    return cells;
}

// A stand-in for the editor windows the other buttons open.
class ProbeEditor : public EditorWindow {
public:
    int activations = 0;
    void Form_Activate() override { ++activations; }
};

struct Fixture {
    TestWorld world;
    std::unique_ptr<Form1> form;

    Form1& make() {
        form = std::make_unique<Form1>(world.module1, [this] { return world.appFolder(); });
        return *form;
    }
};

// The windows the operator sets a round up in, and the main window, each made
// the way the program makes it, on a folder with one round's questions.
enum class Window { Menu, MailSettings, AddressBook, Invitation, Questions, ClosingMail };

std::unique_ptr<QWidget> makeWindow(TestWorld& world, Window which) {
    auto questions = std::make_unique<QuestionSet>();
    questions->QuestionCount.assign(1, '1');   // not = "1": GCC 12 warns (-Wrestrict)
    writeQuestionFile(world.files, "1", *questions);
    switch (which) {
    case Window::Menu: return std::make_unique<Form1>(world.module1, [&world] { return world.appFolder(); });
    case Window::MailSettings: return std::make_unique<Form2>(world.module1);
    case Window::AddressBook: return std::make_unique<Form3>(world.module1);
    case Window::Invitation: return std::make_unique<Form4>(world.module1);
    case Window::Questions: return std::make_unique<Form5>(world.module1);
    case Window::ClosingMail: return std::make_unique<Form6>(world.module1);
    }
    return {};
}

// The control of `window` a screen reader knows by `name`; the first of
// them. A caption beside a box often bears the box's name: labels are no controls.
// Its own name, or what Qt names it by (a button by its caption).
QString nameOf(QWidget* w) {
    if (!w) return QStringLiteral("(none)");
    if (!w->accessibleName().isEmpty()) return w->accessibleName();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

QWidget* named(QWidget* window, const QString& name) {
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->window() == window && nameOf(w) == name && !qobject_cast<QLabel*>(w)) return w;
    return nullptr;
}

QStringList namesOf(const QList<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* w : widgets) names << nameOf(w);
    return names;
}

}  // namespace

Q_DECLARE_METATYPE(Window)

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void selectorFollowsTheCounterFile_data();
    void selectorFollowsTheCounterFile();
    void pastRoundLocksStartAndCurrentRoundClearsEverything();
    void typedRoundIsUsedVerbatim();
    void returningFromAnEditorRefreshesTheWindow_data();
    void returningFromAnEditorRefreshesTheWindow();
    void closingAnEditorDoesNotEndTheProgram();
    void buttonsWithoutAWindowDoNothing();
    void focusComingBackDoesNotResetTheWindow();
    void closingTheMainWindowClosesTheEditors();
    void captionsAndCells();
    void everyControlHasAnAccessibleName();
    void mailConnectionsStartIdle();
    void tabVisitsEveryControlOnce_data();
    void tabVisitsEveryControlOnce();
    void keysPressTheirButtons_data();
    void keysPressTheirButtons();
    void boxesTakingNoInputLookIt_data();
    void boxesTakingNoInputLookIt();
    void secondCopyInTheSameFolderEndsAtOnce();
    void programPresentsItself();
};

void TestForm1::selectorFollowsTheCounterFile_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("current");
    QTest::newRow("holds 3") << true << counterFile(3) << 3;
    QTest::newRow("holds 0") << true << counterFile(0) << 1;
    QTest::newRow("absent") << false << QByteArray() << 1;
    QTest::newRow("holds 1") << true << counterFile(1) << 1;
    QTest::newRow("holds 12") << true << counterFile(12) << 12;
    QTest::newRow("negative") << true << counterFile(-2) << 1;
    QTest::newRow("empty file") << true << QByteArray() << 1;
    QTest::newRow("longer file, counter first") << true << (counterFile(5) + QByteArray("\x09\x00", 2)) << 5;
}

void TestForm1::selectorFollowsTheCounterFile() {
    QFETCH(bool, present);
    QFETCH(QByteArray, file);
    QFETCH(int, current);
    Fixture fx;
    if (present) fx.world.writeFile(QStringLiteral("trv3.dat"), file);
    Form1& f = fx.make();
    f.show();
    QCOMPARE(f.Combo1->currentText(), QString::number(current));
    QCOMPARE(op::entries(f.Combo1), op::numbers(1, current));
    QCOMPARE(int(fx.world.module1.quizRun.CurrentRound), current);
    QCOMPARE(fx.world.module1.quizRun.RoundNumber, std::to_string(current));
    QVERIFY(f.Command6->isEnabled());
    // Reading the counter never creates or changes it.
    QCOMPARE(fx.world.exists(QStringLiteral("trv3.dat")), present);
    if (present) QCOMPARE(fx.world.readFile(QStringLiteral("trv3.dat")), file);
}

void TestForm1::pastRoundLocksStartAndCurrentRoundClearsEverything() {
    Fixture fx;
    fx.world.writeFile(QStringLiteral("trv3.dat"), counterFile(3));
    Form1& f = fx.make();
    f.show();

    for (QLineEdit* c : allCells(f)) c->setText(QStringLiteral("x"));
    choose(f.Combo1, QStringLiteral("1"));
    QVERIFY(!f.Command6->isEnabled());
    // The count lines are named for what they are and read as what they say.
    for (auto [line, name] : {std::pair{f.Label6, QStringLiteral("順位表の参加人数")},
                              std::pair{f.Label9, QStringLiteral("参加者一覧の参加人数")}}) {
        QCOMPARE(line->text(), QStringLiteral("参加人数(0人)"));
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(line);
        QCOMPARE(a->text(QAccessible::Name), name);
        QCOMPARE(a->text(QAccessible::Value), line->text());
        QVERIFY(a->textInterface());
        QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), line->text());
    }
    QVERIFY(hasPastRoundColour(f.Combo1));
    for (QLineEdit* c : allCells(f)) {
        QVERIFY(hasPastRoundColour(c));
        QVERIFY(c->text().isEmpty());
    }
    QCOMPARE(fx.world.module1.quizRun.RoundNumber, std::string("1"));

    // What a past round's display leaves behind must all go.
    for (QLineEdit* c : allCells(f)) c->setText(QStringLiteral("y"));
    f.Label6->setText(QStringLiteral("a"));
    f.Label9->setText(QStringLiteral("b"));
    for (QScrollBar* bar : {f.VScroll1, f.VScroll2}) {
        bar->setRange(0, 5);
        bar->setValue(2);
    }
    choose(f.Combo1, QStringLiteral("3"));
    QVERIFY(f.Command6->isEnabled());
    QVERIFY(!hasPastRoundColour(f.Combo1));
    for (QLineEdit* c : allCells(f)) {
        QVERIFY(!hasPastRoundColour(c));
        QVERIFY(c->text().isEmpty());
    }
    QVERIFY(f.Label6->text().isEmpty());
    QVERIFY(f.Label9->text().isEmpty());
    for (QScrollBar* bar : {f.VScroll1, f.VScroll2}) {
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 0);
    }
}

// File names use the selector's text as typed: "03" is not round "3".
void TestForm1::typedRoundIsUsedVerbatim() {
    Fixture fx;
    fx.world.writeFile(QStringLiteral("trv3.dat"), counterFile(3));
    Form1& f = fx.make();
    f.show();
    f.Combo1->lineEdit()->clear();
    QTest::keyClicks(f.Combo1->lineEdit(), QStringLiteral("03"));
    QCOMPARE(fx.world.module1.quizRun.RoundNumber, std::string("03"));
}

void TestForm1::returningFromAnEditorRefreshesTheWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close box") << QStringLiteral("close");
    QTest::newRow("a button that hides") << QStringLiteral("hide");
    QTest::newRow("window deleted") << QStringLiteral("delete");
}

void TestForm1::returningFromAnEditorRefreshesTheWindow() {
    QFETCH(QString, how);
    Fixture fx;
    fx.world.writeFile(QStringLiteral("trv3.dat"), counterFile(2));
    Form1& f = fx.make();
    int made = 0;
    f.setEditorFactory(1, [&] {
        ++made;
        return new ProbeEditor;
    });
    f.show();
    choose(f.Combo1, QStringLiteral("1"));
    QVERIFY(!f.Command6->isEnabled());

    QTest::mouseClick(f.Command1, Qt::LeftButton);
    auto* editor = static_cast<ProbeEditor*>(f.editorWindow(1));
    QVERIFY(editor);
    QCOMPARE(made, 1);
    QVERIFY(editor->isVisible());
    QVERIFY(!f.isVisible());
    QCOMPARE(editor->activations, 1);
    QSignalSpy closed(editor, &EditorWindow::closed);

    // Meanwhile a round has been played elsewhere.
    fx.world.writeFile(QStringLiteral("trv3.dat"), counterFile(4));
    if (how == QStringLiteral("close"))
        QVERIFY(editor->close());
    else if (how == QStringLiteral("hide"))
        editor->hide();
    else
        delete editor;
    QCoreApplication::processEvents();

    if (how != QStringLiteral("delete")) QCOMPARE(closed.count(), 1);
    QVERIFY(f.isVisible());
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("4"));
    QCOMPARE(op::entries(f.Combo1), op::numbers(1, 4));
    QVERIFY(f.Command6->isEnabled());
    QVERIFY(!hasPastRoundColour(f.Combo1));

    // The same window comes back next time, unless it is gone.
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    QCOMPARE(made, how == QStringLiteral("delete") ? 2 : 1);
    auto* again = static_cast<ProbeEditor*>(f.editorWindow(1));
    QVERIFY(again && again->isVisible());
    QCOMPARE(again->activations, how == QStringLiteral("delete") ? 1 : 2);
    QVERIFY(!f.isVisible());
    again->close();
    QVERIFY(f.isVisible());
    if (how != QStringLiteral("delete")) QCOMPARE(closed.count(), 2);
}

// With the main window hidden, the editor is the last window on screen:
// closing it must hand over to the main window, not end the program. This
// only shows inside the application's own event loop.
void TestForm1::closingAnEditorDoesNotEndTheProgram() {
    Fixture fx;
    Form1& f = fx.make();
    f.setEditorFactory(3, [] { return new ProbeEditor; });
    f.show();
    QSignalSpy lastWindow(qApp, &QGuiApplication::lastWindowClosed);
    bool mainWindowBack = false;
    QTimer::singleShot(0, [&] { QTest::mouseClick(f.Command3, Qt::LeftButton); });
    QTimer::singleShot(50, [&] {
        if (f.editorWindow(3)) f.editorWindow(3)->close();
    });
    QTimer::singleShot(300, [&] {
        mainWindowBack = f.isVisible();
        QCoreApplication::exit(7);
    });
    const int code = QCoreApplication::exec();
    QCOMPARE(code, 7);   // ended by the test, not by the last window closing
    QVERIFY(mainWindowBack);
    QCOMPARE(lastWindow.count(), 0);
}

void TestForm1::buttonsWithoutAWindowDoNothing() {
    Fixture fx;
    Form1& f = fx.make();
    f.setEditorFactory(4, [] { return nullptr; });   // a window that cannot be made
    f.show();
    for (QPushButton* b : {f.Command1, f.Command2, f.Command3, f.Command4, f.Command5, f.Command7}) {
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(f.isVisible());
    }
}

// Only the first showing and the return from an editor refresh the window;
// the focus coming back (a message box closed during a round) must not.
void TestForm1::focusComingBackDoesNotResetTheWindow() {
    Fixture fx;
    fx.world.writeFile(QStringLiteral("trv3.dat"), counterFile(2));
    Form1& f = fx.make();
    f.show();
    choose(f.Combo1, QStringLiteral("1"));
    f.Text1[0]->setText(QStringLiteral("kept"));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&f, &activate);
    f.hide();
    f.show();   // a minimised window restored
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("1"));
    QVERIFY(!f.Command6->isEnabled());
    QCOMPARE(f.Text1[0]->text(), QStringLiteral("kept"));
}

void TestForm1::closingTheMainWindowClosesTheEditors() {
    Fixture fx;
    Form1& f = fx.make();
    f.show();
    auto* editor = new ProbeEditor;
    f.setEditorFactory(2, [&] { return editor; });
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    QVERIFY(editor->isVisible());
    f.Form_Unload();
    QVERIFY(!editor->isVisible());
    QVERIFY(!f.isVisible());   // closing the editor did not bring it back
}

// The window's own texts, byte for byte, and the cells the operator cannot edit.
void TestForm1::captionsAndCells() {
    Fixture fx;
    Form1& f = fx.make();
    const QList<QPair<QString, QString>> captions = {
        {f.windowTitle(), QStringLiteral("メニュー")},
        {f.Command1->text(), QStringLiteral("メールの設定")},
        {f.Command2->text(), QStringLiteral("アドレス帳設定")},
        {f.Command3->text(), QStringLiteral("クイズ参加確認")},
        {f.Command4->text(), QStringLiteral("問題入力")},
        {f.Command5->text(), QStringLiteral("クイズ終了")},
        {f.Command6->text(), QStringLiteral("ＳＴＡＲＴ")},
        {f.Command7->text(), QStringLiteral("質問＆バグ＆感想")},
        {f.Label10->text(), QStringLiteral("第")},
        {f.Label11->text(), QStringLiteral("回クイズ大会")},
        {f.Label1->text(), QStringLiteral("名前")},
        {f.Label2->text(), QStringLiteral("順位")},
        {f.Label3->text(), QStringLiteral("点数")},
        {f.Label4->text(), QStringLiteral("正解率")},
        {f.Label7->text(), QStringLiteral("名前")},
        {f.Label8->text(), QStringLiteral("参加")},
    };
    for (const auto& [shown, expected] : captions) QCOMPARE(shown, expected);
    QVERIFY(f.Combo1->isEditable());
    // Read-only cells of a table: no input frame, the window's background,
    // passed by Tab.
    for (QLineEdit* c : allCells(f)) {
        QVERIFY(c->isReadOnly());
        QVERIFY(!c->hasFrame());
        QVERIFY(looksReadOnly(c));
        QCOMPARE(c->focusPolicy(), Qt::ClickFocus);
    }
    for (auto* column : {&f.Text2, &f.Text3, &f.Text4, &f.Text6})
        for (QLineEdit* c : *column) QCOMPARE(c->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

// What a screen reader or UI automation sees: every control of the window
// has a name, and grid cells carry their row.
void TestForm1::everyControlHasAnAccessibleName() {
    Fixture fx;
    Form1& f = fx.make();
    f.show();
    QStringList names;
    int controls = 0;
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f)) continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(iface, w->metaObject()->className());
        const QString name = iface->text(QAccessible::Name);
        QVERIFY2(!name.isEmpty(), qPrintable(QStringLiteral("%1 %2").arg(w->metaObject()->className(), w->objectName())));
        // Reachable from the window through the accessibility tree.
        QAccessibleInterface* up = iface;
        while (up && up->object() != &f) up = up->parent();
        QVERIFY2(up, qPrintable(name));
        names << name;
        ++controls;
    }
    // 7 buttons, label-combo-label of the selector, the frame, 2 grid panes, 6 headings,
    // 60 cells, 2 scroll bars, 2 count lines, status line, progress bar.
    QVERIFY2(controls >= 86, qPrintable(QString::number(controls)));
    for (const char* expected : {"名前 1", "名前 10", "順位 3", "点数 3", "正解率 3", "参加 3", "ＳＴＡＲＴ"})
        QVERIFY2(names.contains(QString::fromUtf8(expected)), expected);
    QCOMPARE(names.count(QStringLiteral("名前 3")), 2);   // one per grid, told apart by their pane
    QCOMPARE(QAccessible::queryAccessibleInterface(f.Text5[3])->parent()->text(QAccessible::Name),
             QStringLiteral("参加者一覧"));
}

void TestForm1::mailConnectionsStartIdle() {
    Fixture fx;
    Form1& f = fx.make();
    QVERIFY(!f.Timer1->enabled());
    QVERIFY(!f.Timer2->enabled());
    QVERIFY(f.Winsock1->isClosed());
    QVERIFY(f.Winsock2->isClosed());
    QVERIFY(!f.vars.受信);
    QCOMPARE(f.vars.遅れメール, std::string());
}

// Two real processes from one folder: the second ends at once with 0, the
// first goes on. A copy killed without a chance to clean up does not lock
// the folder for good.
void TestForm1::secondCopyInTheSameFolderEndsAtOnce() {
    const QString built = qEnvironmentVariable("TRV_BINARY_DIR") + QStringLiteral("/src/trivorn");
    QVERIFY2(QFile::exists(built), qPrintable(QStringLiteral("build the program first: ") + built));
    QTemporaryDir folder;
    const QString program = folder.filePath(QStringLiteral("trivorn"));
    QVERIFY(QFile::copy(built, program));
    const QString lock = QtInstanceGuard::lockFilePathFor(folder.path());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    auto start = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.setProgram(program);
        p.setWorkingDirectory(folder.path());
        p.start();
        QVERIFY(p.waitForStarted(5000));
    };

    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 10000);
    QTest::qWait(300);
    QCOMPARE(first.state(), QProcess::Running);

    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    first.kill();
    QVERIFY(first.waitForFinished(5000));
    QProcess third;
    start(third);
    QVERIFY2(!third.waitForFinished(1500), "a new copy after a crash must start");
    third.kill();
    third.waitForFinished(5000);
    QFile::remove(lock);   // a killed copy leaves its lock behind
}

// From the first control, Tab reaches every control that takes input, each
// once, in the order the eye reads the window, and comes back to the first.
// Boxes that take no input are passed by.
void TestForm1::tabVisitsEveryControlOnce_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QStringList>("inOrder");   // among the stops, in this order
    QTest::addColumn<QStringList>("passedBy");
    QTest::newRow("menu") << Window::Menu
                          << QStringList{"メールの設定", "アドレス帳設定", "クイズ参加確認", "問題入力", "クイズ終了",
                                         "第 回クイズ大会", "ＳＴＡＲＴ", "順位表のページ", "参加者一覧のページ",
                                         "質問＆バグ＆感想"}
                          << QStringList{"名前 1", "参加 10", "状況"};
    QTest::newRow("mail settings") << Window::MailSettings
                                   << QStringList{"受信メール　[POP]", "パスワード", "パスワードをキーリングに保存",
                                                  "名　前", "送信ポート",
                                                  "受信の暗号化", "証明書", "戻る"}
                                   << QStringList{};
    QTest::newRow("address book") << Window::AddressBook
                                  << QStringList{"名前 1", "メールアドレス 1", "送信 1", "名前 2", "送信 10",
                                                 "アドレス帳のページ", "参加できる人", "戻る"}
                                  << QStringList{};
    QTest::newRow("invitation") << Window::Invitation
                                << QStringList{"回数", "挨拶", "名前", "返信時間", "件名", "本文", "確定", "戻る"}
                                << QStringList{"文字数"};
    QTest::newRow("questions") << Window::Questions
                               << QStringList{"回目のクイズ", "問題数", "合計点", "問題", "件名", "問題文", "セパレータ",
                                              "選択肢 1", "正解 1", "選択肢 5", "正解 5", "選択肢のページ", "返信時間",
                                              "問題メール", "確定", "戻る"}
                               << QStringList{"得点", "回答番号 1", "選択肢のセパレータ 1", "文字数"};
    QTest::newRow("closing mail") << Window::ClosingMail
                                  << QStringList{"回数", "挨拶", "名前", "件名", "クイズ終了メール", "確定", "戻る"}
                                  << QStringList{"送信文字数"};
}

void TestForm1::tabVisitsEveryControlOnce() {
    QFETCH(Window, window);
    QFETCH(QStringList, inOrder);
    QFETCH(QStringList, passedBy);
    TestWorld world;
    std::unique_ptr<QWidget> w = makeWindow(world, window);
    QWidget* first = named(w.get(), inOrder.first());
    QVERIFY2(first, qPrintable(inOrder.first()));
    const QList<QWidget*> visited = op::tabCycle(w.get(), first);
    const QStringList seen = namesOf(visited);
    QVERIFY2(!seen.isEmpty() && seen.first() == inOrder.first(), qPrintable(seen.join(" | ")));
    const QList<QWidget*> stops = op::tabStops(w.get());
    QCOMPARE(QSet<QWidget*>(visited.begin(), visited.end()).size(), visited.size());   // each once
    QVERIFY2(QSet<QWidget*>(visited.begin(), visited.end()) == QSet<QWidget*>(stops.begin(), stops.end()),
             qPrintable(seen.join(" | ") + "\n  stops: " + namesOf(stops).join(" | ")));
    int at = -1;
    for (const QString& name : inOrder) {
        const int i = seen.indexOf(name, at + 1);
        QVERIFY2(i > at, qPrintable(name + " out of order: " + seen.join(" | ")));
        at = i;
    }
    for (const QString& name : passedBy) QVERIFY2(!seen.contains(name), qPrintable(name));
}

// The keys do what the buttons do, and Enter stays a new line in a mail.
void TestForm1::keysPressTheirButtons_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("focus");    // the control the key is pressed in
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("pressed");  // the button pressed; empty: none
    QTest::newRow("menu Alt+Q") << Window::Menu << "第 回クイズ大会" << int(Qt::Key_Q) << int(Qt::AltModifier) << "問題入力";
    QTest::newRow("menu Alt+S") << Window::Menu << "メールの設定" << int(Qt::Key_S) << int(Qt::AltModifier) << "ＳＴＡＲＴ";
    QTest::newRow("menu Alt+H") << Window::Menu << "ＳＴＡＲＴ" << int(Qt::Key_H) << int(Qt::AltModifier) << "発表";
    QTest::newRow("address book Esc") << Window::AddressBook << "名前 1" << int(Qt::Key_Escape) << 0 << "戻る";
    QTest::newRow("mail settings Esc") << Window::MailSettings << "アカウント名" << int(Qt::Key_Escape) << 0 << "戻る";
    QTest::newRow("invitation Enter in subject") << Window::Invitation << "件名" << int(Qt::Key_Return) << 0 << "確定";
    QTest::newRow("questions Enter in a number box") << Window::Questions << "問題数" << int(Qt::Key_Return) << 0 << "";
    QTest::newRow("invitation Enter in body") << Window::Invitation << "本文" << int(Qt::Key_Return) << 0 << "";
    QTest::newRow("invitation Enter on back") << Window::Invitation << "戻る" << int(Qt::Key_Return) << 0 << "戻る";
    QTest::newRow("questions Alt+K") << Window::Questions << "件名" << int(Qt::Key_K) << int(Qt::AltModifier) << "確定";
    QTest::newRow("closing mail Esc in body") << Window::ClosingMail << "クイズ終了メール" << int(Qt::Key_Escape) << 0
                                              << "戻る";
}

void TestForm1::keysPressTheirButtons() {
    QFETCH(Window, window);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, pressed);
    TestWorld world;
    std::unique_ptr<QWidget> w = makeWindow(world, window);
    // A closing window must not go away under the test: only the presses count.
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    QStringList clicks;
    for (QPushButton* b : w->findChildren<QPushButton*>()) {
        QObject::disconnect(b, &QPushButton::clicked, nullptr, nullptr);
        QObject::connect(b, &QPushButton::clicked, b, [&clicks, b] { clicks << b->text(); });
    }
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    QWidget* target = named(w.get(), focus);
    QVERIFY2(target, qPrintable(focus));
    target->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // A button's own key presses it the way a click looks: released a moment later.
    QTest::qWait(300);
    QCOMPARE(clicks, pressed.isEmpty() ? QStringList() : QStringList{pressed});
}

// A box that takes no input shows the window's background and Tab passes
// it by; one that takes input keeps the input colour. A read-only mail or
// certificate is still reached by Tab, to be read and selected.
void TestForm1::boxesTakingNoInputLookIt_data() {
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("tabStop");
    QTest::newRow("menu cell") << Window::Menu << "正解率 10" << true << false;
    QTest::newRow("menu status") << Window::Menu << "状況" << true << false;
    QTest::newRow("certificate") << Window::MailSettings << "証明書" << true << true;
    QTest::newRow("account") << Window::MailSettings << "アカウント名" << false << true;
    QTest::newRow("invitation count") << Window::Invitation << "文字数" << true << false;
    QTest::newRow("invitation subject") << Window::Invitation << "件名" << false << true;
    QTest::newRow("points") << Window::Questions << "得点" << true << false;
    QTest::newRow("choice number") << Window::Questions << "回答番号 1" << true << false;
    QTest::newRow("question mail") << Window::Questions << "問題メール" << false << true;
    QTest::newRow("closing count") << Window::ClosingMail << "送信文字数" << true << false;
}

void TestForm1::boxesTakingNoInputLookIt() {
    QFETCH(Window, window);
    QFETCH(QString, box);
    QFETCH(bool, readOnly);
    QFETCH(bool, tabStop);
    TestWorld world;
    std::unique_ptr<QWidget> w = makeWindow(world, window);
    QWidget* b = named(w.get(), box);
    QVERIFY2(b, qPrintable(box));
    if (auto* line = qobject_cast<QLineEdit*>(b)) QCOMPARE(line->isReadOnly(), readOnly);
    if (auto* multi = qobject_cast<QPlainTextEdit*>(b)) QCOMPARE(multi->isReadOnly(), readOnly);
    QCOMPARE(looksReadOnly(b), readOnly);
    QCOMPARE(b->palette().color(QPalette::Base),
             QApplication::palette(b).color(readOnly ? QPalette::Window : QPalette::Base));
    QCOMPARE((b->focusPolicy() & Qt::TabFocus) == Qt::TabFocus, tabStop);
    QVERIFY(b->focusPolicy() & Qt::ClickFocus);   // its text can still be selected
}

// Its name after every window's title, its menu entry, its icon - the
// installed theme's where there is one, else its own - and Qt's own texts
// in Japanese. (Last: it changes the whole test program.)
void TestForm1::programPresentsItself() {
    QVERIFY(programIcon().name().isEmpty());   // no theme here has it
    QCOMPARE(programIcon().availableSizes().size(), 7);
    QTemporaryDir installed;
    const QString apps = installed.filePath("hicolor/48x48/apps");
    QVERIFY(QDir().mkpath(apps));
    QVERIFY(QFile::copy(qEnvironmentVariable("TRV_SOURCE_DIR") + "/dist/icons/hicolor/48x48/apps/trivorn.png",
                        apps + "/trivorn.png"));
    QFile index(installed.filePath("hicolor/index.theme"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n\n[48x48/apps]\nSize=48\nType=Fixed\n");
    index.close();
    const QStringList paths = QIcon::themeSearchPaths();
    QIcon::setThemeSearchPaths({installed.path()});
    QIcon::setThemeName("hicolor");
    QCOMPARE(programIcon().name(), QString("trivorn"));
    QIcon::setThemeSearchPaths(paths);

    presentProgram(*qApp);
    QCOMPARE(QGuiApplication::applicationDisplayName(), QString("TRIVORN"));
    QCOMPARE(QGuiApplication::desktopFileName(), QString("jp.trivorn.Trivorn"));
    QVERIFY(!QGuiApplication::windowIcon().isNull());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("キャンセル"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("アドレス:"));
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QString::fromUtf8("コピー(&C)"));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
