#include "ui/Form4.h"

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
#include <algorithm>
#include <array>
#include <optional>

#include "mail/StoredPasswords.h"
#include "model/RecordCodec.h"
#include "model/NumberField.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "ui/ButtonKeys.h"
#include "ui/ComboLock.h"
#include "mail/Transport.h"
#include "run/InvitationText.h"
#include "run/RoundSetup.h"
#include "ui/RecipientCounts.h"
#include "ui/ValueLabel.h"
#include "ui/FieldRules.h"
#include "ui/Widgets.h"

namespace {

constexpr int kMaxReplyMinutesInList = 20;
constexpr int kInt16Max = 32767;

// `content` inside a frame of four lines: top, left, right, bottom.
QGridLayout* framed(QLayout* content, QFrame* top, QFrame* left, QFrame* right, QFrame* bottom) {
    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    grid->addWidget(top, 0, 0, 1, 3);
    grid->addWidget(left, 1, 0);
    grid->addLayout(content, 1, 1);
    grid->addWidget(right, 1, 2);
    grid->addWidget(bottom, 2, 0, 1, 3);
    return grid;
}

// Refills a combo's list without losing the text it shows: Qt would put the
// first entry into the box as soon as an empty list gets one.
void fillList(QComboBox* box, const QStringList& items) {
    const QString shown = box->currentText();
    box->clear();
    box->addItems(items);
    box->setEditText(shown);
}

QStringList numberList(int last) {
    QStringList items;
    for (int n = 1; n <= last; ++n) items << QString::number(n);
    return items;
}

}  // namespace

Form4::Form4(Module1& module1, QWidget* parent) : EditorWindow(parent), m(module1) {
    // Made afresh for every opening, gone when closed.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    wireConnections();
    Form_Load();
    askBeforeDroppingEdits(*m.platform.messageBox, [this] {
        // An earlier round is only shown: nothing of it can be saved.
        return pastRound_ ? std::string() : shownValues({Combo0, Text0, Combo2, Text1, Text3, Text2});
    });
}

void Form4::buildControls() {
    setWindowTitle(uiText("クイズ参加確認"));
    setAccessibleName(uiText("クイズ参加確認"));

    auto combo = [this](QLabel* beside) {
        auto* c = new QComboBox(this);
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setAccessibleName(beside->text());
        c->lineEdit()->setAccessibleName(beside->text());
        beside->setBuddy(c);
        return c;
    };
    auto box = [this](QLabel* beside) {
        auto* b = new QLineEdit(this);
        b->setAccessibleName(beside->text());
        beside->setBuddy(b);
        return b;
    };

    Label7 = captionLabel(uiText("クイズ参加確認"), this);
    makeHeading(Label7);
    Label1 = captionLabel(uiText("回数"), this);
    Combo1 = combo(Label1);
    makeNumberBox(Combo1);
    Label11 = captionLabel(uiText("回"), this);
    Label8 = captionLabel(uiText("挨拶"), this);
    Combo0 = combo(Label8);
    Combo0->setMinimumWidth(200);
    Label9 = captionLabel(uiText("名前"), this);
    Text0 = box(Label9);
    Label2 = captionLabel(uiText("返信時間"), this);
    Combo2 = combo(Label2);
    makeNumberBox(Combo2);
    Combo2->setEditText(QStringLiteral("5"));   // until a stored record says otherwise
    Label10 = captionLabel(uiText("分"), this);
    Label3 = captionLabel(uiText("件名"), this);
    Text1 = box(Label3);
    Text1->setMinimumWidth(240);
    Label4 = captionLabel(uiText("送信文字数"), this);
    Label5 = captionLabel(uiText("文字数"), this);
    Text3 = box(Label5);
    makeNumberBox(Text3);
    Text3->setReadOnly(true);   // until the current round is chosen from the list
    followReadOnly(Text3);
    Label6 = captionLabel(uiText("文字"), this);
    MaxRecipients = new ValueLabel(uiText("送信する宛先数（最大）"), this);
    MaxRecipients->setWordWrap(true);

    Text2 = new QPlainTextEdit(this);
    Text2->setAccessibleName(uiText("本文"));
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text2->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on, as in every other box: a mail to a phone has no use for
    // a tab, and the keyboard alone must get past the body.
    Text2->setTabChangesFocus(true);
    Text2->setMinimumSize(300, 380);
    // Phones show mail in fixed pitch: the banner lines line up only so.
    Text2->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    guardText(Combo0);
    guardText(Text0);
    guardText(Text1);
    guardText(Text2);
    for (QLineEdit* b : {Text0, Text1}) followReadOnly(b);
    followReadOnly(Text2);

    Command1 = new QPushButton(uiText("確定"), this);
    Command1->setAccessibleName(uiText("確定"));
    Command2 = new QPushButton(uiText("戻る"), this);
    Command2->setAccessibleName(uiText("戻る"));

    Line1 = frameLine(QFrame::HLine, this);
    Line2 = frameLine(QFrame::VLine, this);
    Line3 = frameLine(QFrame::VLine, this);
    Line4 = frameLine(QFrame::HLine, this);
    Line5 = frameLine(QFrame::HLine, this);
    Line6 = frameLine(QFrame::VLine, this);
    Line7 = frameLine(QFrame::VLine, this);
    Line8 = frameLine(QFrame::HLine, this);
    Line9 = frameLine(QFrame::HLine, this);
    Line10 = frameLine(QFrame::VLine, this);
    Line11 = frameLine(QFrame::VLine, this);
    Line12 = frameLine(QFrame::HLine, this);

    // Left: the fields, label beside each, then the byte count; right: the body.
    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Combo1, 0, 1);
    fields->addWidget(Label11, 0, 2);
    fields->addWidget(Label8, 1, 0);
    fields->addWidget(Combo0, 1, 1, 1, 2);
    fields->addWidget(Label9, 2, 0);
    fields->addWidget(Text0, 2, 1, 1, 2);
    fields->addWidget(Label2, 3, 0);
    fields->addWidget(Combo2, 3, 1);
    fields->addWidget(Label10, 3, 2);
    fields->addWidget(Label3, 4, 0);
    fields->addWidget(Text1, 4, 1, 1, 2);

    auto* count = new QGridLayout;
    count->addWidget(Label4, 0, 0, 1, 3);
    count->addWidget(Label5, 1, 0);
    count->addWidget(Text3, 1, 1);
    count->addWidget(Label6, 1, 2);

    auto* body = new QVBoxLayout;
    body->addWidget(Text2);

    auto* left = new QVBoxLayout;
    left->addLayout(framed(fields, Line1, Line2, Line3, Line4));
    // Apart, or the bottom rule of one frame and the top rule of the next
    // read as one double rule.
    left->addSpacing(12);
    left->addLayout(framed(count, Line5, Line6, Line7, Line8));
    left->addSpacing(12);
    left->addWidget(captionLabel(MaxRecipients->accessibleName(), this));
    left->addWidget(MaxRecipients);
    left->addStretch();

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(framed(body, Line9, Line10, Line11, Line12), 1);

    QHBoxLayout* buttons = buttonRow({Command1, Command2});

    auto* page = new QVBoxLayout;
    page->addWidget(Label7);
    // The fields and the body scroll where the screen is short; the
    // heading and the buttons stay in view.
    page->addWidget(scrollPage(columns, uiText("クイズ参加確認"), this));
    page->addLayout(buttons);
    setLayout(page);
    giveButtonsTheirKeys(this);
}

void Form4::wireConnections() {
    // A combo's _Click is a choice from its list; typing into it composes nothing.
    connect(Combo0, &QComboBox::activated, this, &Form4::Combo0_Click);
    connect(Combo1, &QComboBox::activated, this, &Form4::Combo1_Click);
    connect(Combo2, &QComboBox::activated, this, &Form4::Combo2_Click);
    connect(Text0, &QLineEdit::textChanged, this, &Form4::Text0_Change);
    connect(Text2, &QPlainTextEdit::textChanged, this, &Form4::Text2_Change);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
}

void Form4::Form_Load() {
    DataFiles& files = *m.platform.files;

    setText(Combo0, GreetingByClock(m.platform.clock->localTimeHHMM()));

    // Through the one reader of the settings, so the shared record keeps its
    // passwords where the keyring holds them; only the name is shown here.
    if (readMailSettings(m).read)
        setText(Text0, m.mailSettings.SenderName);
    else
        Text0->clear();

    fillList(Combo0, {Charset::toQt(kGreetingMorning), Charset::toQt(kGreetingAfternoon),
                      Charset::toQt(kGreetingEvening)});

    int lastRound = 1;
    if (std::optional<std::int16_t> stored = readRoundCounter(files)) {
        m.quizRun.CurrentRound = *stored;   // a stored 0 already reads as 1
        lastRound = *stored;
        Combo1->setEditText(QString::number(*stored));
    } else {
        // No counter: round 1 only; the main window's CurrentRound stands.
        Combo1->setEditText(QStringLiteral("1"));
    }
    fillList(Combo1, numberList(lastRound));
    fillList(Combo2, numberList(kMaxReplyMinutesInList));

    setText(Text1, InvitationSubject(textOf(Combo1)));
    ComposeInvitationText();
    Text2_Change();
    trv4_read();
    showMostRecipients();
}

void Form4::showMostRecipients() {
    DataFiles& files = *m.platform.files;
    // Read only: this window neither keeps nor creates these files.
    AddressBook book;
    readRecordFile(files, FileNames::kAddressBook, book, DataFiles::Mode::ReadOnly);
    int invited = 0;
    for (int i = 0; i < kAddressSlots; ++i) invited += IsInvited(book, i) ? 1 : 0;
    QuestionSet questions;
    readRecordFile(files, roundFileName(FileNames::kQuestionPrefix, textOf(Combo1)), questions, DataFiles::Mode::ReadOnly);
    const RoundRecipients most = MostRecipients(invited, QuestionCountOf(questions).value_or(0));
    const int limit = ReadTransportSettings(files).DailyRecipientLimit;
    MaxRecipients->setText(mostRecipientsText(most) +
                            (limit > 0 ? uiText("（1日の送信上限 %1件）").arg(limit) : QString()));
}

void Form4::ComposeInvitationText() {
    setText(Text2, InvitationBody(textOf(Combo0), textOf(Text0), textOf(Combo1), textOf(Combo2)));
}

void Form4::trv4_read() {
    InvitationMail& mail = m.invitationMail;
    // A missing file is created empty by the open and shows nothing.
    if (!readRecordFile(*m.platform.files, roundFileName(FileNames::kInvitationPrefix, textOf(Combo1)), mail)) return;
    if (mail.Round == 0) return;   // never saved
    setText(Combo0, mail.Greeting);
    setText(Text0, mail.SenderName);   // recomposes the body ...
    Combo2->setEditText(QString::number(mail.ReplyMinutes));
    setText(Text1, mail.Subject);
    Text3->setText(QString::number(mail.ByteCount));
    setText(Text2, mail.Body);         // ... so the stored body goes in last
}

bool Form4::trv4_Write() {
    // Every field is checked before anything is stored, so a refused save
    // leaves both the file and the shared record as they were. The body's
    // byte count is stored as a 16-bit number.
    if (!noFieldProblem(*m.platform.messageBox, {{textProblem(Combo0), Combo0},
                                                 {textProblem(Text0), Text0},
                                                 {textProblem(Text1), Text1},
                                                 {textProblem(Text2, kCountedBodyBytes), Text2}}))
        return false;
    struct NumberField {
        const char* name;
        SjisText text;
        int low, high;
        std::optional<int> value;
    };
    // An earlier round's invitation was sent already: typing its number into
    // the selector must not overwrite it.
    const int firstEditableRound = std::max<int>(1, m.quizRun.CurrentRound);
    std::array<NumberField, 3> numbers = {{
        {"回数", textOf(Combo1), firstEditableRound, kInt16Max, {}},
        {"返信時間", textOf(Combo2), 1, kInt16Max, {}},
        {"文字数", textOf(Text3), 0, kInt16Max, {}},
    }};
    for (NumberField& f : numbers) {
        f.value = wholeNumberIn(f.text, f.low, f.high);
        if (!f.value) {
            tell(*m.platform.messageBox, wholeNumberMessage(uiText(f.name), f.low, f.high));
            return false;
        }
    }

    DataFiles& files = *m.platform.files;
    files.close();
    if (!files.open(roundFileName(FileNames::kInvitationPrefix, numbers[0].text), DataFiles::Mode::ReadWrite))
        return true;   // file errors are not reported; the window closes as usual
    InvitationMail& mail = m.invitationMail;
    mail.Round = std::int16_t(*numbers[0].value);
    mail.Greeting = textOf(Combo0);
    mail.SenderName = textOf(Text0);
    mail.ReplyMinutes = std::int16_t(*numbers[1].value);
    mail.Subject = textOf(Text1);
    mail.ByteCount = std::int16_t(*numbers[2].value);
    mail.Body = textOf(Text2);
    files.writeRecord(encodeRecord(mail));
    files.close();
    return true;
}

void Form4::Combo0_Click() { ComposeInvitationText(); }
void Form4::Combo2_Click() { ComposeInvitationText(); }
void Form4::Text0_Change() { ComposeInvitationText(); }

void Form4::Combo1_Click() {
    const SjisText round = textOf(Combo1);
    if (round == std::to_string(m.quizRun.CurrentRound)) {
        // Back to the current round: the fields keep what they show (even if
        // it came from an earlier round just viewed) and the body is composed
        // from them afresh.
        setText(Text1, InvitationSubject(round));
        ComposeInvitationText();
        setPastRound(false);
    } else {
        // Showing the earlier round replaces the fields on screen.
        if (!mayDropEdits()) {
            Combo1->setEditText(QString::number(m.quizRun.CurrentRound));
            return;
        }
        setPastRound(true);
        trv4_read();
    }
    showMostRecipients();
}

void Form4::setPastRound(bool past) {
    pastRound_ = past;
    for (QWidget* w : std::initializer_list<QWidget*>{Combo1, Combo0, Text0, Combo2, Text1, Text3, Text2}) {
        setPastRoundColour(w, past);
    }
    for (QComboBox* c : {Combo1, Combo0, Combo2}) setPastRoundColour(c->lineEdit(), past);
    setComboLocked(Combo0, past);
    setComboLocked(Combo2, past);
    Text0->setReadOnly(past);
    Text1->setReadOnly(past);
    Text3->setReadOnly(past);
    Text2->setReadOnly(past);
    Command1->setEnabled(!past);
}

void Form4::Text2_Change() {
    Text3->setText(QString::number(textOf(Text2).size()));
}

void Form4::Command1_Click() {
    if (!trv4_Write()) return;
    draftSaved();
    close();
}

void Form4::Command2_Click() {
    close();   // nothing saved; asked first when something was typed
}
