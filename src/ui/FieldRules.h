#pragma once
// What the editors' text boxes may hold, and the one wording of each kind of
// mistake. A text is stored only when it goes into the data file and into the
// mail exactly as shown: no character turned into "?", nothing cut off.
// Each box is named in a message by its accessible name, which is the
// caption the operator sees beside it.
#include <QList>
#include <QString>

#include "platform/SjisText.h"

#include <cstddef>

class MessageBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// A text of the data files holds at most this many bytes.
inline constexpr std::size_t kFieldBytes = 0xFFFF;
// Invitation and closing mail: their byte count is stored as a 16-bit number.
inline constexpr std::size_t kCountedBodyBytes = 32767;
// A mail address (RFC 5321: 254 characters at most), in any box that holds one.
inline constexpr int kAddressChars = 254;

// The messages, one wording per kind of mistake.
QString unsendableMessage(const QString& field, const QString& character);
QString tooLongMessage(const QString& field, std::size_t maxBytes, std::size_t bytes);
QString wholeNumberMessage(const QString& field, long low, long high);
// A round selector that must name the round being prepared: an earlier
// round's mail went out already, a later one's has no round yet.
QString currentRoundMessage(const QString& field, long round);

// Empty when the box's text can be stored and sent as shown within
// `maxBytes` bytes of Shift_JIS (multi-line boxes with CR LF line ends);
// else the message.
QString textProblem(const QLineEdit* box, std::size_t maxBytes = kFieldBytes);
QString textProblem(const QPlainTextEdit* box, std::size_t maxBytes = kFieldBytes);
QString textProblem(const QComboBox* box, std::size_t maxBytes = kFieldBytes);
// The same for a box that shows a stored text, except that stored bytes the
// box cannot carry back (outside Windows-31J, duplicate codes) and shows
// untouched are kept byte for byte as they are, and so are not judged.
QString textProblemUnlessKept(const QLineEdit* box, const SjisText& stored, std::size_t maxBytes = kFieldBytes);

// A problem found in a box, or none (empty problem).
struct FieldCheck {
    QString problem;
    QWidget* box = nullptr;
};

// Tells the operator `text` through the message box's Unicode path, so a
// character the message names shows as itself.
void tell(MessageBox& messages, const QString& text);

// Shows the first problem in a message box and puts the focus in its box;
// true when there is none and saving may go on.
bool noFieldProblem(MessageBox& messages, const QList<FieldCheck>& checks);

// While the operator types: a box holding a character that cannot be sent
// gets a red frame and a tooltip naming the character, so what is on screen
// is never silently different from what will be sent. One-line boxes also
// get a length limit of their own instead of Qt's 32 767 characters.
void guardText(QLineEdit* box, int maxChars = int(kFieldBytes));
void guardText(QPlainTextEdit* box);
void guardText(QComboBox* box);
