#pragma once
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>

class MessageBox;
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
    // For a window whose "戻る" and close box leave without saving. `draft`
    // gives what saving would store now, or nothing while there is nothing
    // the operator could save (an earlier round shown). Leaving, or anything
    // else that would throw the draft away, first asks the operator when it
    // differs from the one last loaded or saved.
    void askBeforeDroppingEdits(MessageBox& messages, std::function<std::string()> draft);
    // What is on screen now is what the files hold: call after loading or saving.
    void draftSaved();
    // True when nothing unsaved would be lost, or the operator chose to
    // discard it.
    bool mayDropEdits();

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Only keys no control took: Enter in a multi-line box is a new line.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void reportClosed();

    bool showing_ = false;
    MessageBox* messages_ = nullptr;
    std::function<std::string()> draft_;
    std::string savedDraft_;
    QPointer<QPushButton> defaultButton_;
    QPointer<QPushButton> cancelButton_;
};
