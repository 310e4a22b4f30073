#include "ui/ConnectionGroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>

#include <initializer_list>

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "platform/qt/Charset.h"
#include "ui/FieldRules.h"
#include "ui/Widgets.h"

namespace {

// A choice as the list shows it and as trv1x.dat stores it: the stored
// value never depends on where the item stands in the list.
struct Choice {
    const char* caption;   // UTF-8
    std::int16_t stored;
};

const Choice kSmtpProtections[] = {
    {"なし", stored(Protection::None)}, {"STARTTLS", stored(Protection::StartTls)}, {"SSL/TLS", stored(Protection::Tls)}};
const Choice kPop3Protections[] = {
    {"なし", stored(Protection::None)}, {"STLS", stored(Protection::StartTls)}, {"SSL/TLS", stored(Protection::Tls)}};
const Choice kLoginKinds[] = {{"なし", stored(LoginKind::None)},
                              {"受信と同じアカウント", stored(LoginKind::Pop3Account)},
                              {"別のアカウント", stored(LoginKind::Own)}};

QComboBox* choices(QWidget* parent, const QStringList& items, const QString& name) {
    auto* c = new QComboBox(parent);
    c->addItems(items);
    nameComboBox(c, name);
    return c;
}

template <std::size_t N>
QComboBox* choices(QWidget* parent, const Choice (&table)[N], const QString& name) {
    auto* c = new QComboBox(parent);
    for (const Choice& choice : table) c->addItem(uiText(choice.caption), int(choice.stored));
    nameComboBox(c, name);
    return c;
}

// The stored value of the item shown, and the item of a stored value.
std::int16_t storedChoice(const QComboBox* box) { return std::int16_t(box->currentData().toInt()); }
void showChoice(QComboBox* box, std::int16_t value) { box->setCurrentIndex(box->findData(int(value))); }

constexpr int kLastPort = 65535;
constexpr int kLargestLimit = 32767;   // what the file's number holds

// A port box offers the usual ports and takes any other typed in; empty
// means the usual port of the protection.
QComboBox* portBox(QWidget* parent, const QStringList& usual, const QString& name) {
    QComboBox* c = choices(parent, usual, name);
    c->setEditable(true);
    c->setValidator(new QIntValidator(1, kLastPort, c));
    c->lineEdit()->setAccessibleName(name);
    return c;
}

// A limit of the provider's: a whole number, 0 (or nothing) for none.
QLineEdit* limitBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setAccessibleName(name);
    box->setValidator(new QIntValidator(0, kLargestLimit, box));
    box->setPlaceholderText(uiText("0 = 上限なし"));
    makeNumberBox(box);
    return box;
}

}  // namespace

ConnectionGroup::ConnectionGroup(QWidget* parent) : QGroupBox(uiText("接続"), parent) {
    setAccessibleName(uiText("接続"));
    smtpPort = portBox(this, {"25", "587", "465"}, uiText("送信ポート"));
    smtpProtection = choices(this, kSmtpProtections, uiText("送信の暗号化"));
    smtpLogin = choices(this, kLoginKinds, uiText("送信の認証"));
    smtpUser = new QLineEdit(this);
    smtpUser->setAccessibleName(uiText("送信のアカウント名"));
    smtpPassword = new QLineEdit(this);
    smtpPassword->setAccessibleName(uiText("送信のパスワード"));
    smtpPassword->setEchoMode(QLineEdit::Password);
    smtpPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    smtpPassword->setAttribute(Qt::WA_InputMethodEnabled, true);
    greetingName = new QLineEdit(this);
    greetingName->setAccessibleName(uiText("送信時のHELO名"));
    guardText(smtpUser, kAddressChars);
    guardText(smtpPassword);
    guardText(greetingName, kAddressChars);
    pop3Port = portBox(this, {"110", "995"}, uiText("受信ポート"));
    pop3Protection = choices(this, kPop3Protections, uiText("受信の暗号化"));
    messagesPerMinute = limitBox(this, uiText("1分間の送信数の上限"));
    dailyRecipients = limitBox(this, uiText("1日の送信上限 (宛先数)"));
    // Read-only text rather than a label: a fingerprint has no space to wrap
    // at, and a screen reader reads the text itself.
    refusedCertificate = new QPlainTextEdit(this);
    refusedCertificate->setReadOnly(true);
    refusedCertificate->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    refusedCertificate->setFrameShape(QFrame::NoFrame);
    refusedCertificate->viewport()->setAutoFillBackground(false);
    refusedCertificate->setAccessibleName(uiText("証明書"));
    // Read-only, but a fingerprint is worth selecting: Tab still stops here.
    followReadOnly(refusedCertificate);
    trustCertificate = new QPushButton(uiText("この証明書を信頼する"), this);
    trustCertificate->setAccessibleName(uiText("この証明書を信頼する"));

    auto* grid = new QGridLayout;
    int row = 0;
    // Each box is captioned with its own name.
    for (QWidget* box : std::initializer_list<QWidget*>{smtpPort, smtpProtection, smtpLogin, smtpUser, smtpPassword,
                                                        greetingName, pop3Port, pop3Protection, messagesPerMinute,
                                                        dailyRecipients}) {
        grid->addWidget(captionLabel(box->accessibleName(), this, box), row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    grid->addWidget(refusedCertificate, row, 0, 1, 2);
    grid->addWidget(trustCertificate, row + 1, 1);
    setLayout(grid);
    showRefused({}, {}, {}, false);
    // A protection chosen brings its usual port along; one typed stays.
    connect(smtpProtection, &QComboBox::currentIndexChanged, this, [this] {
        smtpPort->setCurrentText(QString::number(usualSmtpPort(protectionOf(storedChoice(smtpProtection)))));
    });
    connect(pop3Protection, &QComboBox::currentIndexChanged, this, [this] {
        pop3Port->setCurrentText(QString::number(usualPop3Port(protectionOf(storedChoice(pop3Protection)))));
    });
    connect(smtpLogin, &QComboBox::currentIndexChanged, this, &ConnectionGroup::followLogin);
    followLogin();
}

void ConnectionGroup::showRefused(const SjisText& server, const SjisText& problems, const std::string& fingerprint,
                                  bool trusted) {
    QString text = uiText("信頼されていない証明書はありません");
    if (!fingerprint.empty()) {
        text = (trusted ? uiText("信頼済みの証明書: ") : uiText("信頼されていない証明書: ")) + Charset::toQt(server) +
               "\n" + Charset::toQt(problems) + "\nSHA-256 " + QString::fromStdString(fingerprint);
    }
    // The box's text is what a screen reader reads after its name; the same
    // text as its description as well would be read twice.
    refusedCertificate->setPlainText(text);
    // Room for all of it: the server, what failed (the library's words
    // take a few lines) and the fingerprint over two; one line for none.
    const int lines = fingerprint.empty() ? 1 : 9;
    refusedCertificate->setFixedHeight(refusedCertificate->fontMetrics().lineSpacing() * lines +
                                       2 * int(refusedCertificate->document()->documentMargin()));
    trustCertificate->setEnabled(!fingerprint.empty() && !trusted);
}

void ConnectionGroup::followLogin() {
    const bool own = loginKindOf(storedChoice(smtpLogin)) == LoginKind::Own;
    smtpUser->setEnabled(own);
    smtpPassword->setEnabled(own);
}

void ConnectionGroup::load(const TransportSettings& t, const QString& automatic) {
    setText(greetingName, t.GreetingName);
    greetingName->setPlaceholderText(automatic.isEmpty() ? uiText("自動") : uiText("自動: ") + automatic);
    const Protection smtp = protectionOf(t.SmtpProtection), pop3 = protectionOf(t.Pop3Protection);
    showChoice(smtpProtection, stored(smtp));
    showChoice(pop3Protection, stored(pop3));
    smtpPort->setCurrentText(QString::number(t.SmtpPort != 0 ? portOf(t.SmtpPort) : usualSmtpPort(smtp)));
    pop3Port->setCurrentText(QString::number(t.Pop3Port != 0 ? portOf(t.Pop3Port) : usualPop3Port(pop3)));
    showChoice(smtpLogin, stored(loginKindOf(t.SmtpLoginKind)));
    setText(smtpUser, t.SmtpUser);
    setText(smtpPassword, DecodeBase64Text(t.SmtpPassword).value_or(SjisText()));
    for (auto [box, value] : {std::pair{messagesPerMinute, t.MessagesPerMinute}, {dailyRecipients, t.DailyRecipientLimit}})
        box->setText(value > 0 ? QString::number(value) : QString());
}

QList<FieldCheck> ConnectionGroup::checks() const {
    // The validator lets through what may still become a port while typing
    // ("99999" on its way to "9999"), so the box is judged again on leaving:
    // a number no port can be would otherwise be stored as the usual port.
    QList<FieldCheck> found;
    for (QComboBox* box : {smtpPort, pop3Port}) {
        const QString typed = box->currentText().trimmed();
        bool isNumber = false;
        const int port = typed.toInt(&isNumber);
        const bool fits = typed.isEmpty() || (isNumber && port >= 1 && port <= kLastPort);
        found << FieldCheck{fits ? QString() : wholeNumberMessage(box->accessibleName(), 1, kLastPort), box};
    }
    for (QLineEdit* box : {messagesPerMinute, dailyRecipients}) {
        bool isNumber = false;
        const int limit = box->text().trimmed().toInt(&isNumber);
        const bool fits = box->text().trimmed().isEmpty() || (isNumber && limit >= 0 && limit <= kLargestLimit);
        found << FieldCheck{fits ? QString() : wholeNumberMessage(box->accessibleName(), 0, kLargestLimit), box};
    }
    return found;
}

void ConnectionGroup::store(TransportSettings& t) const {
    t.SmtpProtection = storedChoice(smtpProtection);
    t.Pop3Protection = storedChoice(pop3Protection);
    // The usual port is stored as 0, so a file of all zeros stays the plain
    // connection of old.
    const int smtp = smtpPort->currentText().toInt();
    const int pop3 = pop3Port->currentText().toInt();
    t.SmtpPort = storedPort(smtp == usualSmtpPort(protectionOf(t.SmtpProtection)) ? 0 : smtp);
    t.Pop3Port = storedPort(pop3 == usualPop3Port(protectionOf(t.Pop3Protection)) ? 0 : pop3);
    t.SmtpLoginKind = storedChoice(smtpLogin);
    if (Charset::toQt(t.SmtpUser) != smtpUser->text()) t.SmtpUser = textOf(smtpUser);
    // A host name holds no white space; the server would refuse a greeting with it.
    if (Charset::toQt(t.GreetingName) != greetingName->text())
        t.GreetingName = Charset::toSjis(greetingName->text().simplified().remove(u' '));
    t.MessagesPerMinute = std::int16_t(messagesPerMinute->text().trimmed().toInt());
    t.DailyRecipientLimit = std::int16_t(dailyRecipients->text().trimmed().toInt());
    const QString shown = Charset::toQt(DecodeBase64Text(t.SmtpPassword).value_or(SjisText()));
    if (smtpPassword->text() != shown) t.SmtpPassword = EncodeBase64Text(textOf(smtpPassword));
}
