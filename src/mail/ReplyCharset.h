#pragma once
#include <string_view>

#include "platform/CharsetConverter.h"
#include "platform/SjisText.h"

// The text of a reply's part or encoded word, written in `charset` (its MIME
// name, any letter case), as Shift_JIS:
// - ISO-2022-JP and its extensions, Shift_JIS under any of its names,
//   US-ASCII and text that names no charset are read byte by byte as phones
//   have always been read: JIS runs converted, raw Shift_JIS kept, nothing
//   through Unicode, so the NEC and IBM characters survive;
// - every other charset (UTF-8 with or without a byte-order mark, EUC-JP, ...)
//   goes once through the converter; a charset it does not know, or no
//   converter at all, is read byte by byte as above.
// Whether text in `charset` is read byte by byte (as opposed to through the
// converter).
bool readByteByByte(std::string_view charset);

// Unlabelled text that starts with UTF-8's byte-order mark is UTF-8.
SjisText replyTextToSjis(std::string_view charset, std::string_view bytes, const CharsetConverter* converter);
