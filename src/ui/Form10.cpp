#include "ui/Form10.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "mail/SessionWiring.h"
#include "mail/StoredPasswords.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "run/OwedMail.h"
#include "run/RunTexts.h"
#include "run/Waiting.h"
#include "ui/ButtonKeys.h"
#include "ui/FieldRules.h"
#include "ui/Widgets.h"

namespace {
// How long the window goes on trying mail the server put off before it says
// the mail could not be sent: the pauses of 15, 30 and 60 seconds.
constexpr std::uint32_t kFeedbackRetryMs = 3 * 60000;
}  // namespace

Form10::Form10(Module1& module1, QWidget* parent) : EditorWindow(parent), m(module1) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Winsock1 = m.platform.makeSocket();
    Timer1 = m.platform.makeTimer();
    Timer1->setEnabled(false);
    Timer1->setInterval(kSessionTimeoutMs);
    session_ = std::make_unique<SmtpSession>(*Winsock1, *Timer1, view_);
    connectHandlers();
    Form_Load();
}

Form10::~Form10() {
    // Nothing of a dialogue may reach a window that is gone.
    session_->abandon();
}

void Form10::buildControls() {
    setWindowTitle(uiText("質問＆バグ＆感想"));
    setAccessibleName(uiText("質問＆バグ＆感想"));

    Label0 = captionLabel(uiText("お名前"), this);
    Text0 = new QLineEdit(this);
    Text0->setReadOnly(true);
    Label1 = captionLabel(uiText("件名"), this);
    Text1 = new QLineEdit(uiText("TRIVORN（質問＆バグ＆感想）"), this);
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Label2 = captionLabel(uiText("本文"), this);
    Text2 = new QPlainTextEdit(this);
    Text2->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text2->setMinimumSize(420, 220);
    guardText(Text2);
    Text3 = new QLineEdit(this);
    Text3->setReadOnly(true);
    Text3->setAccessibleName(uiText("状況"));
    for (QLineEdit* box : {Text0, Text1, Text3}) followReadOnly(box);
    Command1 = new QPushButton(uiText("送信"), this);
    Command1->setAccessibleName(uiText("送信"));
    for (auto [l, box] : {std::pair<QLabel*, QWidget*>{Label0, Text0}, {Label1, Text1}, {Label2, Text2}}) {
        l->setBuddy(box);
        box->setAccessibleName(l->text());
    }

    auto* fields = new QGridLayout;
    fields->addWidget(Label0, 0, 0);
    fields->addWidget(Text0, 0, 1);
    fields->addWidget(Label1, 1, 0);
    fields->addWidget(Text1, 1, 1);
    fields->addWidget(Label2, 2, 0, Qt::AlignTop);
    fields->addWidget(Text2, 2, 1);
    QHBoxLayout* buttons = buttonRow({Command1});
    auto* page = new QVBoxLayout(this);
    page->addLayout(fields);
    page->addWidget(Text3);
    page->addLayout(buttons);
    giveButtonsTheirKeys(this);
}

void Form10::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &Form10::Command1_Click);
    Text1->installEventFilter(this);
    // A server that closes early, a refused connection or an error on the
    // socket ends the dialogue at once: there is nothing left to wait ten
    // seconds for.
    wireSession(*session_, *Winsock1, *Timer1, SocketErrorPolicy::EndSession);
}

void Form10::Form_Load() {
    const MailSettingsRead settings = readMailSettings(m);
    if (m.mailSettings.Pop3Server.empty()) {
        message("メールの設定をして下さい");
        return;
    }
    // The mail may still go without a login; said before it is written.
    if (MessageBox* box = m.platform.messageBox; box && settings.keyringFailed) box->show(RunTexts::kPasswordsNotRead);
    setText(Text0, m.mailSettings.SenderName);
    Text2->clear();
    // The message is what the operator came to write.
    Text2->setFocus();
}

bool Form10::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::FocusIn) Text1_GotFocus();
    return EditorWindow::eventFilter(watched, event);
}

// The subject is fixed: whoever reaches it is passed on to the message.
void Form10::Text1_GotFocus() { Text2->setFocus(); }

void Form10::Command1_Click() {
    if (sending_) return;
    // The mail is not stored, so only what it cannot carry is refused.
    if (!noFieldProblem(*m.platform.messageBox, {{textProblem(Text2, std::size_t(-1)), Text2}})) return;
    sending_ = true;
    Command1->setEnabled(false);
    if (!Winsock1->isClosed()) Winsock1->close();
    message("メールを送信します");

    SmtpJob job = makeFeedbackSmtpJob(m, textOf(Text1), textOf(Text2));
    connectJob(job, m, overrides);
    const std::uint32_t began = m.platform.clock->tickCount();
    for (int tries = 1;; ++tries) {
        session_->start(job);
        waitForSessionEnd(m.platform, *session_);
        if (closeAfterSending_ || session_->deferred().empty()) break;
        // Put off by the server: tried again after a pause, as the round's
        // mail is, for as long as the operator may be expected to wait.
        const std::uint32_t pause = RetryPauseMs(tries);
        if (m.platform.clock->tickCount() - began + pause > kFeedbackRetryMs) break;
        Text3->setText(QStringLiteral("送信メールサーバーが一時的に受け付けませんでした（%1）。%2秒後に送り直します。")
                           .arg(Charset::toQt(session_->deferred().front().reply))
                           .arg(pause / 1000));
        wait(m.platform, pause, &closeAfterSending_);
    }
    sending_ = false;

    if (closeAfterSending_) {
        close();
        return;
    }
    // Sent only when the server took the mail; anything else can be tried again.
    if (session_->acceptedMessages() > 0) {
        message("メールを送信しました");
    } else {
        message("メールを送信できませんでした");
        Command1->setEnabled(true);
    }
}

void Form10::message(const char* utf8) {
    if (MessageBox* box = m.platform.messageBox) tell(*box, uiText(utf8));
}

void Form10::closeEvent(QCloseEvent* event) {
    if (sending_) {
        // The send in progress is given up and the window goes once the
        // sending handler has let go of it.
        session_->abandon();
        closeAfterSending_ = true;
        event->ignore();
        hide();
        return;
    }
    EditorWindow::closeEvent(event);
}


void Form10::View::setStatus(const SjisText& text) { setText(form_.Text3, text); }
void Form10::View::showMessage(const SjisText& text) {
    if (MessageBox* box = form_.m.platform.messageBox) box->show(text, true);
}
void Form10::View::certificateRefused(const SjisText& server, const SjisText& problems,
                                      const std::string& fingerprint) {
    form_.m.refusedCertificate = {server, problems, fingerprint};
}
