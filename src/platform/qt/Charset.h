#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/SjisText.h"

// The one converter between the system's Shift_JIS (Windows-31J) bytes and the
// Unicode text of widgets. Every window goes through here, so the mapping of
// the NEC and IBM rows and of the wave dash is decided in a single place.
namespace Charset {

// Shift_JIS bytes -> widget text. Bytes that are no Windows-31J character
// show as U+FFFD or U+001A; a lead byte cut off at the end shows as U+FFFD.
QString toQt(const SjisText& bytes);

// Widget text -> Shift_JIS bytes. A character that Windows-31J cannot
// represent becomes "?". The code points that JIS-based input methods and
// converters produce for the wave dash, double vertical line, minus sign,
// cent, pound, not sign and em dash are taken as their Windows-31J twins,
// and yen sign and overline as 5C and 7E, so text typed on such a system
// does not lose them.
SjisText toSjis(const QString& text);

// Text written in the named charset (UTF-8, EUC-JP, ...) -> Shift_JIS bytes,
// folded as toSjis() folds what is typed. A character that Windows-31J
// cannot represent becomes 〓 (81 AC): in mail a "?" would read as text the
// player wrote. No value when Qt knows no charset of that name.
std::optional<SjisText> fromCharset(const QByteArray& charset, QByteArrayView bytes);

// The first character of `text` that toSjis() would have to turn into "?"
// (a character Windows-31J does not have, such as 𠮷 or an emoji), or an
// empty string when every character can be sent as it is.
QString firstUnsendable(const QString& text);

// Multi-line boxes: the system holds CR LF, the widget holds "\n".
QString toQtMultiLine(const SjisText& bytes);
// Every line break of the widget text (\n, \r\n or a lone \r, and the
// paragraph and line separators of rich text) becomes CR LF.
SjisText toSjisMultiLine(const QString& text);

}  // namespace Charset
