#include "ui/EditorWindow.h"

#include <QHideEvent>
#include <QShowEvent>

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
