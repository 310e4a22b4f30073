#pragma once
#include <cstdint>
#include <memory>

#include "mail/SessionView.h"
#include "mail/SmtpSession.h"
#include "model/Module1.h"
#include "platform/Socket.h"
#include "platform/Timer.h"
#include "run/MailJobs.h"
#include "ui/EditorWindow.h"

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The feedback window "質問＆バグ＆感想": one mail with a question, a bug
// report or an impression, sent through the operator's SMTP server to the
// maker's support address. The dialogue is the round's SMTP session on this
// window's own socket and timer, with one recipient and no progress bar.
class Form10 : public EditorWindow {
    Q_OBJECT
public:
    explicit Form10(Module1& module1, QWidget* parent = nullptr);
    ~Form10() override;

    Module1& m;

    QLabel* Label0;             // お名前
    QLineEdit* Text0;           // the operator's name, shown only
    QLabel* Label1;             // 件名
    QLineEdit* Text1;           // the fixed subject; never takes the focus
    QLabel* Label2;             // 本文
    QPlainTextEdit* Text2;      // the message
    QLineEdit* Text3;           // status line of the dialogue
    QPushButton* Command1;      // 送信

    std::unique_ptr<Socket> Winsock1;
    std::unique_ptr<Timer> Timer1;

    // Tests point the session at a server of their own.
    SessionOverrides overrides;

    void Form_Load();
    void Text1_GotFocus();
    void Command1_Click();


protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class View : public SessionView {
    public:
        explicit View(Form10& form) : form_(form) {}
        void setStatus(const SjisText& text) override;
        void showMessage(const SjisText& text) override;
        void certificateRefused(const SjisText& server, const SjisText& problems,
                                const std::string& fingerprint) override;

    private:
        Form10& form_;
    };

    void buildControls();
    void connectHandlers();
    void message(const char* utf8);

    View view_{*this};
    std::unique_ptr<SmtpSession> session_;
    bool sending_ = false;
    bool closeAfterSending_ = false;
};
