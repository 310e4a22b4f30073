#include "ui/EditorWindow.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QShowEvent>

#include "platform/MessageBox.h"
#include "ui/WindowPlacement.h"

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
