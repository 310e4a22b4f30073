#include "ui/Form5.h"

#include <optional>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "model/QuestionRules.h"
#include "model/NumberField.h"
#include "model/RecordCodec.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "ui/ButtonKeys.h"
#include "ui/ComboLock.h"
#include "run/QuestionDefaults.h"
#include "run/QuestionMailText.h"
#include "ui/FieldRules.h"
#include "ui/PageScrollBar.h"
#include "ui/Widgets.h"

namespace {

constexpr int kMaxInt16 = 32767;

SjisText decimal(long n) { return std::to_string(n); }

void fillNumbers(QComboBox* box, int first, int last, int step = 1) {
    box->clear();
    for (int n = first; n <= last; n += step) box->addItem(QString::number(n));
}

}  // namespace

Form5::Form5(Module1& module, QWidget* parent)
    : EditorWindow(parent), m(module), set(module.questionSet) {
    // Every opening starts from the stored file: the window is made anew each
    // time and goes away when it closes, edits not saved with it.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    setInitialState();
    connectHandlers();
    Form_Load();
    askBeforeDroppingEdits(*m.platform.messageBox, [this] {
        // An earlier round is only shown: nothing of it can be saved. A
        // count or full score typed but not chosen is saved too.
        if (pastRound_) return std::string();
        return encodeRecord(set) + shownValues({Combo2, Combo5});
    });
}

// ---------------------------------------------------------------------------
// Controls

namespace {

QComboBox* numberCombo(QWidget* parent, const QString& name) {
    auto* box = new QComboBox(parent);
    makeTypedTextNoChoice(box);
    box->setAccessibleName(name);
    makeNumberBox(box);
    return box;
}

QLineEdit* lineBox(QWidget* parent, const QString& name, bool centred = false) {
    auto* box = new QLineEdit(parent);
    box->setAccessibleName(name);
    if (centred) box->setAlignment(Qt::AlignCenter);
    return box;
}

QPlainTextEdit* textBox(QWidget* parent, const QString& name) {
    auto* box = new QPlainTextEdit(parent);
    box->setAccessibleName(name);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on, as in every other box: a mail to a phone has no use
    // for a tab, and the keyboard alone must get past the text.
    box->setTabChangesFocus(true);
    guardText(box);
    return box;
}

// "<before> [box] <after>", left-aligned, in one row.
QHBoxLayout* boxBetween(QWidget* parent, const QString& before, QWidget* box, const QString& after) {
    auto* row = new QHBoxLayout;
    row->addWidget(captionLabel(before, parent, box));
    row->addWidget(box);
    row->addWidget(captionLabel(after, parent));
    row->addStretch();
    return row;
}

}  // namespace

// The controls are made group by group in reading order, which is also the
// order Tab visits them. The field groups share one grid, so their captions
// line up; the mail stands in a column of its own beside them.
void Form5::buildControls() {
    setWindowTitle(QStringLiteral("問題入力"));
    auto* title = captionLabel(QStringLiteral("問題入力"), this);
    makeHeading(title);

    auto* fields = new QGridLayout;
    int row = addRoundRows(*fields, 0);
    row = addQuestionRows(*fields, row);
    row = addChoiceRows(*fields, row);
    addReplyTimeRow(*fields, row);

    auto* body = new QHBoxLayout;
    // The field column scrolls where the screen is short; the mail beside it
    // scrolls in its own box.
    body->addWidget(scrollPage(fields, QStringLiteral("問題入力"), this), 0);
    body->addWidget(frameLine(QFrame::VLine, this));
    body->addLayout(mailColumn(), 1);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(title);
    outer->addLayout(body);
    giveButtonsTheirKeys(this);
}

// A caption in the first column and its field across the others, with the
// unit right after the box, however narrow the box.
void Form5::addFieldRow(QGridLayout& grid, int row, const QString& caption, QWidget* field, const QString& unit) {
    grid.addWidget(captionLabel(caption, this, field), row, 0);
    if (unit.isEmpty()) {
        grid.addWidget(field, row, 1, 1, 3);
        return;
    }
    auto* withUnit = new QHBoxLayout;
    withUnit->addWidget(field);
    withUnit->addWidget(captionLabel(unit, this));
    withUnit->addStretch();
    grid.addLayout(withUnit, row, 1, 1, 3);
}

int Form5::addRoundRows(QGridLayout& grid, int row) {
    Combo1 = numberCombo(this, QStringLiteral("回目のクイズ"));
    Combo2 = numberCombo(this, QStringLiteral("問題数"));
    Combo5 = numberCombo(this, QStringLiteral("合計点"));
    grid.addLayout(boxBetween(this, QStringLiteral("第"), Combo1, QStringLiteral("回目のクイズ")), row++, 0, 1, 4);
    addFieldRow(grid, row++, QStringLiteral("問題数"), Combo2, QStringLiteral("問"));
    addFieldRow(grid, row++, QStringLiteral("合計点"), Combo5);
    return row;
}

int Form5::addQuestionRows(QGridLayout& grid, int row) {
    Combo3 = numberCombo(this, QStringLiteral("問題"));
    Text7 = lineBox(this, QStringLiteral("得点"), true);
    makeNumberBox(Text7);
    Text1 = lineBox(this, QStringLiteral("件名"));
    guardText(Text1);
    Text2 = textBox(this, QStringLiteral("問題文"));
    Text4 = lineBox(this, QStringLiteral("セパレータ"), true);
    guardText(Text4);
    grid.addWidget(captionLabel(QStringLiteral("問題"), this), row, 0);
    grid.addLayout(boxBetween(this, QStringLiteral("第"), Combo3, QStringLiteral("問")), row++, 1, 1, 3);
    addFieldRow(grid, row++, QStringLiteral("得点"), Text7);
    addFieldRow(grid, row++, QStringLiteral("件名"), Text1);
    addFieldRow(grid, row++, QStringLiteral("問題文"), Text2);
    addFieldRow(grid, row++, QStringLiteral("セパレータ"), Text4);
    return row;
}

int Form5::addChoiceRows(QGridLayout& grid, int row) {
    auto* choices = new QGridLayout;
    choices->addWidget(captionLabel(QStringLiteral("回答番号"), this), 0, 0);
    // Each row's boxes are named by the choice they show (nameRow).
    for (int i = 0; i < 5; ++i) {
        Text3[i] = lineBox(this, QString(), true);
        Text5[i] = lineBox(this, QString(), true);
        Text6[i] = lineBox(this, QString());
        for (QLineEdit* box : {Text3[i], Text5[i], Text6[i]}) guardText(box);
        Check1[i] = new QCheckBox(this);
        Check1[i]->setAutoFillBackground(true);
        nameRow(i);
        Text3[i]->setMaximumWidth(48);
        Text5[i]->setMaximumWidth(40);
        choices->addWidget(Text3[i], i + 1, 0);
        choices->addWidget(Text5[i], i + 1, 1);
        choices->addWidget(Text6[i], i + 1, 2);
        choices->addWidget(Check1[i], i + 1, 3);
    }
    VScroll1 = new PageScrollBar(*m.platform.messageBox, this);
    // While trv5_hyoji fills the boxes, nothing typed is on screen to lose.
    VScroll1->pageChecks = [this] { return Displaying ? QList<FieldCheck>() : shownQuestionChecks(); };
    VScroll1->setAccessibleName(QStringLiteral("選択肢のページ"));
    VScroll1->setRange(0, 1);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(1);
    // Reached by Tab, so choices 6 to 10 are reached from the keyboard too.
    makePageScrollBar(VScroll1);
    for (int i = 0; i < 5; ++i) VScroll1->takeWheelFrom({Text3[i], Text5[i], Text6[i], Check1[i]});
    choices->addWidget(VScroll1, 1, 4, 5, 1);
    grid.addLayout(choices, row++, 0, 1, 4);
    return row;
}

void Form5::addReplyTimeRow(QGridLayout& grid, int row) {
    Combo4 = numberCombo(this, QStringLiteral("返信時間"));
    grid.addLayout(boxBetween(this, QStringLiteral("返信時間"), Combo4,
                              QStringLiteral("分以内に返信のない方\nは不正解といたします。")),
                   row, 0, 1, 4);
}

QVBoxLayout* Form5::mailColumn() {
    Text8 = textBox(this, QStringLiteral("問題メール"));
    // The mail's banner lines line up only in a fixed-pitch font, as on the phones.
    Text8->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text9 = lineBox(this, QStringLiteral("文字数"), true);
    makeNumberBox(Text9);
    Command1 = new QPushButton(QStringLiteral("確定"), this);
    Command2 = new QPushButton(QStringLiteral("戻る"), this);

    auto* column = new QVBoxLayout;
    column->addWidget(Text8, 1);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(captionLabel(QStringLiteral("文字数"), this, Text9));
    countRow->addWidget(Text9);
    countRow->addStretch();
    countRow->addWidget(Command1);
    countRow->addWidget(Command2);
    column->addLayout(countRow);
    return column;
}

// What the window shows before it has loaded anything; set before the
// handlers are connected, so none of it counts as an edit.
void Form5::setInitialState() {
    setText(Combo2, "1");
    setText(Combo5, "100");
    setText(Combo3, "1");
    setText(Combo4, "5");
    Text7->setReadOnly(true);
    setText(Text4, ":");
    for (int i = 0; i < 5; ++i) {
        setText(Text3[i], decimal(i + 1));
        Text3[i]->setReadOnly(true);
        setText(Text5[i], ":");
        Text5[i]->setReadOnly(true);
    }
    setText(Text9, "1000");
    Text9->setReadOnly(true);
    for (QLineEdit* box : {Text7, Text1, Text4, Text9}) followReadOnly(box);
    for (int i = 0; i < 5; ++i)
        for (QLineEdit* box : {Text3[i], Text5[i], Text6[i]}) followReadOnly(box);
    followReadOnly(Text2);
    followReadOnly(Text8);
}

void Form5::connectHandlers() {
    connect(Combo1, &QComboBox::activated, this, &Form5::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form5::Combo2_Click);
    connect(Combo5, &QComboBox::activated, this, &Form5::Combo5_Click);
    connect(Combo3, &QComboBox::activated, this, &Form5::Combo3_Click);
    connect(Combo4, &QComboBox::activated, this, &Form5::Combo4_Click);
    connect(Combo4, &QComboBox::editTextChanged, this, &Form5::Combo4_Change);
    connect(Text1, &QLineEdit::textChanged, this, &Form5::Text1_Change);
    connect(Text2, &QPlainTextEdit::textChanged, this, &Form5::Text2_Change);
    connect(Text4, &QLineEdit::textChanged, this, &Form5::Text4_Change);
    connect(Text7, &QLineEdit::textChanged, this, &Form5::Text7_Change);
    connect(Text8, &QPlainTextEdit::textChanged, this, &Form5::Text8_Change);
    for (int i = 0; i < 5; ++i) {
        connect(Text3[i], &QLineEdit::textChanged, this, [this, i] { Text3_Change(i); });
        connect(Text5[i], &QLineEdit::textChanged, this, [this, i] { Text5_Change(i); });
        connect(Text6[i], &QLineEdit::textChanged, this, [this, i] { Text6_Change(i); });
        connect(Check1[i], &QCheckBox::clicked, this, [this, i] { Check1_Click(i); });
    }
    connect(VScroll1, &PageScrollBar::pageChanged, this, &Form5::VScroll1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
}

// ---------------------------------------------------------------------------
// Loading and showing

void Form5::Form_Load() {
    InitQuestionForm();
    rebuildQuestionList(wholeNumberIn(textOf(Combo2), 1, kQuestionSlots).value_or(1));
}

void Form5::InitQuestionForm() {
    Displaying = false;
    CheckGuard = false;

    Combo1->clear();
    currentRound_ = currentRoundOrFirst(*m.platform.files);
    m.quizRun.CurrentRound = currentRound_;
    setText(Combo1, decimal(currentRound_));
    const SjisText round = textOf(Combo1);

    SetQuestionDefaults(set, round);

    // The full score comes first, so that the points shared out below and the
    // score lines of the mails all use it.
    fillNumbers(Combo5, 100, 1000, 100);
    setText(Combo5, "100");
    set.TotalPoints = 100;

    ComposeAllQuestionMails(set);

    fillNumbers(Combo1, 1, currentRound_);
    setText(Combo1, decimal(currentRound_));

    fillNumbers(Combo2, 1, kQuestionSlots);
    setText(Combo2, "1");
    set.QuestionCount = "1";
    setText(Combo3, "1");
    Combo2_Click();

    setText(Text1, DefaultQuestionSubject(round, wholeNumberIn(textOf(Combo3), 1, kQuestionSlots).value_or(1)));
    setTextIfChanged(Text2, "");
    setText(Text4, ":");
    for (int i = 0; i < 5; ++i) {
        setText(Text3[i], decimal(i + 1));
        setText(Text5[i], textOf(Text4));
        setText(Text6[i], "");
    }

    fillNumbers(Combo4, 1, 20);
    setText(Combo4, "5");

    ComposeQuestionMail();
    updateByteCount();

    trv5_read(textOf(Combo1));
    trv5_hyoji();
    setText(Combo2, set.QuestionCount);
    // The count belongs to the text now on screen, which came from the file.
    updateByteCount();
}

bool Form5::trv5_read(const SjisText& round) {
    return readQuestionFileInto(*m.platform.files, round, set);
}

void Form5::trv5_hyoji() {
    Displaying = true;
    const int q = wholeNumberIn(textOf(Combo3), 1, kQuestionSlots).value_or(shownQuestion_);
    shownQuestion_ = q;

    VScroll1->setValue(0);

    setText(Text1, set.Subject[q]);
    setTextIfChanged(Text2, set.QuestionText[q]);
    // Showing a question always spreads its separator over its choices, even
    // when the box already shows the same separator.
    if (textOf(Text4) == set.Separator[q])
        Text4_Change();
    else
        setText(Text4, set.Separator[q]);

    for (int i = 0; i < 5; ++i) {
        setText(Text3[i], set.ChoiceLabel[q][i]);
        setText(Text5[i], set.ChoiceSeparator[q][i]);
        setText(Text6[i], set.ChoiceText[q][i]);
        CheckGuard = true;
        Check1[i]->setChecked(set.ChoiceCorrect[q][i] == 1);
        CheckGuard = false;
    }

    setText(Combo2, set.QuestionCount);
    setText(Combo4, decimal(set.ReplyMinutes[q]));
    setText(Combo5, decimal(set.TotalPoints));
    setTextIfChanged(Text8, set.QuestionMail[q]);
    setText(Text7, decimal(set.Points[q]));
    Displaying = false;
}

int Form5::page() const { return VScroll1 && VScroll1->value() == 1 ? 1 : 0; }

void Form5::nameRow(int row) {
    // By the choice's own number ("選択肢 7"), so a message or a screen
    // reader names the choice, not the row on screen.
    const QString choice = QString::number(choiceOf(row) + 1);
    Text3[row]->setAccessibleName(QStringLiteral("回答番号 ") + choice);
    Text5[row]->setAccessibleName(QStringLiteral("選択肢のセパレータ ") + choice);
    Text6[row]->setAccessibleName(QStringLiteral("選択肢 ") + choice);
    Check1[row]->setAccessibleName(QStringLiteral("正解 ") + choice);
}

void Form5::fillRow(int row) {
    const int q = shownQuestion_;
    const int f = choiceOf(row);
    setText(Text3[row], set.ChoiceLabel[q][f]);
    setText(Text5[row], set.ChoiceSeparator[q][f]);
    setText(Text6[row], set.ChoiceText[q][f]);
    CheckGuard = true;
    Check1[row]->setChecked(set.ChoiceCorrect[q][f] == 1);
    CheckGuard = false;
}

void Form5::rebuildQuestionList(int count) {
    fillNumbers(Combo3, 1, count);
    setText(Combo3, "1");
}

void Form5::updateByteCount() { setText(Text9, decimal(long(textOf(Text8).size()))); }

void Form5::updateCharacterCount() { setText(Text9, decimal(long(sjisStrictCharCount(textOf(Text8))))); }

void Form5::ComposeQuestionMail() {
    if (Displaying) return;
    QuestionMailFields fields;
    fields.question = shownQuestion_;
    fields.questionText = textOf(Text2);
    fields.replyMinutes = textOf(Combo4);
    fields.fullScore = textOf(Combo5);
    fields.points = textOf(Text7);
    setTextIfChanged(Text8, BuildQuestionMailText(set, fields));
}

// ---------------------------------------------------------------------------
// Handlers

void Form5::Combo1_Click() {
    // Either way the working question set is replaced.
    if (!mayDropEdits()) {
        setText(Combo1, decimal(currentRound_));
        return;
    }
    const auto chosen = wholeNumberIn(textOf(Combo1), 1, kMaxInt16);
    if (chosen && *chosen == currentRound_) {
        showRoundState(false);
        // Back to the current round: everything unsaved is dropped and the
        // stored questions are read afresh.
        InitQuestionForm();
        rebuildQuestionList(wholeNumberIn(textOf(Combo2), 1, kQuestionSlots).value_or(1));
        draftSaved();
    } else {
        showRoundState(true);
        trv5_read(textOf(Combo1));
        // The selector goes back to question 1 before the question is shown,
        // so that it names the question on screen.
        rebuildQuestionList(wholeNumberIn(set.QuestionCount, 1, kQuestionSlots).value_or(1));
        trv5_hyoji();
    }
    Combo2->setFocus();
}

void Form5::Combo2_Click() {
    const auto count = wholeNumberIn(textOf(Combo2), 1, kQuestionSlots);
    if (!count) return;
    if (!shownQuestionCanBeLeft()) {
        setText(Combo2, set.QuestionCount);
        return;
    }
    set.QuestionCount = decimal(*count);
    const auto total = wholeNumberIn(textOf(Combo5), 1, kMaxInt16);
    DistributePoints(set, *count, total ? std::int16_t(*total) : set.TotalPoints);
    rebuildQuestionList(*count);
    // Every question's points have just changed; their stored mails follow,
    // or they would go out with old points and a score line the run cannot
    // fill in.
    ComposeAllQuestionMails(set);
    showChosenQuestion();
}

void Form5::Combo5_Click() {
    const auto total = wholeNumberIn(textOf(Combo5), 1, kMaxInt16);
    if (!total) return;
    if (!shownQuestionCanBeLeft()) {
        setText(Combo5, decimal(set.TotalPoints));
        return;
    }
    set.TotalPoints = std::int16_t(*total);
    const int count = wholeNumberIn(textOf(Combo2), 1, kQuestionSlots)
                          .value_or(wholeNumberIn(set.QuestionCount, 1, kQuestionSlots).value_or(1));
    DistributePoints(set, count, set.TotalPoints);
    rebuildQuestionList(count);
    ComposeAllQuestionMails(set);
    showChosenQuestion();
}

void Form5::Combo3_Click() {
    if (!shownQuestionCanBeLeft()) {
        setText(Combo3, decimal(shownQuestion_));
        return;
    }
    showChosenQuestion();
}

void Form5::showChosenQuestion() {
    trv5_hyoji();
    Text7_Change();
}

void Form5::Combo4_Click() {
    if (const auto minutes = wholeNumberIn(textOf(Combo4), 1, kMaxInt16))
        set.ReplyMinutes[shownQuestion_] = std::int16_t(*minutes);
    ComposeQuestionMail();
    updateCharacterCount();
}

void Form5::Combo4_Change() {
    if (Displaying) return;
    Combo4_Click();
}

void Form5::Text1_Change() {
    if (Displaying) return;
    set.Subject[shownQuestion_] = textOf(Text1);
}

void Form5::Text2_Change() {
    if (Displaying) return;
    set.QuestionText[shownQuestion_] = textOf(Text2);
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text3_Change(int i) {
    set.ChoiceLabel[shownQuestion_][choiceOf(i)] = textOf(Text3[i]);
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text4_Change() {
    const int q = shownQuestion_;
    const SjisText separator = textOf(Text4);
    set.Separator[q] = separator;
    for (int f = 0; f < kChoiceSlots; ++f) set.ChoiceSeparator[q][f] = separator;
    for (int i = 0; i < 5; ++i) setText(Text5[i], separator);
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text5_Change(int i) {
    set.ChoiceSeparator[shownQuestion_][choiceOf(i)] = textOf(Text5[i]);
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text6_Change(int i) {
    if (Displaying) return;
    const SjisText text = textOf(Text6[i]);
    set.ChoiceText[shownQuestion_][choiceOf(i)] = text;
    if (!ChoiceInUse(text)) {
        // An empty choice shows no tick; the stored correct choice stays.
        CheckGuard = true;
        Check1[i]->setChecked(false);
        CheckGuard = false;
    }
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text7_Change() {
    if (Displaying) return;
    if (const auto points = wholeNumberIn(textOf(Text7), 0, kMaxInt16))
        set.Points[shownQuestion_] = std::int16_t(*points);
    ComposeQuestionMail();
    updateByteCount();
}

void Form5::Text8_Change() {
    if (Displaying) return;
    set.QuestionMail[shownQuestion_] = textOf(Text8);
    updateByteCount();
}

void Form5::Check1_Click(int i) {
    if (Displaying || CheckGuard) return;
    // An empty choice cannot be the correct one.
    if (!ChoiceInUse(textOf(Text6[i]))) {
        CheckGuard = true;
        Check1[i]->setChecked(false);
        CheckGuard = false;
    }
    if (Check1[i]->isChecked()) {
        CheckGuard = true;
        for (int j = 0; j < 5; ++j)
            if (j != i) Check1[j]->setChecked(false);
        CheckGuard = false;
        MarkCorrect(set, shownQuestion_, choiceOf(i));
    }
    ComposeQuestionMail();
    // The next question's mail repeats this question's correct choice.
    ComposeAllQuestionMails(set);
    updateByteCount();
}

void Form5::VScroll1_Change() {
    // The bar checked the question's boxes before it let their page go.
    shownPage_ = VScroll1->value();
    for (int i = 0; i < 5; ++i) {
        nameRow(i);
        fillRow(i);
    }
}

void Form5::Command1_Click() {
    if (!fieldsReadyToSave()) return;
    // A count or full score typed but not chosen from the list is what the
    // operator sees, so it is what gets stored.
    if (textOf(Combo2) != set.QuestionCount) Combo2_Click();
    if (wholeNumberIn(textOf(Combo5), 1, kMaxInt16) != std::optional<int>(set.TotalPoints)) Combo5_Click();
    if (!writeQuestionFile(*m.platform.files, textOf(Combo1), set)) {
        // Closing now would throw the questions away while looking saved.
        tell(*m.platform.messageBox, QStringLiteral("問題を保存できませんでした。ディスクの空きや書き込みの権限を確かめて下さい。"));
        return;
    }
    draftSaved();
    close();
}

void Form5::Command2_Click() { close(); }

bool Form5::fieldsReadyToSave() {
    const auto round = wholeNumberIn(textOf(Combo1), 1, kMaxInt16);
    auto number = [](QComboBox* box, int low, int high) {
        return FieldCheck{wholeNumberIn(textOf(box), low, high) ? QString()
                                                                : wholeNumberMessage(box->accessibleName(), low, high),
                          box};
    };
    QList<FieldCheck> checks = {
        {round && *round == currentRound_ ? QString() : currentRoundMessage(Combo1->accessibleName(), currentRound_),
         Combo1},
        number(Combo2, 1, kQuestionSlots),
        number(Combo5, 1, kMaxInt16),
        number(Combo4, 1, kMaxInt16),
        {wholeNumberIn(textOf(Text7), 0, kMaxInt16) ? QString() : wholeNumberMessage(Text7->accessibleName(), 0, kMaxInt16),
         Text7},
    };
    checks << shownQuestionChecks();
    return noFieldProblem(*m.platform.messageBox, checks);
}

// The boxes of the question on screen. Each keystroke goes into the question
// set at once, so these are checked before another question or choice page
// replaces them, and before saving: nothing typed is lost or changed unseen.
QList<FieldCheck> Form5::shownQuestionChecks() const {
    QList<FieldCheck> checks = {{textProblem(Text1), Text1}, {textProblem(Text2), Text2}, {textProblem(Text4), Text4}};
    for (int i = 0; i < 5; ++i)
        checks << FieldCheck{textProblem(Text3[i]), Text3[i]} << FieldCheck{textProblem(Text5[i]), Text5[i]}
               << FieldCheck{textProblem(Text6[i]), Text6[i]};
    // The mail ends with its answer line: a question text that would push it
    // past what a stored text holds would cut that line off.
    const std::size_t mail = textOf(Text8).size(), question = textOf(Text2).size();
    if (mail > kFieldBytes && question > 0) {
        const std::size_t rest = std::min(mail - std::min(mail, question), kFieldBytes);
        checks << FieldCheck{tooLongMessage(Text2->accessibleName(), kFieldBytes - rest, question), Text2};
    }
    checks << FieldCheck{textProblem(Text8), Text8};
    return checks;
}

bool Form5::shownQuestionCanBeLeft() {
    return noFieldProblem(*m.platform.messageBox, shownQuestionChecks());
}

// ---------------------------------------------------------------------------
// Current round (black, editable) or an earlier one (red, read-only)

void Form5::showRoundState(bool past) {
    pastRound_ = past;
    QWidget* coloured[] = {Combo1, Combo2, Combo5, Combo3, Text7, Text1, Text2, Text4, Combo4, Text8, Text9};
    for (QWidget* w : coloured) setPastRoundColour(w, past);
    for (int i = 0; i < 5; ++i) {
        setPastRoundColour(Text3[i], past);
        setPastRoundColour(Text5[i], past);
        setPastRoundColour(Text6[i], past);
        QPalette palette = Check1[i]->palette();
        // Back to the desktop's own colours, not the style's built-in ones,
        // which ignore a dark or high-contrast desktop.
        const QPalette desktop = QApplication::palette(Check1[i]);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Window, past ? QColor(255, 0, 0) : desktop.color(group, QPalette::Window));
        Check1[i]->setPalette(palette);
        Check1[i]->setEnabled(!past);
    }
    for (QLineEdit* box : {Text7, Text1, Text4, Text9}) box->setReadOnly(past);
    for (int i = 0; i < 5; ++i) {
        Text3[i]->setReadOnly(past);
        Text5[i]->setReadOnly(past);
        Text6[i]->setReadOnly(past);
    }
    Text2->setReadOnly(past);
    Text8->setReadOnly(past);
    for (QComboBox* box : {Combo2, Combo5, Combo4}) setComboLocked(box, past);
    // Saving while an earlier round is shown would write a mixture of that
    // round and the working set over the earlier round's questions.
    Command1->setEnabled(!past);
}
