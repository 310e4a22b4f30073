#pragma once
#include <string_view>

#include "platform/CharsetConverter.h"
#include "platform/SjisText.h"

// What a person reads of an HTML reply (Shift_JIS in, Shift_JIS out): tags
// dropped, head, style and script left out, character references decoded, a
// line break (CR LF) where <br> stands and where a paragraph, division, list
// item, table row or heading begins or ends. Line breaks and white space in
// the source are one space, as a browser shows them, but inside <pre>. The
// lines of a blockquote begin with "> ", once per level, as a plain-text reply
// marks what it quotes: the quoted question stays readable and is known for
// a quotation. A numeric reference beyond ASCII goes through `converter`
// (without one, or where Windows-31J has no such character, it is 〓).
SjisText HtmlToText(std::string_view html, const CharsetConverter* converter);
