#pragma once
#include "model/Module1.h"
#include "ui/EditorWindow.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The invitation window "クイズ参加確認": composes the participation
// confirmation of a round from greeting, name, round and reply time, lets the
// operator edit it, and keeps it in trv4<N>.dat. An earlier round is shown
// red and read-only. Only "確定" saves.
class Form4 : public EditorWindow {
    Q_OBJECT
public:
    explicit Form4(Module1& module1, QWidget* parent = nullptr);

    Module1& m;

    QLabel* Label7;       // クイズ参加確認
    QLabel* Label1;       // 回数
    QComboBox* Combo1;    // the round
    QLabel* Label11;      // 回
    QLabel* Label8;       // 挨拶
    QComboBox* Combo0;    // the greeting
    QLabel* Label9;       // 名前
    QLineEdit* Text0;     // the operator's name
    QLabel* Label2;       // 返信時間
    QComboBox* Combo2;    // the reply time in minutes
    QLabel* Label10;      // 分
    QLabel* Label3;       // 件名
    QLineEdit* Text1;     // the subject
    QLabel* Label4;       // 送信文字数
    QLabel* Label5;       // 文字数
    QLineEdit* Text3;     // the body's size in Shift_JIS bytes
    QLabel* Label6;       // 文字
    QPlainTextEdit* Text2;   // the body
    // What the round will send at most (invitation, questions, closing
    // mail, their sum), beside the provider's daily limit where one is set.
    QLabel* MaxRecipients;
    QPushButton* Command1;   // 確定
    QPushButton* Command2;   // 戻る
    // Frame lines: round the fields, round the byte count, round the body.
    QFrame *Line1, *Line2, *Line3, *Line4, *Line5, *Line6;
    QFrame *Line7, *Line8, *Line9, *Line10, *Line11, *Line12;

    // True while an earlier round is shown (red, read-only, "確定" off).
    bool showingPastRound() const { return pastRound_; }

    void Form_Load();
    void ComposeInvitationText();
    void trv4_read();
    // False when a number box holds no whole number in its range: the
    // operator is told which, and nothing is stored.
    bool trv4_Write();

    void Combo0_Click();
    void Combo1_Click();
    void Combo2_Click();
    void Text0_Change();
    void Text2_Change();
    void Command1_Click();
    void Command2_Click();
    // Form_Unload has nothing of its own: however the window closes, the
    // base brings the main window back.

private:
    void buildControls();
    void wireConnections();
    void setPastRound(bool past);
    // From the address book, the round's questions and the mail settings as stored.
    void showMostRecipients();

    bool pastRound_ = false;
};
