#include "ui/Form6.h"

#include <memory>
#include <optional>
#include <string>

#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/NumberField.h"
#include "model/RecordFiles.h"
#include "model/QuestionRules.h"
#include "platform/qt/Charset.h"
#include "run/ClosingMailText.h"
#include "ui/ButtonKeys.h"
#include "ui/ComboLock.h"
#include "run/QuestionMailText.h"
#include "ui/FieldRules.h"
#include "ui/Widgets.h"

namespace {

constexpr int kMaxInt16 = 32767;

// Whether a question file's count names at least one question: without one
// there is no last question for the closing mail to report on.
bool hasQuestions(const QuestionSet& set) {
    return wholeNumberIn(set.QuestionCount, 1, kQuestionSlots).has_value();
}

}  // namespace

Form6::Form6(Module1& module, QWidget* parent) : EditorWindow(parent), m(module) {
    // Made anew for every opening, gone when closed: unsaved edits go with it.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    setInitialState();
    connectHandlers();
    Form_Load();
    askBeforeDroppingEdits(*m.platform.messageBox, [this] {
        // Locked (an earlier round, or no questions): nothing can be saved.
        return locked_ ? std::string() : shownValues({Combo0, Text0, Text1, Text3, Text2});
    });
}

// ---------------------------------------------------------------------------
// Controls

void Form6::buildControls() {
    setWindowTitle(QStringLiteral("クイズ終了確認"));

    auto combo = [this](const QString& name) {
        auto* box = new QComboBox(this);
        makeTypedTextNoChoice(box);
        box->setAccessibleName(name);
        return box;
    };
    auto line = [this](const QString& name) {
        auto* box = new QLineEdit(this);
        box->setAccessibleName(name);
        return box;
    };
    Combo1 = combo(QStringLiteral("回数"));
    Combo0 = combo(QStringLiteral("挨拶"));
    Text0 = line(QStringLiteral("名前"));
    Text1 = line(QStringLiteral("件名"));
    Text3 = line(QStringLiteral("送信文字数"));
    Text2 = new QPlainTextEdit(this);
    Text2->setAccessibleName(QStringLiteral("クイズ終了メール"));
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text2->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on, as in every other box: a mail to a phone has no use for
    // a tab, and the keyboard alone must get past the body.
    Text2->setTabChangesFocus(true);
    // The mail's banner lines line up only in a fixed-pitch font, as on the phones.
    Text2->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    guardText(Combo0);
    guardText(Text0);
    guardText(Text1);
    guardText(Text2);

    Command1 = new QPushButton(QStringLiteral("確定"), this);
    Command2 = new QPushButton(QStringLiteral("戻る"), this);

    auto* title = new QLabel(QStringLiteral("クイズ終了確認"), this);
    makeHeading(title);
    makeNumberBox(Combo1);
    makeNumberBox(Text3);
    // Wide enough for the subject offered for a round ("第12回のクイズ終了ご確認").
    for (QLineEdit* box : {Text0, Text1}) box->setMinimumWidth(240);

    auto* fields = new QGridLayout;
    int r = 0;
    auto row = [&](const QString& caption, QWidget* field) {
        auto* beside = new QLabel(caption, this);
        beside->setBuddy(field);   // read by assistive technology as the field's label
        fields->addWidget(beside, r, 0);
        fields->addWidget(field, r, 1, 1, 2);
        ++r;
    };
    row(QStringLiteral("回数"), Combo1);
    row(QStringLiteral("挨拶"), Combo0);
    row(QStringLiteral("名前"), Text0);
    row(QStringLiteral("件名"), Text1);
    fields->addWidget(new QLabel(QStringLiteral("送信文字数"), this), r++, 0, 1, 3);
    auto* countLabel = new QLabel(QStringLiteral("文字数"), this);
    countLabel->setBuddy(Text3);
    fields->addWidget(countLabel, r, 0);
    auto* withUnit = new QHBoxLayout;
    withUnit->addWidget(Text3);
    withUnit->addWidget(new QLabel(QStringLiteral("文字"), this));
    withUnit->addStretch();
    fields->addLayout(withUnit, r++, 1, 1, 2);
    fields->setRowStretch(r, 1);

    auto* left = new QVBoxLayout;
    left->addLayout(fields, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addWidget(frameLine(QFrame::VLine, this));
    columns->addWidget(Text2, 1);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(title);
    outer->addLayout(columns, 1);
    outer->addLayout(buttonRow({Command1, Command2}));
    resize(720, 420);
    giveButtonsTheirKeys(this);
}

void Form6::setInitialState() {
    setText(Combo0, closingtext::Greeting1);
    setText(Text3, "250");
    Text3->setReadOnly(true);
    for (QLineEdit* box : {Text0, Text1, Text3}) followReadOnly(box);
    followReadOnly(Text2);
}

void Form6::connectHandlers() {
    connect(Combo0, &QComboBox::activated, this, &Form6::Combo0_Click);
    connect(Combo1, &QComboBox::activated, this, &Form6::Combo1_Click);
    connect(Text0, &QLineEdit::textChanged, this, &Form6::Text0_Change);
    connect(Text2, &QPlainTextEdit::textChanged, this, &Form6::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form6::Command2_Click);
}

// ---------------------------------------------------------------------------
// Loading

void Form6::Form_Load() {
    Loaded = false;

    MailSettings settings;
    if (readRecordFile(*m.platform.files, FileNames::kMailSettings, settings))
        setText(Text0, settings.SenderName);
    else
        setText(Text0, "");

    Combo0->clear();
    Combo0->addItem(Charset::toQt(closingtext::Greeting1));
    Combo0->addItem(Charset::toQt(closingtext::Greeting2));
    setText(Combo0, closingtext::Greeting1);

    Combo1->clear();
    currentRound_ = currentRoundOrFirst(*m.platform.files);
    m.quizRun.CurrentRound = currentRound_;
    for (int n = 1; n <= currentRound_; ++n) Combo1->addItem(QString::number(n));
    setText(Combo1, std::to_string(currentRound_));
    const SjisText round = textOf(Combo1);

    // The round's questions: the count decides whether there is a last
    // question to report on; the rest is taken into the working set.
    auto stored = std::make_unique<QuestionSet>();
    const bool opened = readRecordFile(*m.platform.files, roundFileName(FileNames::kQuestionPrefix, round), *stored);
    if (opened && !hasQuestions(*stored)) {
        tell(*m.platform.messageBox, QStringLiteral("問題を入力して下さい"));
        setRoundColour(true);
        setLocked(true);
        setComboLocked(Combo1, true);
        Command1->setEnabled(false);
        return;   // Loaded stays unset: only "戻る" and the close box are left
    }

    setText(Text1, DefaultClosingSubject(round));
    if (opened) takeQuestionSet(*stored, m.questionSet);
    ComposeClosingMail();
    updateByteCount();
    trv6_read();
    Loaded = true;
}

bool Form6::trv6_read() {
    ClosingMail& mail = m.closingMail;
    if (!readRecordFile(*m.platform.files, roundFileName(FileNames::kClosingMailPrefix, textOf(Combo1)), mail)) return false;
    if (mail.Round != 0) {
        setText(Combo0, mail.Greeting);
        setText(Text0, mail.SenderName);
        setText(Text1, mail.Subject);
        setText(Text3, std::to_string(mail.ByteCount));
        // Last, so the stored body stays even where the name rebuilt it.
        setTextIfChanged(Text2, mail.Body);
    }
    return true;
}

bool Form6::trv6_Write() {
    ClosingMail& mail = m.closingMail;
    mail.Greeting = textOf(Combo0);
    mail.SenderName = textOf(Text0);
    mail.Round = std::int16_t(wholeNumberIn(textOf(Combo1), 1, kMaxInt16).value_or(0));
    mail.Subject = textOf(Text1);
    mail.ByteCount = std::int16_t(wholeNumberIn(textOf(Text3), 0, kMaxInt16).value_or(0));
    mail.Body = textOf(Text2);
    // ReplyMinutes goes back as it was read.
    return writeRecordFile(*m.platform.files, roundFileName(FileNames::kClosingMailPrefix, textOf(Combo1)), mail);
}

void Form6::ComposeClosingMail() {
    setTextIfChanged(Text2, BuildClosingMailText(textOf(Combo0), textOf(Text0), textOf(Combo1), m.questionSet));
}

void Form6::updateByteCount() { setText(Text3, std::to_string(textOf(Text2).size())); }

// ---------------------------------------------------------------------------
// Handlers

void Form6::Combo0_Click() { ComposeClosingMail(); }

void Form6::Text0_Change() {
    if (Loaded) ComposeClosingMail();
}

void Form6::Text2_Change() { updateByteCount(); }

void Form6::Combo1_Click() {
    // Either way the fields on screen are replaced.
    if (!mayDropEdits()) {
        setText(Combo1, std::to_string(currentRound_));
        return;
    }
    const SjisText chosen = textOf(Combo1);
    const auto round = wholeNumberIn(chosen, 1, kMaxInt16);
    if (round && *round == currentRound_) {
        setText(Text1, DefaultClosingSubject(chosen));
        setRoundColour(false);
        setLocked(false);
        Command1->setEnabled(true);
        // Everything is loaded afresh: unsaved edits are dropped.
        Form_Load();
        draftSaved();
    } else {
        setRoundColour(true);
        setLocked(true);
        Command1->setEnabled(false);
        setText(Text1, DefaultClosingSubject(chosen));
        readQuestionFileInto(*m.platform.files, chosen, m.questionSet);
        ComposeClosingMail();
        updateByteCount();
        trv6_read();
    }
    Combo0->setFocus();
}

void Form6::Command1_Click() {
    if (!fieldsReadyToSave()) return;
    if (!trv6_Write()) {
        // Closing now would lose the mail while looking saved.
        tell(*m.platform.messageBox, QStringLiteral("クイズ終了メールを保存できませんでした。ディスクの空きや書き込みの権限を確かめて下さい。"));
        return;
    }
    draftSaved();
    close();
}

void Form6::Command2_Click() { close(); }

bool Form6::fieldsReadyToSave() {
    const auto round = wholeNumberIn(textOf(Combo1), 1, kMaxInt16);
    // Another number typed here would put this mail over that round's.
    const bool thisRound = round && *round == currentRound_;
    return noFieldProblem(*m.platform.messageBox,
                          {{thisRound ? QString() : currentRoundMessage(Combo1->accessibleName(), currentRound_), Combo1},
                           {textProblem(Combo0), Combo0},
                           {textProblem(Text0), Text0},
                           {textProblem(Text1), Text1},
                           // The byte count is stored as a 16-bit number.
                           {textProblem(Text2, kCountedBodyBytes), Text2}});
}

// ---------------------------------------------------------------------------
// Current round (black, editable), an earlier round or a blocked window (red, locked)

void Form6::setRoundColour(bool red) {
    for (QWidget* w : std::initializer_list<QWidget*>{Combo1, Combo0, Text0, Text1, Text3, Text2})
        setPastRoundColour(w, red);
}

void Form6::setLocked(bool locked) {
    locked_ = locked;
    setComboLocked(Combo0, locked);
    Text0->setReadOnly(locked);
    Text1->setReadOnly(locked);
    Text2->setReadOnly(locked);
}
