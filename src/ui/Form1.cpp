#include "ui/Form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include "mail/SessionWiring.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "ui/ButtonKeys.h"
#include "ui/Form1RoundView.h"
#include "ui/Form1SessionView.h"
#include "ui/ResultsWindow.h"
#include "ui/ResultCells.h"
#include "ui/ValueLabel.h"
#include "ui/Widgets.h"
#include "ui/WindowPlacement.h"

namespace {

constexpr int kRows = kGridRows;

QLabel* heading(const char* caption, QWidget* parent) {
    auto* label = new QLabel(uiText(caption), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setAccessibleName(uiText(caption));
    return label;
}

// One column of a grid: ten read-only cells named after their heading and
// their row, counted from 1 as the operator counts them. Without the frame
// of an input box and on the window's background, the grid reads as a table.
std::array<QLineEdit*, kRows> cellColumn(const char* heading, int width, bool centred, QWidget* parent) {
    std::array<QLineEdit*, kRows> cells{};
    for (int r = 0; r < kRows; ++r) {
        auto* cell = new QLineEdit(parent);
        cell->setReadOnly(true);
        cell->setFrame(false);
        followReadOnly(cell);
        cell->setFixedWidth(width);
        if (centred) cell->setAlignment(Qt::AlignCenter);
        cell->setAccessibleName(QStringLiteral("%1 %2").arg(uiText(heading)).arg(r + 1));
        cells[std::size_t(r)] = cell;
    }
    return cells;
}

using CellColumn = std::array<QLineEdit*, kRows>;

// Either grid of the window: its page bar at the left edge, a heading above
// each column of cells, the count line below them all.
QGridLayout* gridLayout(std::initializer_list<std::pair<QLabel*, const CellColumn*>> columns, QScrollBar* bar,
                        QLabel* count) {
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    grid->addWidget(bar, 1, 0, kRows, 1);
    int c = 1;
    for (const auto& [heading, cells] : columns) {
        grid->addWidget(heading, 0, c);
        for (int r = 0; r < kRows; ++r) grid->addWidget((*cells)[std::size_t(r)], r + 1, c);
        ++c;
    }
    grid->addWidget(count, kRows + 1, 1, 1, c - 1);
    return grid;
}

QScrollBar* pageScrollBar(const char* name, QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Vertical, parent);
    bar->setRange(0, 0);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setAccessibleName(uiText(name));
    makePageScrollBar(bar);
    return bar;
}

}  // namespace

Form1::Form1(Module1& module1, FolderSource appFolder, QWidget* parent)
    : QWidget(parent), m(module1), appFolder_(std::move(appFolder)),
      sessionView_(std::make_unique<Form1SessionView>(*this)), roundView_(std::make_unique<Form1RoundView>(*this)) {
    buildControls();
    WindowPlacement::manage(this);
    makeMailConnections();
    wireConnections();
    Form_Load();
}

Form1::~Form1() {
    // The editors go with the main window; their closing must not bring
    // this window back while it is being destroyed.
    unloading_ = true;
    for (auto& editor : editors_) {
        if (!editor) continue;
        editor->disconnect(this);
        delete editor.data();
    }
}

// ---- Controls ------------------------------------------------------------
// One builder a group, top to bottom as the window shows them.

void Form1::buildControls() {
    setWindowTitle(uiText("メニュー"));
    setAccessibleName(uiText("メニュー"));

    auto* page = new QVBoxLayout;
    page->addLayout(editorButtons());
    page->addLayout(roundSelector());
    // The grids are the tallest part: they scroll where the screen is short.
    auto* grids = new QVBoxLayout;
    grids->addWidget(resultsFrame());
    page->addWidget(scrollPage(grids, uiText("成績"), this));
    addProgressLines(*page);
    page->addLayout(feedbackRow());
    setLayout(page);

    // Tab goes as the eye does: the editors, the round, its results and START
    // beside it, the pages of the grids, the feedback button at the bottom.
    QWidget* order[] = {Command1, Command2,      Command3, Command4, Command5, Combo1,        ResultsButton,
                        PresentButton, Command6, VScroll1, VScroll2, Command7};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    giveButtonsTheirKeys(this);
}

QPushButton* Form1::button(const char* caption) {
    auto* b = new QPushButton(uiText(caption), this);
    b->setAccessibleName(uiText(caption));
    return b;
}

QHBoxLayout* Form1::editorButtons() {
    Command1 = button("メールの設定");
    Command2 = button("アドレス帳設定");
    Command3 = button("クイズ参加確認");
    Command4 = button("問題入力");
    Command5 = button("クイズ終了");
    auto* row = new QHBoxLayout;
    for (auto* b : {Command1, Command2, Command3, Command4, Command5}) row->addWidget(b);
    return row;
}

QHBoxLayout* Form1::roundSelector() {
    Label10 = new QLabel(uiText("第"), this);
    Label10->setAccessibleName(uiText("第"));
    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setFixedWidth(80);
    Combo1->setAccessibleName(uiText("第 回クイズ大会"));
    Combo1->lineEdit()->setAccessibleName(uiText("第 回クイズ大会"));
    Label10->setBuddy(Combo1);
    Label11 = new QLabel(uiText("回クイズ大会"), this);
    Label11->setAccessibleName(uiText("回クイズ大会"));
    ResultsButton = button("結果");
    ResultsButton->setEnabled(false);   // until the grids show a round's results
    PresentButton = button("発表");
    Command6 = button("ＳＴＡＲＴ");

    auto* row = new QHBoxLayout;
    row->addWidget(Label10);
    row->addWidget(Combo1);
    row->addWidget(Label11);
    row->addSpacing(8);
    row->addWidget(ResultsButton);
    row->addWidget(PresentButton);
    row->addStretch();
    row->addWidget(Command6);
    return row;
}

QGroupBox* Form1::resultsFrame() {
    Frame1 = new QGroupBox(this);
    Frame1->setAccessibleName(uiText("成績"));
    Frame1->setTitle(uiText("成績"));
    auto* row = new QHBoxLayout;
    row->addWidget(rankingGrid(), 0, Qt::AlignTop);
    row->addSpacing(16);
    row->addWidget(joinedGrid(), 0, Qt::AlignTop);
    row->addStretch();
    Frame1->setLayout(row);
    return Frame1;
}

QWidget* Form1::rankingGrid() {
    auto* ranking = new QWidget(Frame1);
    ranking->setAccessibleName(uiText("順位表"));
    Label1 = heading("名前", ranking);
    Label2 = heading("順位", ranking);
    Label3 = heading("点数", ranking);
    Label4 = heading("正解率", ranking);
    Text1 = cellColumn("名前", 130, false, ranking);
    Text2 = cellColumn("順位", 44, true, ranking);
    Text3 = cellColumn("点数", 44, true, ranking);
    Text4 = cellColumn("正解率", 130, true, ranking);
    VScroll1 = pageScrollBar("順位表のページ", ranking);
    Label6 = new ValueLabel(uiText("順位表の参加人数"), ranking);
    ranking->setLayout(gridLayout({{Label1, &Text1}, {Label2, &Text2}, {Label3, &Text3}, {Label4, &Text4}}, VScroll1, Label6));
    return ranking;
}

QWidget* Form1::joinedGrid() {
    auto* joined = new QWidget(Frame1);
    joined->setAccessibleName(uiText("参加者一覧"));
    Label7 = heading("名前", joined);
    Label8 = heading("参加", joined);
    Text5 = cellColumn("名前", 130, false, joined);
    Text6 = cellColumn("参加", 44, true, joined);
    VScroll2 = pageScrollBar("参加者一覧のページ", joined);
    Label9 = new ValueLabel(uiText("参加者一覧の参加人数"), joined);
    joined->setLayout(gridLayout({{Label7, &Text5}, {Label8, &Text6}}, VScroll2, Label9));
    return joined;
}

void Form1::addProgressLines(QVBoxLayout& page) {
    Text7 = new QLineEdit(this);
    Text7->setReadOnly(true);
    Text7->setAccessibleName(uiText("状況"));
    followReadOnly(Text7);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(uiText("進み具合"));

    page.addWidget(Text7);
    page.addWidget(ProgressBar1);
}

QHBoxLayout* Form1::feedbackRow() {
    Undelivered = new ValueLabel(uiText("送信できなかったアドレス"), this);
    Undelivered->hide();
    Command7 = button("質問＆バグ＆感想");
    auto* row = new QHBoxLayout;
    row->addWidget(Undelivered);
    row->addStretch();
    row->addWidget(Command7);
    return row;
}

// ---- The round's mail connections -----------------------------------------

void Form1::makeMailConnections() {
    Winsock1 = m.platform.makeSocket();
    Winsock2 = m.platform.makeSocket();
    Timer1 = m.platform.makeTimer();
    Timer2 = m.platform.makeTimer();
    for (Timer* t : {Timer1.get(), Timer2.get()}) {
        t->setEnabled(false);
        t->setInterval(kSessionTimeoutMs);
    }
    roundMail_ = std::make_unique<RoundMailer>(m, vars, *sessionView_, *Winsock1, *Timer1, *Winsock2, *Timer2);
    // A socket error inside a round is shown and the time-out ends the
    // session, so the round goes on to its next step as it always did.
    wireSession(roundMail_->smtp(), *Winsock1, *Timer1, SocketErrorPolicy::ShowAndAwaitTimeOut);
    wireSession(roundMail_->pop3(), *Winsock2, *Timer2, SocketErrorPolicy::ShowAndAwaitTimeOut);
}

void Form1::wireConnections() {
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(ResultsButton, &QPushButton::clicked, this, &Form1::ResultsButton_Click);
    connect(PresentButton, &QPushButton::clicked, this, &Form1::PresentButton_Click);

    connect(Combo1, &QComboBox::editTextChanged, this, &Form1::Combo1_Change);
    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Click);
    connect(VScroll1, &QScrollBar::valueChanged, this, &Form1::VScroll1_Change);
    connect(VScroll2, &QScrollBar::valueChanged, this, &Form1::VScroll2_Change);
}

// ---- Load, activation, unload -------------------------------------------

void Form1::Form_Load() {
    // A second copy of the program has already been turned away in main(),
    // before any window exists.
    m.platform.appFolder = appFolder_();
    fillRoundSelector();
    resetScrollBar(VScroll1);
    resetScrollBar(VScroll2);
}

void Form1::Form_Activate() {
    m.platform.appFolder = appFolder_();
    fillRoundSelector();
    Combo1_Click();
}

void Form1::Form_Unload() {
    unloading_ = true;
    for (auto& editor : editors_)
        if (editor) editor->close();
    QCoreApplication::quit();
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Activation is the first showing and the return from an editor, not
    // every focus change: a message box closing during a round must not
    // clear the window.
    if (!event->spontaneous() && !activatedOnce_) {
        activatedOnce_ = true;
        Form_Activate();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted()) return;
    // Closing the window ends a running round where it stands: START returns
    // without sending or storing anything more, and the program ends after it.
    if (round_) round_->stop();
    Form_Unload();
}

void Form1::fillRoundSelector() {
    m.quizRun.CurrentRound = currentRoundOrFirst(*m.platform.files);
    const QString current = QString::number(m.quizRun.CurrentRound);
    Combo1->clear();
    for (int round = 1; round <= m.quizRun.CurrentRound; ++round) Combo1->addItem(QString::number(round));
    Combo1->setEditText(current);
    m.quizRun.RoundNumber = Charset::toSjis(current);
    // Refilling passes through other texts on the way; the selector now
    // shows the current round, which START may play (not inside a round).
    Command6->setEnabled(!roundRunning());
}

// ---- Status line ---------------------------------------------------------

void Form1::setStatus(const SjisText& text) {
    setText(Text7, text);
}

SjisText Form1::status() const {
    return textOf(Text7);
}

// ---- Editor windows ------------------------------------------------------

void Form1::setEditorFactory(int command, EditorFactory factory) {
    if (command < 1 || command >= int(editorFactories_.size())) return;
    editorFactories_[std::size_t(command)] = std::move(factory);
}

EditorWindow* Form1::editorWindow(int command) const {
    if (command < 1 || command >= int(editors_.size())) return nullptr;
    return editors_[std::size_t(command)].data();
}

void Form1::openEditorFor(int command) {
    if (roundRunning()) return;
    if (command < 1 || command >= int(editorFactories_.size())) return;
    auto& editor = editors_[std::size_t(command)];
    if (!editor) {
        const EditorFactory& make = editorFactories_[std::size_t(command)];
        if (!make) return;
        editor = make();
        if (!editor) return;
    }
    openEditor(editor);
}

void Form1::openEditor(EditorWindow* editor) {
    if (!editor) return;
    connect(editor, &EditorWindow::closed, this, &Form1::editorClosed, Qt::UniqueConnection);
    hide();
    editor->show();
    editor->raise();
    editor->activateWindow();
    editor->Form_Activate();
}

void Form1::editorClosed() {
    if (unloading_) return;
    activatedOnce_ = true;   // activation follows here, not from the show
    show();
    raise();
    activateWindow();
    Form_Activate();
}

// No editor opens while a round runs: its set-up files must not change
// under it, even after a session time-out.
void Form1::Command1_Click() { openEditorFor(1); }
void Form1::Command2_Click() { openEditorFor(2); }
void Form1::Command3_Click() { openEditorFor(3); }
void Form1::Command4_Click() { openEditorFor(4); }
void Form1::Command5_Click() { openEditorFor(5); }
void Form1::Command7_Click() { openEditorFor(7); }

// START: plays one round of the round the selector shows, which is the
// current one. It returns when the round has ended, however it ended.
void Form1::Command6_Click() {
    if (roundRunning() || !selectorShowsCurrentRound()) return;
    const SjisText played = m.quizRun.RoundNumber;
    const std::int16_t counter = m.quizRun.CurrentRound;
    QuizRound round(m, vars, *roundView_, *roundMail_);
    round_ = &round;
    followResultsRound(resultsRound_);   // nothing to open or save meanwhile
    round.play();
    round_ = nullptr;
    // A round that stored its results stays in the grids after the selector
    // has moved on to the next round: those are the results to look at.
    followResultsRound(m.quizRun.CurrentRound != counter ? played : resultsRound_);
}

