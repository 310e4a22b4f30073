#pragma once
#include <QFrame>
#include <QString>

#include <initializer_list>
#include <string>

#include "platform/SjisText.h"

class QComboBox;
class QHBoxLayout;
class QPushButton;
class QLayout;
class QScrollArea;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class QWidget;

// Small helpers shared by the windows: system text in and out of widgets
// (through the one converter), and the colours of a past round.

SjisText textOf(const QLineEdit* box);
void setText(QLineEdit* box, const SjisText& text);

SjisText textOf(const QPlainTextEdit* box);   // "\n" in the box, CR LF outside
void setText(QPlainTextEdit* box, const SjisText& text);
// Changes the box (and raises its change handler) only when the text really
// differs, as a single-line box does.
void setTextIfChanged(QPlainTextEdit* box, const SjisText& text);

SjisText textOf(const QComboBox* box);        // the editable text
// Sets a combo box's text the way code does: when the text is one of the list
// entries, that entry also becomes the current one, so that merely leaving
// the box later is not taken for choosing it from the list.
void setText(QComboBox* box, const SjisText& text);

// Makes `box` an editable combo whose typed text stays typed text: nothing is
// completed or added to the list, and pressing Enter or leaving the box after
// typing one of the entries is not taken for choosing it. Only a choice from
// the list raises activated().
void makeTypedTextNoChoice(QComboBox* box);

SjisText textOf(const QLabel* label);
void setText(QLabel* label, const SjisText& text);

// A caption written in the source (UTF-8) as widget text.
inline QString uiText(const char* utf8) { return QString::fromUtf8(utf8); }

// A caption, named for assistive technology by its text; the field it
// stands beside, if given, becomes its buddy, so that field is read as
// labelled by it.
QLabel* captionLabel(const QString& text, QWidget* parent, QWidget* buddy = nullptr);

// Names a combo box for assistive technology, and its list of choices and
// the frame that pops it up too, so a screen reader says what is being chosen.
void nameComboBox(QComboBox* box, const QString& name);

// A thin plain line for framing a group of fields; "枠線" to screen readers.
QFrame* frameLine(QFrame::Shape shape, QWidget* parent);

// One look for every window: the same heading, number boxes of one width
// with their digits to the right, and the buttons at the bottom right.
inline constexpr int kNumberBoxWidth = 80;
void makeHeading(QLabel* label);
// A remark beside what it explains, smaller than the text round it.
void makeSmallPrint(QLabel* label);
void makeNumberBox(QLineEdit* box);
void makeNumberBox(QComboBox* box);
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

// What the given boxes show, one after another, as a comparable image of
// an editor's unsaved state (line edits, text areas, combo boxes' text,
// check boxes).
std::string shownValues(std::initializer_list<const QWidget*> boxes);

// The part of a window that may not fit a small or scaled screen: its
// controls scroll inside the window rather than being squeezed below their
// size. It asks for the whole of its content, so where the screen has room
// nothing scrolls and the window looks as it always did. The page and its
// Qt-made parts (viewport, scroll bars) carry `name` for screen readers; the
// page takes no focus of its own, Tab goes straight to its controls.
QScrollArea* scrollPage(QLayout* content, const QString& name, QWidget* parent);

// A box that takes no input looks it: while read-only it shows the window's
// background instead of the input colour, and Tab passes it by (a click
// still selects its text to copy). A multi-line box read-only still holds
// text worth selecting, a mail or a certificate, so Tab still stops there.
// Each box follows its own setReadOnly() from then on, and the desktop's
// colours when they change.
void followReadOnly(QLineEdit* box);
void followReadOnly(QPlainTextEdit* box);
// Whether the box shows the look of a box that takes no input.
bool looksReadOnly(const QWidget* box);

// A scroll bar that turns the pages of a list. Tab reaches it (Qt's bars
// take no focus), so the pages turn from the keyboard too. Its thumb stands
// out: Qt's own style, used wherever the desktop names none, paints the thumb
// and its groove from the same button colour, a lighter and a darker shade of
// it (about 1.2:1, a faint white thumb on light grey); only its outline is
// drawn from another role, the window colour darkened. The bar's window role
// is set to the desktop's text colour, so that outline is drawn in it; the
// bar fills no background of its own, so nothing else changes.
void makePageScrollBar(QScrollBar* bar);

// The text colour of a past round, red (255, 0, 0), or the normal colour.
void setPastRoundColour(QWidget* widget, bool past);
bool hasPastRoundColour(const QWidget* widget);
