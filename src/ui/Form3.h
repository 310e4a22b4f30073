#pragma once
#include "ui/FieldRules.h"
#include <array>

#include "model/Module1.h"
#include "ui/EditorWindow.h"

class QCheckBox;
class QCloseEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class PageScrollBar;
class ReplyGroup;

// The address book window "アドレス帳設定": the 1000 slots of trv2.dat, ten
// at a time. Every edit goes into the shared record at once; the file is
// written when the window closes, however it closes. Beside the list, whose
// replies count and how their answers are read (trv2x.dat).
class Form3 : public EditorWindow {
    Q_OBJECT
public:
    static constexpr int kRows = 10;
    static constexpr int kLastPage = kAddressSlots / kRows - 1;   // 99

    explicit Form3(Module1& module1, QWidget* parent = nullptr);

    Module1& m;

    QLabel* Label2;   // アドレス帳
    QLabel* Label1;   // 名前
    QLabel* Label3;   // メールアドレス
    QLabel* Label4;   // 送信
    QLabel* Label5;   // the slots shown, "1–10 / 1000"
    std::array<QLineEdit*, kRows> Text1;   // names of the slots shown
    std::array<QLineEdit*, kRows> Text2;   // their addresses
    std::array<QCheckBox*, kRows> Check1;  // their send marks
    PageScrollBar* VScroll1;               // the page, 0..99
    ReplyGroup* Replies;                   // 返信の受け付け
    QPushButton* Command1;                 // 戻る
    QFrame* Line1;
    QFrame* Line2;
    QFrame* Line3;
    QFrame* Line4;

    // The slot row r shows on the current page.
    int slotOfRow(int r) const;

    void Form_Load();
    void VScroll1_Change();
    void Text1_Change(int r);
    void Text2_Change(int r);
    void Check1_Click(int r);
    void Command1_Click();
    void Form_Unload();
    void trv2_Write();
    void trv2x_Write();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Every problem of the rows on screen.
    QList<FieldCheck> shownPageChecks() const;
    // Those, and the reply settings'.
    QList<FieldCheck> leavingChecks() const;
    void buildControls();
    void wireConnections();

    int shownPage_ = 0;   // the page whose slots the rows show
};
