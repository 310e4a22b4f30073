#pragma once
#include "model/Module1.h"
#include "ui/EditorWindow.h"

class ConnectionGroup;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The mail settings window "メールの設定": the POP3 and SMTP servers, the
// account, its password, the operator's own address and name, kept in
// trv1.dat, and how the servers are reached, kept in trv1x.dat; the
// passwords in the desktop's keyring where the operator chooses it (see
// mail/StoredPasswords.h). It saves whenever it is left. "戻る" only hides it, so the boxes
// keep their contents for the next time the main window shows it; the close
// box ends it, and the next opening loads the file afresh.
class Form2 : public EditorWindow {
    Q_OBJECT
public:
    explicit Form2(Module1& module1, QWidget* parent = nullptr);

    Module1& m;

    QLabel* Label2;   // メールサーバー
    QLabel* Label1;   // 受信メール　[POP]
    QLineEdit* Text1;
    QLabel* Label3;   // 送信メール　[SMTP]
    QLineEdit* Text2;
    QLabel* Label4;   // アカウント名
    QLineEdit* Text3;
    QLabel* Label5;   // パスワード
    QLineEdit* Text4;   // the password in clear, shown as "*"
    // パスワードをキーリングに保存: both passwords in the desktop's keyring,
    // not in the files (TransportSettings::PasswordStore). Disabled without one.
    QCheckBox* StoreInKeyring;
    QLabel* Label6;   // メールアドレス
    QLineEdit* Text5;
    QLabel* Label7;   // 名　前
    QLineEdit* Text6;
    ConnectionGroup* Connection;   // 接続: ports, protection, login (trv1x.dat)
    QPushButton* Command1;   // 戻る

    void Form_Load();
    // Each showing: the certificate refused last, which may have changed
    // while the window was hidden.
    void Form_Activate() override;
    // Leaving the own address: an address without a domain is named once.
    void Text5_LostFocus();
    void trv1_Write();
    void Command1_Click();
    void Form_Unload();
    // Trusts the certificate a server last showed and failed, for that server.
    void TrustCertificate_Click();
    // False (with a message) while a box holds text that cannot be stored
    // and sent exactly as shown.
    bool fieldsReadyToSave();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool warnedNoDomain_ = false;
    void buildControls();
    void showRefusedCertificate();
    // The keyring choice as stored, where there is a keyring to choose.
    void showKeyringChoice();
};
