#pragma once
#include <QGroupBox>

#include "model/Records.h"
#include "ui/FieldRules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The "接続" group of the mail settings: how each server is reached (port,
// protection) and whom the SMTP server is told the sender is (no login, the
// POP3 account, or a login of its own). Kept in trv1x.dat, not in trv1.dat,
// so a folder of an older copy keeps its layout; its defaults are the plain
// connections of old.
class ConnectionGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit ConnectionGroup(QWidget* parent = nullptr);

    QComboBox* smtpPort;         // 25, 587, 465, or typed
    QComboBox* smtpProtection;   // なし / STARTTLS / SSL/TLS
    QComboBox* smtpLogin;        // なし / 受信と同じアカウント / 別のアカウント
    QLineEdit* smtpUser;
    QLineEdit* smtpPassword;     // in clear, shown as "*"
    QLineEdit* greetingName;     // HELO/EHLO name; empty: this machine's (shown greyed)
    QComboBox* pop3Port;         // 110, 995, or typed
    QComboBox* pop3Protection;   // なし / STLS / SSL/TLS
    // The provider's limits: messages a minute, spread evenly, and
    // recipients a day, for START to warn of; 0 or empty: none.
    QLineEdit* messagesPerMinute;
    QLineEdit* dailyRecipients;
    // The last certificate refused: server, what failed and the whole
    // fingerprint, wrapped where it must be, to read, select and copy.
    QPlainTextEdit* refusedCertificate;
    QPushButton* trustCertificate;   // この証明書を信頼する

    // The certificate a server showed that failed its checks; none: the row is empty.
    void showRefused(const SjisText& server, const SjisText& problems, const std::string& fingerprint, bool trusted);

    // `automatic` is what the program greets with when the box is empty.
    void load(const TransportSettings& t, const QString& automatic = {});
    // Port boxes holding what no port can be; the box left empty is the
    // protection's usual port.
    QList<FieldCheck> checks() const;
    // Into `t`, keeping what the group does not show (the trusted certificates)
    // and the stored password while its box still shows it.
    void store(TransportSettings& t) const;

private:
    void followLogin();
};
