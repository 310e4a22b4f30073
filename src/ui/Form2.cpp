#include "ui/Form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <algorithm>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "codec/Base64.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "mail/MessageIds.h"
#include "mail/StoredPasswords.h"
#include "mail/Transport.h"
#include "run/RunTexts.h"
#include "ui/ButtonKeys.h"
#include "ui/ConnectionGroup.h"
#include "ui/FieldRules.h"
#include "ui/Widgets.h"

namespace {

constexpr const char* kFile = FileNames::kMailSettings;

// The texts of the keyring choice.
constexpr const char* kStoreInKeyring = "パスワードをキーリングに保存";
constexpr const char* kKeyringHint = "受信と送信のパスワードを、データファイルではなくデスクトップのキーリングに暗号化して保存します。";
constexpr const char* kNoKeyring = "キーリングが見つかりません。パスワードはデータファイルに保存します。";
constexpr const char* kNotWritten = "パスワードをキーリングに保存できませんでした。パスワードはデータファイルに保存しました。";
constexpr const char* kNotCleared = "パスワードはデータファイルに保存しましたが、キーリングからは削除できませんでした。";
constexpr const char* kNoDomain =
    "メールアドレスに「@」とドメインがありません（例: quiz@example.jp）。"
    "ドメインのない差出人からのメールは、受け取りを拒否されることがあります。";

// A stored field keeps its own bytes while its box still shows them, so that
// merely opening and leaving the window never rewrites text the converter
// cannot carry both ways (bytes outside Windows-31J, duplicate NEC/IBM codes).
void takeIfEdited(SjisText& field, const QString& shown, const SjisText& fromBox) {
    if (Charset::toQt(field) != shown) field = fromBox;
}

}  // namespace

Form2::Form2(Module1& module1, QWidget* parent) : EditorWindow(parent), m(module1) {
    // The close box ends the window; "戻る" only hides it.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Text5, &QLineEdit::editingFinished, this, &Form2::Text5_LostFocus);
    connect(Connection->trustCertificate, &QPushButton::clicked, this, &Form2::TrustCertificate_Click);
    Form_Load();
}

void Form2::buildControls() {
    setWindowTitle(uiText("メールの設定"));
    setAccessibleName(uiText("メールの設定"));

    auto box = [this](QLabel* beside) {
        auto* b = new QLineEdit(this);
        b->setMinimumWidth(260);
        b->setAccessibleName(beside->text());
        beside->setBuddy(b);
        return b;
    };

    Label2 = captionLabel(uiText("メールサーバー"), this);
    makeHeading(Label2);
    Label1 = captionLabel(uiText("受信メール　[POP]"), this);
    Text1 = box(Label1);
    Label3 = captionLabel(uiText("送信メール　[SMTP]"), this);
    Text2 = box(Label3);
    Label4 = captionLabel(uiText("アカウント名"), this);
    Text3 = box(Label4);
    Label5 = captionLabel(uiText("パスワード"), this);
    Text4 = box(Label5);
    // Made right after the password box, so Tab comes here from it.
    StoreInKeyring = new QCheckBox(uiText(kStoreInKeyring), this);
    StoreInKeyring->setAccessibleName(uiText(kStoreInKeyring));
    Label6 = captionLabel(uiText("メールアドレス"), this);
    Text5 = box(Label6);
    Label7 = captionLabel(uiText("名　前"), this);
    Text6 = box(Label7);
    // Server names and addresses are at most 254 characters; the password and
    // the name may be as long as a stored text.
    for (QLineEdit* b : {Text1, Text2, Text3, Text5}) guardText(b, kAddressChars);
    for (QLineEdit* b : {Text4, Text6}) guardText(b);
    Connection = new ConnectionGroup(this);
    Command1 = new QPushButton(uiText("戻る"), this);
    Command1->setAccessibleName(uiText("戻る"));

    // Every character of the password shows as "*", whatever the style's own
    // mask. A password may hold Japanese, so the input method stays on even
    // where Qt would switch it off for password boxes.
    Text4->setEchoMode(QLineEdit::Password);
    Text4->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Text4->setAttribute(Qt::WA_InputMethodEnabled, true);

    auto* rows = new QGridLayout;
    int row = 0;
    for (auto [l, b] : {std::pair{Label1, Text1}, {Label3, Text2}, {Label4, Text3},
                        {Label5, Text4}, {Label6, Text5}, {Label7, Text6}}) {
        rows->addWidget(l, row, 0);
        rows->addWidget(b, row, 1);
        ++row;
        if (b == Text4) rows->addWidget(StoreInKeyring, row++, 1);
    }

    QHBoxLayout* buttons = buttonRow({Command1});

    auto* page = new QVBoxLayout;
    page->addWidget(Label2);
    // The boxes and the connection group scroll where the screen is short;
    // the heading and "戻る" stay in view.
    auto* fields = new QVBoxLayout;
    fields->addLayout(rows);
    fields->addWidget(Connection);
    page->addWidget(scrollPage(fields, uiText("メールの設定"), this));
    page->addLayout(buttons);
    setLayout(page);
    giveButtonsTheirKeys(this);
}

void Form2::Form_Load() {
    const MailSettingsRead read = readMailSettings(m);
    Connection->load(m.transport, QString::fromStdString(m.platform.ownHostName()));
    showRefusedCertificate();
    showKeyringChoice();
    // The boxes show empty what the keyring did not hand over; left so, they
    // leave its entries alone.
    if (read.keyringFailed) tell(*m.platform.messageBox, Charset::toQt(RunTexts::kPasswordsNotRead));

    MailSettings& s = m.mailSettings;
    if (!read.read) {
        // Unreadable: empty boxes; the shared record stays as it was.
        for (QLineEdit* b : {Text1, Text2, Text3, Text4, Text5, Text6}) b->clear();
        return;
    }
    setText(Text1, s.Pop3Server);
    setText(Text2, s.SmtpServer);
    setText(Text3, s.AccountId);
    // A stored password that is not Base64 shows as empty; it stays stored
    // as it is unless the operator types a new one.
    setText(Text4, DecodeBase64Text(s.Password).value_or(SjisText()));
    setText(Text5, s.OwnAddress);
    setText(Text6, s.SenderName);
}

void Form2::Form_Activate() { showRefusedCertificate(); }

void Form2::Text5_LostFocus() {
    // Said once a window: the address may be meant so (a server of the
    // operator's own that adds the domain), and nothing is refused.
    if (warnedNoDomain_ || Text5->text().isEmpty() || DomainOf(textOf(Text5))) return;
    warnedNoDomain_ = true;
    tell(*m.platform.messageBox, uiText(kNoDomain));
}

void Form2::showKeyringChoice() {
    const bool present = m.platform.keyring && m.platform.keyring->available();
    StoreInKeyring->setEnabled(present);
    StoreInKeyring->setChecked(present && passwordPlaceOf(m.transport.PasswordStore) == PasswordPlace::Keyring);
    StoreInKeyring->setToolTip(uiText(present ? kKeyringHint : kNoKeyring));
}

void Form2::showRefusedCertificate() {
    const Module1::RefusedCertificate& refused = m.refusedCertificate;
    const std::vector<std::string> trusted = trustedFingerprintsFor(m.transport, refused.server);
    Connection->showRefused(refused.server, refused.problems, refused.fingerprint,
                            std::find(trusted.begin(), trusted.end(), refused.fingerprint) != trusted.end());
}

void Form2::trv1_Write() {
    DataFiles& files = *m.platform.files;
    files.close();
    if (!files.open(kFile, DataFiles::Mode::ReadWrite)) return;   // record and file unchanged
    // Closed again before the keyring is asked: whatever runs while it
    // answers may use the one file handle.
    files.close();
    const MailSettings before = m.mailSettings;
    const TransportSettings beforeTransport = m.transport;

    // Boxes are taken exactly as typed: no trimming.
    MailSettings& s = m.mailSettings;
    takeIfEdited(s.Pop3Server, Text1->text(), textOf(Text1));
    takeIfEdited(s.SmtpServer, Text2->text(), textOf(Text2));
    takeIfEdited(s.AccountId, Text3->text(), textOf(Text3));
    const QString shownPassword = Charset::toQt(DecodeBase64Text(s.Password).value_or(SjisText()));
    if (Text4->text() != shownPassword) s.Password = EncodeBase64Text(textOf(Text4));
    takeIfEdited(s.OwnAddress, Text5->text(), textOf(Text5));
    takeIfEdited(s.SenderName, Text6->text(), textOf(Text6));
    TransportSettings t = m.transport;
    Connection->store(t);
    // A box that cannot be ticked chose nothing: the stored choice stays.
    Keyring* keyring = StoreInKeyring->isEnabled() ? m.platform.keyring : nullptr;
    if (keyring) t.PasswordStore = stored(StoreInKeyring->isChecked() ? PasswordPlace::Keyring : PasswordPlace::Files);

    const SettingsForFiles stored = placePasswords(keyring, before, beforeTransport, s, t);
    writeRecordFile(files, kFile, stored.account);
    // Written only when it changes: a folder that keeps the plain
    // connections of old gets no file it did not have. Compared with the
    // file, not with the settings held, which carry the passwords wherever
    // they are kept.
    if (stored.transport == ReadTransportSettings(files) ||
        writeRecordFile(files, FileNames::kTransport, stored.transport))
        m.transport = t;
    if (stored.outcome == SettingsForFiles::kKeyringNotWritten) tell(*m.platform.messageBox, uiText(kNotWritten));
    if (stored.outcome == SettingsForFiles::kKeyringNotCleared) tell(*m.platform.messageBox, uiText(kNotCleared));
}

namespace {
// A password is stored in Base64, which takes four bytes for every three; one
// left as it was shown stays stored as it is.
QString passwordProblem(const QLineEdit* box, const SjisText& storedBase64) {
    if (box->text() == Charset::toQt(DecodeBase64Text(storedBase64).value_or(SjisText()))) return {};
    return textProblem(box, kFieldBytes / 4 * 3);
}
}  // namespace

bool Form2::fieldsReadyToSave() {
    const MailSettings& s = m.mailSettings;
    QLineEdit* smtpUser = Connection->smtpUser;
    QLineEdit* smtpPassword = Connection->smtpPassword;
    QList<FieldCheck> checks = {{textProblemUnlessKept(Text1, s.Pop3Server), Text1},
                                {textProblemUnlessKept(Text2, s.SmtpServer), Text2},
                                {textProblemUnlessKept(Text3, s.AccountId), Text3},
                                {passwordProblem(Text4, s.Password), Text4},
                                {textProblemUnlessKept(Text5, s.OwnAddress), Text5},
                                {textProblemUnlessKept(Text6, s.SenderName), Text6},
                                {textProblemUnlessKept(smtpUser, m.transport.SmtpUser), smtpUser},
                                {textProblemUnlessKept(Connection->greetingName, m.transport.GreetingName),
                                 Connection->greetingName},
                                {passwordProblem(smtpPassword, m.transport.SmtpPassword), smtpPassword}};
    return noFieldProblem(*m.platform.messageBox, checks + Connection->checks());
}

void Form2::Command1_Click() {
    if (!fieldsReadyToSave()) return;
    trv1_Write();
    // Hidden, not closed: the main window comes back (hiding counts as
    // leaving) and this window keeps its boxes for the next time.
    hide();
}

void Form2::TrustCertificate_Click() {
    const Module1::RefusedCertificate& refused = m.refusedCertificate;
    if (refused.fingerprint.empty()) return;
    // Only what the operator saw and chose; stored at once, so it holds for
    // the next round even if the window is left otherwise unsaved. Added to
    // the record as the file holds it: a sending password the keyring keeps
    // must not come along from the one held in memory.
    TransportSettings inFile = ReadTransportSettings(*m.platform.files);
    trustCertificate(inFile, refused.server, refused.fingerprint);
    if (!writeRecordFile(*m.platform.files, FileNames::kTransport, inFile)) return;
    trustCertificate(m.transport, refused.server, refused.fingerprint);
    Connection->showRefused(refused.server, refused.problems, refused.fingerprint, true);
}

void Form2::Form_Unload() {
    trv1_Write();
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closing saves, so it is refused like "確定" while a box holds what
    // cannot be stored as shown.
    if (!fieldsReadyToSave()) {
        event->ignore();
        return;
    }
    Form_Unload();
    EditorWindow::closeEvent(event);
}
