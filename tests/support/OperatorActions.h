#pragma once
// Driving the windows as an operator would: choosing from a combo box's
// list, typing, Japanese input through the input method, clicking.
#include <QAccessible>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

#include "platform/DataFiles.h"

namespace op {

// Opens the list and clicks the entry, as with the mouse. False when the
// entry is not in the list or the list did not open.
inline bool choose(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry, Qt::MatchExactly);
    if (index < 0) return false;
    box->showPopup();
    QAbstractItemView* view = box->view();
    if (!view || !view->isVisible()) return false;
    const QModelIndex item = view->model()->index(index, box->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint centre = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
    if (view->isVisible()) box->hidePopup();
    return true;
}

// Opens the list through every action assistive technology offers on the
// box (a screen reader's "show menu", an automation tool's "press") and, if
// it shows, clicks the entry there. True when the list was open to click.
inline bool chooseThroughAccessibility(QComboBox* box, const QString& entry) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
    QAccessibleActionInterface* actions = a ? a->actionInterface() : nullptr;
    if (!actions) return false;
    QAbstractItemView* view = box->view();
    // One action at a time: "Press" closes a list that "ShowMenu" opened.
    for (const QString& action : actions->actionNames()) {
        actions->doAction(action);
        QTest::qWait(50);   // a list closed again is closed through the event loop
        if (!view->isVisible()) continue;
        const int index = box->findText(entry, Qt::MatchExactly);
        const QModelIndex item = view->model()->index(index, box->modelColumn(), view->rootIndex());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        if (view->isVisible()) box->hidePopup();
        return true;
    }
    return false;
}

// Where Tab takes the focus in `window`, from `first` on, until it comes back
// to `first` (or after far more presses than the window has controls).
inline QList<QWidget*> tabCycle(QWidget* window, QWidget* first) {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) return {};
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (int presses = 0; presses < 400; ++presses) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == visited.first()) break;
        visited << now;
    }
    return visited;
}

// The controls of `window` Tab is to stop at: shown, enabled, taking the
// focus by Tab and not handing it on to another.
inline QList<QWidget*> tabStops(QWidget* window) {
    QList<QWidget*> stops;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->window() == window && w->isVisible() && w->isEnabled() && !w->focusProxy() &&
            (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus)
            stops << w;
    return stops;
}

inline bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0x7E) return false;
    return true;
}

// Input method commit: how kana-kanji conversion hands finished text over.
inline void commit(QWidget* target, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(target, &event);
}

// Replaces the whole text of a box by typing (ASCII) or by the input method
// (anything else); an empty text deletes what is there.
inline void retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else if (isAscii(text))
        QTest::keyClicks(box, text);
    else
        commit(box, text);
}

inline void retype(QComboBox* box, const QString& text) { retype(box->lineEdit(), text); }

inline void retype(QPlainTextEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Delete);
        return;
    }
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(box, Qt::Key_Return);
        if (lines[i].isEmpty()) continue;
        if (isAscii(lines[i]))
            QTest::keyClicks(box, lines[i]);
        else
            commit(box, lines[i]);
    }
}

// Adds text at the end of a multi-line box.
inline void append(QPlainTextEdit* box, const QString& text) {
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    commit(box, text);
}

// Whether the operator could change this box at all.
inline bool takesTyping(QLineEdit* box) {
    const QString before = box->text();
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, "z");
    const bool changed = box->text() != before;
    if (changed) QTest::keyClick(box, Qt::Key_Backspace);
    return changed;
}

inline bool takesTyping(QPlainTextEdit* box) {
    const QString before = box->toPlainText();
    box->setFocus();
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, "z");
    const bool changed = box->toPlainText() != before;
    if (changed) QTest::keyClick(box, Qt::Key_Backspace);
    return changed;
}

inline QStringList entries(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
    return list;
}

inline QStringList numbers(int first, int last, int step = 1) {
    QStringList list;
    for (int n = first; n <= last; n += step) list << QString::number(n);
    return list;
}

// Length of a box's text as the system counts it, in Shift_JIS bytes and in
// characters (a two-byte character is one), worked out from the Unicode text
// without the program's converter. Line breaks count as CR LF.
inline int sjisBytes(const QString& widgetText) {
    const QString text = QString(widgetText).replace("\n", "\r\n");
    int n = 0;
    for (QChar c : text) n += (c.unicode() < 0x80 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F)) ? 1 : 2;
    return n;
}
inline int sjisChars(const QString& widgetText) { return int(QString(widgetText).replace("\n", "\r\n").size()); }

// The folder's files, except that no write ever succeeds (a full disk), or
// only writes to the one file named `only` fail.
class WritesFail : public DataFiles {
public:
    explicit WritesFail(DataFiles& real, std::string only = {}) : real_(real), only_(std::move(only)) {}
    bool open(const std::string& name, Mode mode) override {
        name_ = name;
        return real_.open(name, mode);
    }
    std::optional<std::string> readRecord() override { return real_.readRecord(); }
    bool writeRecord(const std::string& record) override {
        if (only_.empty() || name_ == only_) return false;
        return real_.writeRecord(record);
    }
    void close() override { real_.close(); }
    bool isOpen() const override { return real_.isOpen(); }

private:
    DataFiles& real_;
    std::string only_;
    std::string name_;
};

}  // namespace op
