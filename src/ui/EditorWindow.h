#pragma once
#include <QPointer>
#include <QWidget>

class QPushButton;

// The base of every window the main window opens (mail settings, address
// book, invitation, questions, closing mail, feedback). However the window
// goes away - its close box, a close() or hide() from one of its buttons, or
// being deleted while shown - it emits closed() exactly once per showing, so
// the main window always comes back.
class EditorWindow : public QWidget {
    Q_OBJECT
public:
    explicit EditorWindow(QWidget* parent = nullptr);
    ~EditorWindow() override;

    // Run each time the main window shows this window (the first time right
    // after construction). Windows refresh what they show here.
    virtual void Form_Activate() {}

    // As in a dialog: Enter presses the default button (or the button that
    // has the focus), except in a combo box, Esc the cancel button; each only
    // while it can be pressed.
    void setDefaultButton(QPushButton* button);
    void setCancelButton(QPushButton* button);
    QPushButton* defaultButton() const;
    QPushButton* cancelButton() const;

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Only keys no control took: Enter in a multi-line box is a new line.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void reportClosed();

    bool showing_ = false;
    QPointer<QPushButton> defaultButton_;
    QPointer<QPushButton> cancelButton_;
};
