#include "ui/Form3.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "mail/Players.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "ui/ButtonKeys.h"
#include "ui/FieldRules.h"
#include "ui/PageScrollBar.h"
#include "ui/ReplyGroup.h"
#include "ui/ValueLabel.h"
#include "ui/Widgets.h"

namespace {

constexpr const char* kFile = FileNames::kAddressBook;

// Showing a page raises the change events of its rows, which store the rows
// back. A slot keeps its own bytes while its box still shows them, so paging
// never rewrites text the converter cannot carry both ways.
void takeIfEdited(SjisText& slot, const QString& shown) {
    if (Charset::toQt(slot) != shown) slot = Charset::toSjis(shown);
}

}  // namespace

Form3::Form3(Module1& module1, QWidget* parent) : EditorWindow(parent), m(module1) {
    // Made afresh for every opening, gone when closed.
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    wireConnections();
    Form_Load();
}

int Form3::slotOfRow(int r) const {
    return kRows * VScroll1->value() + r;
}

void Form3::buildControls() {
    setWindowTitle(uiText("アドレス帳設定"));
    setAccessibleName(uiText("アドレス帳設定"));

    Label2 = captionLabel(uiText("アドレス帳"), this);
    makeHeading(Label2);
    Label1 = captionLabel(uiText("名前"), this);
    Label3 = captionLabel(uiText("メールアドレス"), this);
    Label4 = captionLabel(uiText("送信"), this);
    Label4->setAlignment(Qt::AlignCenter);

    // Each row's boxes are named by the entry they show, as each page is shown.
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        Text1[i] = new QLineEdit(this);
        Text1[i]->setFixedWidth(160);
        Text2[i] = new QLineEdit(this);
        Text2[i]->setFixedWidth(260);
        Check1[i] = new QCheckBox(this);
        guardText(Text1[i]);
        guardText(Text2[i], kAddressChars);
    }

    VScroll1 = new PageScrollBar(*m.platform.messageBox, this);
    VScroll1->pageChecks = [this] { return shownPageChecks(); };
    VScroll1->setRange(0, kLastPage);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(1);
    VScroll1->setAccessibleName(uiText("アドレス帳のページ"));
    // Reached by Tab, so the other pages are filled in from the keyboard too.
    makePageScrollBar(VScroll1);

    // Made before "戻る", so Tab goes from the list through the group to it.
    Replies = new ReplyGroup(this);
    Command1 = new QPushButton(uiText("戻る"), this);
    Command1->setAccessibleName(uiText("戻る"));

    // The list inside a frame of four lines: top, left, right, bottom.
    Line1 = frameLine(QFrame::HLine, this);
    Line2 = frameLine(QFrame::VLine, this);
    Line3 = frameLine(QFrame::VLine, this);
    Line4 = frameLine(QFrame::HLine, this);

    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    grid->addWidget(Line1, 0, 0, 1, 6);
    grid->addWidget(Line2, 1, 0, kRows + 1, 1);
    grid->addWidget(Label1, 1, 1);
    grid->addWidget(Label3, 1, 2);
    grid->addWidget(Label4, 1, 3);
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        grid->addWidget(Text1[i], r + 2, 1);
        grid->addWidget(Text2[i], r + 2, 2);
        grid->addWidget(Check1[i], r + 2, 3, Qt::AlignCenter);
    }
    grid->addWidget(VScroll1, 2, 4, kRows, 1);
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        VScroll1->takeWheelFrom({Text1[i], Text2[i], Check1[i]});
    }
    grid->addWidget(Line3, 1, 5, kRows + 1, 1);
    grid->addWidget(Line4, kRows + 2, 0, 1, 6);

    // Which ten of the thousand slots the rows show.
    Label5 = new ValueLabel(uiText("表示中のアドレス"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label5);
    buttons->addStretch();
    buttons->addWidget(Command1);

    // The group stands beside the list, at its top; the list keeps its rows
    // together at the top where the group is the taller.
    auto* list = new QVBoxLayout;
    list->addLayout(grid);
    list->addStretch();
    auto* listAndGroup = new QHBoxLayout;
    listAndGroup->addLayout(list);
    listAndGroup->addWidget(Replies, 0, Qt::AlignTop);

    auto* page = new QVBoxLayout;
    page->addWidget(Label2);
    // The list and the group scroll where the screen is short (a large
    // desktop font makes them taller); the heading and "戻る" stay in view.
    page->addWidget(scrollPage(listAndGroup, uiText("アドレス帳設定"), this));
    page->addLayout(buttons);
    setLayout(page);
    giveButtonsTheirKeys(this);
}

void Form3::wireConnections() {
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        connect(Text1[i], &QLineEdit::textChanged, this, [this, r] { Text1_Change(r); });
        connect(Text2[i], &QLineEdit::textChanged, this, [this, r] { Text2_Change(r); });
        // clicked, not toggled: only the operator's click is an edit.
        connect(Check1[i], &QCheckBox::clicked, this, [this, r] { Check1_Click(r); });
    }
    connect(VScroll1, &PageScrollBar::pageChanged, this, &Form3::VScroll1_Change);
    connect(Command1, &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Form_Load() {
    // Unreadable: the shared record stays as it was and is shown.
    readRecordFile(*m.platform.files, kFile, m.addressBook);
    m.replySettings = ReadReplySettings(*m.platform.files);
    Replies->load(m.replySettings);
    if (VScroll1->value() == 0)
        VScroll1_Change();
    else
        VScroll1->setValue(0);   // raises VScroll1_Change
}

QList<FieldCheck> Form3::shownPageChecks() const {
    QList<FieldCheck> checks;
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        const auto slot = std::size_t(kRows * shownPage_ + r);
        checks << FieldCheck{textProblemUnlessKept(Text1[i], m.addressBook.Names[slot]), Text1[i]}
               << FieldCheck{textProblemUnlessKept(Text2[i], m.addressBook.Addresses[slot]), Text2[i]};
    }
    return checks;
}

QList<FieldCheck> Form3::leavingChecks() const {
    return shownPageChecks() + Replies->checks();
}

void Form3::VScroll1_Change() {
    // The bar checked the rows before it let their page go.
    shownPage_ = VScroll1->value();
    Label5->setText(QStringLiteral("%1–%2 / %3").arg(kRows * shownPage_ + 1).arg(kRows * shownPage_ + kRows).arg(kAddressSlots));
    const AddressBook& book = m.addressBook;
    for (int r = 0; r < kRows; ++r) {
        const auto i = std::size_t(r);
        const auto slot = std::size_t(slotOfRow(r));
        // Named by the entry's number, so a message or a screen reader
        // names the entry itself ("名前 1000"), not the row on screen.
        const QString entry = QString::number(slot + 1);
        Text1[i]->setAccessibleName(uiText("名前 ") + entry);
        Text2[i]->setAccessibleName(uiText("メールアドレス ") + entry);
        Check1[i]->setAccessibleName(uiText("送信 ") + entry);
        setText(Text1[i], book.Names[slot]);
        setText(Text2[i], book.Addresses[slot]);
        Check1[i]->setChecked(book.SendFlags[slot] != 0);
    }
}

void Form3::Text1_Change(int r) {
    takeIfEdited(m.addressBook.Names[std::size_t(slotOfRow(r))], Text1[std::size_t(r)]->text());
}

void Form3::Text2_Change(int r) {
    QLineEdit* box = Text2[std::size_t(r)];
    const QString typed = box->text();
    if (typed.contains(QLatin1Char(' '))) {
        // Only U+0020 goes; the ideographic space and tabs stay. Writing the
        // cleaned text back raises this handler once more for the same row,
        // which finds nothing to remove and stores the cleaned text.
        const int spacesBeforeCursor = typed.left(box->cursorPosition()).count(QLatin1Char(' '));
        const int cursor = box->cursorPosition() - spacesBeforeCursor;
        QString cleaned = typed;
        cleaned.remove(QLatin1Char(' '));
        box->setText(cleaned);
        box->setCursorPosition(cursor);
    }
    takeIfEdited(m.addressBook.Addresses[std::size_t(slotOfRow(r))], box->text());
}

void Form3::Check1_Click(int r) {
    m.addressBook.SendFlags[std::size_t(slotOfRow(r))] = Check1[std::size_t(r)]->isChecked() ? 1 : 0;
}

void Form3::Command1_Click() {
    close();   // Form_Unload saves
}

void Form3::Form_Unload() {
    trv2_Write();
    trv2x_Write();
}

void Form3::trv2_Write() {
    // Unwritable: the edits live on in the shared record until the program ends.
    writeRecordFile(*m.platform.files, kFile, m.addressBook);
}

void Form3::trv2x_Write() {
    // Written only when it says something: a folder that keeps the carriers'
    // domains gets no file it did not have.
    ReplySettings s = m.replySettings;
    Replies->store(s);
    if (s != m.replySettings && writeRecordFile(*m.platform.files, FileNames::kReplySettings, s)) m.replySettings = s;
}

void Form3::closeEvent(QCloseEvent* event) {
    // Leaving saves, so it is refused while a row or the reply settings
    // hold what cannot be stored as shown.
    if (!noFieldProblem(*m.platform.messageBox, leavingChecks())) {
        event->ignore();
        return;
    }
    Form_Unload();
    EditorWindow::closeEvent(event);
}
