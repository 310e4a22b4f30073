#include "ui/EditorWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>

#include "platform/MessageBox.h"
#include "ui/WindowPlacement.h"

namespace {
bool insideComboBox(const QWidget* w) {
    for (; w; w = w->parentWidget())
        if (qobject_cast<const QComboBox*>(w)) return true;
    return false;
}
}  // namespace

EditorWindow::EditorWindow(QWidget* parent) : QWidget(parent) {
    // Editors are top-level windows of their own even when given a parent.
    setWindowFlag(Qt::Window);
    WindowPlacement::manage(this);
}

EditorWindow::~EditorWindow() {
    // Deleted while on screen (WA_DeleteOnClose, or its owner going away):
    // still let the main window know.
    reportClosed();
}

void EditorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) showing_ = true;
}

void EditorWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A spontaneous hide is the window system minimising the window: it is
    // still open. close() and hide() from code both arrive here.
    if (!event->spontaneous()) reportClosed();
}

void EditorWindow::reportClosed() {
    if (!showing_) return;
    showing_ = false;
    emit closed();
}

void EditorWindow::askBeforeDroppingEdits(MessageBox& messages, std::function<std::string()> draft) {
    messages_ = &messages;
    draft_ = std::move(draft);
    draftSaved();
}

void EditorWindow::draftSaved() {
    if (draft_) savedDraft_ = draft_();
}

bool EditorWindow::mayDropEdits() {
    if (!draft_) return true;
    const std::string now = draft_();
    if (now.empty() || now == savedDraft_) return true;
    if (!messages_->ask("変更を破棄しますか？", "破棄", "キャンセル")) return false;
    // Asked once: whatever closes the window next does not ask again.
    savedDraft_ = now;
    return true;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    if (!mayDropEdits()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void EditorWindow::setDefaultButton(QPushButton* button) {
    if (defaultButton_) defaultButton_->setDefault(false);
    defaultButton_ = button;
    if (button) button->setDefault(true);
}

void EditorWindow::setCancelButton(QPushButton* button) { cancelButton_ = button; }

QPushButton* EditorWindow::defaultButton() const { return defaultButton_.data(); }

QPushButton* EditorWindow::cancelButton() const { return cancelButton_.data(); }

void EditorWindow::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    QPushButton* target = nullptr;
    if (mods == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            target = qobject_cast<QPushButton*>(focusWidget());
            // Enter in a number or choice box only ends the typing there:
            // a typed entry is not a choice, still less a save.
            if (!target && !insideComboBox(focusWidget())) target = defaultButton_;
            break;
        case Qt::Key_Escape:
            target = cancelButton_;
            break;
        default:
            break;
        }
    }
    if (target && target->isVisible() && target->isEnabled()) {
        event->accept();
        target->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
