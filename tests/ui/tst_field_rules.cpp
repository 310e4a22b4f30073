// What every editor does with text that could not be stored or sent as it is
// shown: a character Windows-31J does not have, or more bytes than the field
// holds. Saving (or leaving, where leaving saves) is refused with one message
// naming the box and the problem, nothing is written, and the box is marked
// while the text is in it.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <functional>

#include "demo/PreparedRound.h"
#include "support/TestWorld.h"
#include "ui/ConnectionGroup.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/PageScrollBar.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// One case: the window, the box typed into, how it is saved.
struct Case {
    std::function<QWidget*(Module1&)> open;
    std::function<QWidget*(QWidget*)> box;    // a QLineEdit, QPlainTextEdit or QComboBox
    std::function<void(QWidget*)> save;       // presses 確定, or leaves the window
};

template <typename F>
Case editor(std::function<QWidget*(F*)> box, std::function<void(F*)> save) {
    return Case{[](Module1& m) -> QWidget* { return new F(m); },
                [box](QWidget* w) { return box(static_cast<F*>(w)); },
                [save](QWidget* w) { save(static_cast<F*>(w)); }};
}

template <typename F>
Case confirmed(std::function<QWidget*(F*)> box) {
    return editor<F>(box, [](F* w) { QTest::mouseClick(w->Command1, Qt::LeftButton); });
}

void type(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setFocus();
        line->selectAll();
        line->insert(text);   // as typed: within the box's own length limit
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
        plain->setFocus();
        plain->selectAll();
        plain->insertPlainText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
        combo->setFocus();
        combo->lineEdit()->selectAll();
        combo->lineEdit()->insert(text);
    }
}

// The box that shows the mark: a combo box's line edit.
QWidget* markedBox(QWidget* box) {
    auto* combo = qobject_cast<QComboBox*>(box);
    return combo ? combo->lineEdit() : box;
}

// Holds the mouse on the bar's arrow (Fusion draws it at each end) for
// longer than Qt waits before it repeats the step, then lets go.
void holdArrow(QScrollBar* bar, bool down) {
    const QPoint arrow(bar->width() / 2, down ? bar->height() - 3 : 3);
    QTest::mousePress(bar, Qt::LeftButton, {}, arrow);
    QTest::qWait(900);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, arrow);
}

// One flick of the wheel over `over` (the bar, or a row): several notches
// in a row.
void turnWheel(QWidget* over, int notches) {
    const QPointF at(over->width() / 2.0, over->height() / 2.0);
    for (int i = 0; i < notches; ++i) {
        QWheelEvent wheel(at, over->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    }
}

QString shownText(QWidget* box) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) return plain->toPlainText();
    return qobject_cast<QComboBox*>(box)->currentText();
}

QByteArray folderBytes(const TestWorld& world) {
    QByteArray all;
    for (const QString& name : QDir(world.folder()).entryList(QDir::Files, QDir::Name))
        all += name.toUtf8() + '\0' + world.readFile(name) + '\0';
    return all;
}

}  // namespace

Q_DECLARE_METATYPE(Case)

class TestFieldRules : public QObject {
    Q_OBJECT
private slots:
    void refusedAndNothingWritten_data();
    void refusedAndNothingWritten();
    void typedWorkIsDroppedOnlyWhenTheOperatorSaysSo_data();
    void typedWorkIsDroppedOnlyWhenTheOperatorSaysSo();
};

void TestFieldRules::refusedAndNothingWritten_data() {
    QTest::addColumn<Case>("window");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("problem");   // what the message must say besides the box's name

    const QString yoshi = u("𠮷野家"), emoji = u("参加😀"), euro = u("10€");
    // 40 000 two-byte characters: 80 000 bytes, more than any stored text.
    const QString huge = QString(40000, QChar(0x3042));
    // 20 000: 40 000 bytes, more than a counted mail body's 32 767.
    const QString long_ = QString(20000, QChar(0x3042));
    const QString unsendable = u("U+20BB7"), unsendableEmoji = u("U+1F600"), unsendableEuro = u("U+20AC");
    const QString tooLong = u("65535 バイトまで"), bodyTooLong = u("32767 バイトまで");

    auto settings = [](std::function<QLineEdit*(Form2*)> f) {
        return editor<Form2>([f](Form2* w) -> QWidget* { return f(w); },
                             [](Form2* w) { QTest::mouseClick(w->Command1, Qt::LeftButton); });
    };
    QTest::newRow("mail settings: server") << settings([](Form2* w) { return w->Text1; }) << yoshi << unsendable;
    QTest::newRow("mail settings: password") << settings([](Form2* w) { return w->Text4; }) << euro << unsendableEuro;
    QTest::newRow("mail settings: name") << settings([](Form2* w) { return w->Text6; }) << emoji << unsendableEmoji;
    QTest::newRow("mail settings: name too long") << settings([](Form2* w) { return w->Text6; }) << huge << tooLong;
    // The box lets a number on its way to a port through while typing.
    QTest::newRow("mail settings: port out of range")
        << editor<Form2>([](Form2* w) -> QWidget* { return w->Connection->smtpPort; },
                         [](Form2* w) { QTest::mouseClick(w->Command1, Qt::LeftButton); })
        << u("99999") << u("1 から 65535 までの整数");
    QTest::newRow("mail settings: left by the close box")
        << editor<Form2>([](Form2* w) -> QWidget* { return w->Text5; }, [](Form2* w) { w->close(); }) << yoshi
        << unsendable;

    auto book = [](std::function<QLineEdit*(Form3*)> f) {
        return editor<Form3>([f](Form3* w) -> QWidget* { return f(w); },
                             [](Form3* w) { QTest::mouseClick(w->Command1, Qt::LeftButton); });
    };
    QTest::newRow("address book: name") << book([](Form3* w) { return w->Text1[3]; }) << yoshi << unsendable;
    QTest::newRow("address book: address") << book([](Form3* w) { return w->Text2[0]; }) << emoji << unsendableEmoji;
    QTest::newRow("address book: name too long") << book([](Form3* w) { return w->Text1[9]; }) << huge << tooLong;
    QTest::newRow("address book: another page")
        << editor<Form3>([](Form3* w) -> QWidget* { return w->Text1[0]; },
                         [](Form3* w) { w->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd); })
        << yoshi << unsendable;
    // The arrow held down: Qt repeats the step every few milliseconds, and
    // each repeat must not bring the message back.
    QTest::newRow("address book: arrow held")
        << editor<Form3>([](Form3* w) -> QWidget* { return w->Text1[9]; }, [](Form3* w) { holdArrow(w->VScroll1, true); })
        << emoji << u("😀 (U+1F600)");
    QTest::newRow("address book: wheel turned")
        << editor<Form3>([](Form3* w) -> QWidget* { return w->Text2[4]; }, [](Form3* w) { turnWheel(w->VScroll1, 3); })
        << emoji << u("😀 (U+1F600)");
    QTest::newRow("address book: wheel over the rows")
        << editor<Form3>([](Form3* w) -> QWidget* { return w->Text1[2]; }, [](Form3* w) { turnWheel(w->Text2[7], 2); })
        << emoji << u("😀 (U+1F600)");
    // A screen reader sets the bar's value without any of its actions.
    QTest::newRow("address book: page set by a screen reader")
        << editor<Form3>([](Form3* w) -> QWidget* { return w->Text1[2]; },
                         [](Form3* w) {
                             QAccessible::queryAccessibleInterface(w->VScroll1)->valueInterface()->setCurrentValue(5);
                         })
        << yoshi << u("「名前 3」の文字 𠮷 (U+20BB7)");
    // Named by the entry, not by the row on screen.
    QTest::newRow("address book: the last entry")
        << editor<Form3>(
               [](Form3* w) -> QWidget* {
                   w->VScroll1->setValue(Form3::kLastPage);
                   return w->Text1[9];
               },
               [](Form3* w) { holdArrow(w->VScroll1, false); })
        << yoshi << u("「名前 1000」の文字 𠮷 (U+20BB7)");

    QTest::newRow("invitation: greeting") << confirmed<Form4>([](Form4* w) -> QWidget* { return w->Combo0; }) << emoji
                                          << unsendableEmoji;
    QTest::newRow("invitation: subject") << confirmed<Form4>([](Form4* w) -> QWidget* { return w->Text1; }) << yoshi
                                         << unsendable;
    QTest::newRow("invitation: body") << confirmed<Form4>([](Form4* w) -> QWidget* { return w->Text2; }) << euro
                                      << unsendableEuro;
    QTest::newRow("invitation: body too long") << confirmed<Form4>([](Form4* w) -> QWidget* { return w->Text2; })
                                               << long_ << bodyTooLong;

    QTest::newRow("questions: subject") << confirmed<Form5>([](Form5* w) -> QWidget* { return w->Text1; }) << yoshi
                                        << unsendable;
    QTest::newRow("questions: choice") << confirmed<Form5>([](Form5* w) -> QWidget* { return w->Text6[1]; }) << emoji
                                       << unsendableEmoji;
    // The mail carries the question with its instructions and answer line:
    // the question may only take what the mail leaves.
    QTest::newRow("questions: text too long for its mail")
        << confirmed<Form5>([](Form5* w) -> QWidget* { return w->Text2; }) << huge << u("バイトまでにして下さい（今は 80000");
    QTest::newRow("questions: choices' arrow held")
        << editor<Form5>([](Form5* w) -> QWidget* { return w->Text6[1]; }, [](Form5* w) { holdArrow(w->VScroll1, true); })
        << emoji << u("「選択肢 2」の文字 😀 (U+1F600)");
    QTest::newRow("questions: wheel over the choices")
        << editor<Form5>([](Form5* w) -> QWidget* { return w->Text6[1]; }, [](Form5* w) { turnWheel(w->Check1[3], 1); })
        << emoji << u("「選択肢 2」の文字 😀 (U+1F600)");
    QTest::newRow("questions: a choice of the second page")
        << editor<Form5>(
               [](Form5* w) -> QWidget* {
                   w->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                   return w->Text6[1];
               },
               [](Form5* w) { holdArrow(w->VScroll1, false); })
        << emoji << u("「選択肢 7」の文字 😀 (U+1F600)");
    QTest::newRow("questions: another question")
        << editor<Form5>([](Form5* w) -> QWidget* { return w->Text2; },
                         [](Form5* w) {
                             w->Combo3->setCurrentIndex(1);
                             emit w->Combo3->activated(1);
                         })
        << yoshi << unsendable;

    QTest::newRow("closing mail: name") << confirmed<Form6>([](Form6* w) -> QWidget* { return w->Text0; }) << emoji
                                        << unsendableEmoji;
    QTest::newRow("closing mail: body too long") << confirmed<Form6>([](Form6* w) -> QWidget* { return w->Text2; })
                                                 << long_ << bodyTooLong;

    QTest::newRow("feedback: message") << confirmed<Form10>([](Form10* w) -> QWidget* { return w->Text2; }) << yoshi
                                       << unsendable;
}

void TestFieldRules::refusedAndNothingWritten() {
    QFETCH(Case, window);
    QFETCH(QString, typed);
    QFETCH(QString, problem);

    TestWorld world;
    PreparedRound round;
    round.addressBook = {{u("山田太郎"), "taro@docomo.ne.jp"}};
    round.questions = {{{}, u("日本一高い山は?"), {u("富士山"), u("北岳")}, 1, 10, 1},
                       {{}, u("日本一長い川は?"), {u("信濃川"), u("利根川")}, 1, 10, 1}};
    QVERIFY(round.writeTo(world.files));
    const QByteArray before = folderBytes(world);

    QPointer<QWidget> w = window.open(world.module1);
    w->show();
    QWidget* box = window.box(w);
    type(box, typed);
    const bool marked = !problem.contains(u("65535 までの整数"));   // a port is no text to mark
    if (typed.size() < 100 && marked) {
        // Marked at once, before any attempt to save.
        const QString character = problem.section(u("の文字 "), -1);
        QVERIFY2(markedBox(box)->toolTip().contains(character), qPrintable(markedBox(box)->toolTip()));
    }
    world.messageBox.clear();
    window.save(w);

    QVERIFY2(w && w->isVisible(), "the window went away with text it could not keep");
    QCOMPARE(world.messageBox.texts().size(), 1);
    const QString message = world.messageBox.texts()[0];
    QVERIFY2(message.startsWith(u("「") + box->accessibleName() + u("」")), qPrintable(message));
    QVERIFY2(message.contains(problem), qPrintable(message));
    QCOMPARE(shownText(box), typed);   // nothing typed is lost
    // The window's focus (it is not the active window of this test run).
    QVERIFY2(w->focusWidget() == markedBox(box) || w->focusWidget() == box, "the focus is not in the box named");
    QCOMPARE(folderBytes(world), before);
    delete w;
}

namespace {

// What the operator does before leaving, and how the window is left.
struct Leaving {
    std::function<QWidget*(Module1&)> open;
    std::function<void(QWidget*)> edit;    // may do nothing
    std::function<void(QWidget*)> leave;
};

template <typename F>
Leaving leaving(std::function<void(F*)> edit, std::function<void(F*)> leave) {
    return Leaving{[](Module1& m) -> QWidget* { return new F(m); }, [edit](QWidget* w) { edit(static_cast<F*>(w)); },
                   [leave](QWidget* w) { leave(static_cast<F*>(w)); }};
}

template <typename F>
void back(F* w) {
    QTest::mouseClick(w->Command2, Qt::LeftButton);
}

template <typename F>
void closeBox(F* w) {
    w->close();
}

template <typename F>
void saved(F* w) {
    QTest::mouseClick(w->Command1, Qt::LeftButton);
}

template <typename F>
void nothing(F*) {}

// The round selector set to the round before the one being prepared.
void chooseEarlierRound(QComboBox* selector) {
    selector->setCurrentIndex(0);
    emit selector->activated(0);
}

}  // namespace

Q_DECLARE_METATYPE(Leaving)

void TestFieldRules::typedWorkIsDroppedOnlyWhenTheOperatorSaysSo_data() {
    QTest::addColumn<Leaving>("how");
    QTest::addColumn<bool>("discard");     // the operator's answer, if asked
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("stays");       // the window is still open afterwards
    QTest::addColumn<bool>("filesSame");   // the data folder is as it was

    auto subject4 = [](Form4* w) { type(w->Text1, u("第2回のご案内")); };
    auto choice5 = [](Form5* w) { type(w->Text6[0], u("富士山頂")); };
    // Typed into the second question, then the first brought back: the
    // edit is in the working set, no longer on screen.
    auto otherQuestion5 = [](Form5* w) {
        w->Combo3->setCurrentIndex(1);
        emit w->Combo3->activated(1);
        type(w->Text2, u("日本一大きい湖は?"));
        w->Combo3->setCurrentIndex(0);
        emit w->Combo3->activated(0);
    };
    auto name6 = [](Form6* w) { type(w->Text0, u("クイズ係")); };

    QTest::newRow("invitation: nothing typed, back") << leaving<Form4>(nothing<Form4>, back<Form4>) << true << false << false << true;
    QTest::newRow("invitation: typed, back, cancel") << leaving<Form4>(subject4, back<Form4>) << false << true << true << true;
    QTest::newRow("invitation: typed, close box, discard") << leaving<Form4>(subject4, closeBox<Form4>) << true << true << false << true;
    QTest::newRow("invitation: typed, saved") << leaving<Form4>(subject4, saved<Form4>) << true << false << false << false;
    QTest::newRow("invitation: typed, earlier round chosen, cancel")
        << leaving<Form4>(subject4, [](Form4* w) { chooseEarlierRound(w->Combo1); }) << false << true << true << true;
    // (Showing a round whose invitation was never stored creates its empty file.)
    QTest::newRow("invitation: earlier round shown, back")
        << leaving<Form4>([](Form4* w) { chooseEarlierRound(w->Combo1); }, back<Form4>) << false << false << false << false;
    QTest::newRow("questions: nothing typed, close box") << leaving<Form5>(nothing<Form5>, closeBox<Form5>) << true << false << false << true;
    QTest::newRow("questions: typed, back, cancel") << leaving<Form5>(choice5, back<Form5>) << false << true << true << true;
    QTest::newRow("questions: typed off screen, back, discard") << leaving<Form5>(otherQuestion5, back<Form5>) << true << true << false << true;
    QTest::newRow("questions: typed, saved") << leaving<Form5>(choice5, saved<Form5>) << true << false << false << false;
    QTest::newRow("questions: typed, earlier round chosen, cancel")
        << leaving<Form5>(choice5, [](Form5* w) { chooseEarlierRound(w->Combo1); }) << false << true << true << true;
    QTest::newRow("closing mail: nothing typed, back") << leaving<Form6>(nothing<Form6>, back<Form6>) << true << false << false << true;
    QTest::newRow("closing mail: typed, close box, cancel") << leaving<Form6>(name6, closeBox<Form6>) << false << true << true << true;
    QTest::newRow("closing mail: typed, back, discard") << leaving<Form6>(name6, back<Form6>) << true << true << false << true;
}

void TestFieldRules::typedWorkIsDroppedOnlyWhenTheOperatorSaysSo() {
    QFETCH(Leaving, how);
    QFETCH(bool, discard);
    QFETCH(bool, asked);
    QFETCH(bool, stays);
    QFETCH(bool, filesSame);

    TestWorld world;
    PreparedRound round;
    round.round = 2;
    round.addressBook = {{u("山田太郎"), "taro@docomo.ne.jp"}};
    round.questions = {{{}, u("日本一高い山は?"), {u("富士山"), u("北岳")}, 1, 10, 1},
                       {{}, u("日本一長い川は?"), {u("信濃川"), u("利根川")}, 1, 10, 1}};
    QVERIFY(round.writeTo(world.files));
    const QByteArray before = folderBytes(world);

    QPointer<QWidget> w = how.open(world.module1);
    w->show();
    how.edit(w);
    world.messageBox.answer = discard;
    how.leave(w);

    const QStringList expected = asked ? QStringList{u("変更を破棄しますか？|破棄|キャンセル")} : QStringList();
    QCOMPARE(world.messageBox.asked, expected);
    QCOMPARE(bool(w) && w->isVisible(), stays);
    QCOMPARE(folderBytes(world) == before, filesSame);
    QVERIFY2(world.messageBox.texts().isEmpty(), qPrintable(world.messageBox.texts().join(u'\n')));
    delete w;
}

QTEST_MAIN(TestFieldRules)
#include "tst_field_rules.moc"
