#pragma once
#include "ui/FieldRules.h"
#include <array>
#include <cstdint>

#include "model/Module1.h"
#include "ui/EditorWindow.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class PageScrollBar;

// The question editor "問題入力": the questions of the current round with
// their choices, correct choice, reply time, points and finished mail text,
// kept in the shared working question set until "確定" stores it. An earlier
// round is shown red and read-only.
class Form5 : public EditorWindow {
    Q_OBJECT
public:
    explicit Form5(Module1& module, QWidget* parent = nullptr);

    // Controls, named as the operator's documentation names them.
    QComboBox* Combo1 = nullptr;   // round
    QComboBox* Combo2 = nullptr;   // number of questions
    QComboBox* Combo5 = nullptr;   // full score
    QComboBox* Combo3 = nullptr;   // question shown
    QComboBox* Combo4 = nullptr;   // reply minutes
    QLineEdit* Text7 = nullptr;    // points of the question shown
    QLineEdit* Text1 = nullptr;    // subject
    QPlainTextEdit* Text2 = nullptr;   // question text
    QLineEdit* Text4 = nullptr;    // common separator
    std::array<QLineEdit*, 5> Text3{};   // choice numbers of the visible page
    std::array<QLineEdit*, 5> Text5{};   // choice separators
    std::array<QLineEdit*, 5> Text6{};   // choice texts
    std::array<QCheckBox*, 5> Check1{};  // the correct choice
    PageScrollBar* VScroll1 = nullptr;   // page 0: choices 1-5, page 1: 6-10
    QPlainTextEdit* Text8 = nullptr;     // the question's mail body
    QLineEdit* Text9 = nullptr;          // its length
    QPushButton* Command1 = nullptr;     // 確定
    QPushButton* Command2 = nullptr;     // 戻る

    // Set while trv5_hyoji fills the controls: the guarded handlers and
    // ComposeQuestionMail then leave the question set alone.
    bool Displaying = false;
    // Set while code itself ticks or unticks a Check1 box.
    bool CheckGuard = false;

    // The question whose fields are on screen; edits go to it. Typing into
    // the question selector without choosing does not move them elsewhere.
    int shownQuestion() const { return shownQuestion_; }

    void Form_Load();
    void InitQuestionForm();
    void trv5_hyoji();
    bool trv5_read(const SjisText& round);
    void ComposeQuestionMail();

    // Handlers; the combo ..._Click ones run when an entry is chosen from the list.
    void Combo1_Click();
    void Combo2_Click();
    void Combo5_Click();
    void Combo3_Click();
    void Combo4_Click();
    void Combo4_Change();
    void Text1_Change();
    void Text2_Change();
    void Text3_Change(int i);
    void Text4_Change();
    void Text5_Change(int i);
    void Text6_Change(int i);
    void Text7_Change();
    void Text8_Change();
    void Check1_Click(int i);
    void VScroll1_Change();
    void Command1_Click();
    void Command2_Click();

private:
    // Every problem of the boxes of the question on screen.
    QList<FieldCheck> shownQuestionChecks() const;
    // False (with a message) while a box of the question on screen holds
    // what cannot be stored and sent as shown.
    bool shownQuestionCanBeLeft();
    void showChosenQuestion();
    // One builder a group of controls (see buildControls); each adds its
    // rows to the field grid from `row` on and gives the next free row.
    void buildControls();
    int addRoundRows(QGridLayout& grid, int row);
    int addQuestionRows(QGridLayout& grid, int row);
    int addChoiceRows(QGridLayout& grid, int row);
    void addReplyTimeRow(QGridLayout& grid, int row);
    void addFieldRow(QGridLayout& grid, int row, const QString& caption, QWidget* field,
                     const QString& unit = QString());
    QVBoxLayout* mailColumn();
    void setInitialState();
    void connectHandlers();
    void showRoundState(bool past);

    int page() const;
    int choiceOf(int row) const { return 5 * page() + row; }
    void fillRow(int row);
    void nameRow(int row);
    void rebuildQuestionList(int count);
    void updateByteCount();
    void updateCharacterCount();
    // The first field whose text cannot be stored, with the message naming it.
    bool fieldsReadyToSave();

    Module1& m;
    QuestionSet& set;
    int shownQuestion_ = 1;
    int shownPage_ = 0;   // the choice page on screen
    bool pastRound_ = false;   // an earlier round shown, red and read-only
    std::int16_t currentRound_ = 1;
};
