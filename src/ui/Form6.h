#pragma once
#include <cstdint>

#include "model/Module1.h"
#include "ui/EditorWindow.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The quiz-end window "クイズ終了確認": the closing mail of the current round
// (greeting, the operator's name, subject and body), stored on "確定". An
// earlier round is shown red and read-only; a round without questions blocks
// the window.
class Form6 : public EditorWindow {
    Q_OBJECT
public:
    explicit Form6(Module1& module, QWidget* parent = nullptr);

    QComboBox* Combo1 = nullptr;       // round
    QComboBox* Combo0 = nullptr;       // greeting
    QLineEdit* Text0 = nullptr;        // name
    QLineEdit* Text1 = nullptr;        // subject
    QLineEdit* Text3 = nullptr;        // body length in bytes
    QPlainTextEdit* Text2 = nullptr;   // body
    QPushButton* Command1 = nullptr;   // 確定
    QPushButton* Command2 = nullptr;   // 戻る

    // Unset while the window loads (and for good when it is blocked), set
    // once it has loaded: only then does a change of the name rebuild the body.
    bool Loaded = false;

    void Form_Load();
    bool trv6_read();
    bool trv6_Write();
    void ComposeClosingMail();

    void Combo0_Click();
    void Combo1_Click();
    void Text0_Change();
    void Text2_Change();
    void Command1_Click();
    void Command2_Click();

private:
    void buildControls();
    void setInitialState();
    void connectHandlers();
    void setRoundColour(bool red);
    void setLocked(bool locked);
    void updateByteCount();
    bool fieldsReadyToSave();

    Module1& m;
    std::int16_t currentRound_ = 1;
    bool locked_ = false;   // an earlier round, or no questions to close on
};
