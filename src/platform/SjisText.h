#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every text inside the system is Shift_JIS (Windows-31J) bytes: records, mail,
// comparisons and byte counts all work on these bytes. Widgets show Unicode; the
// two meet only in platform/qt/Charset.
using SjisText = std::string;

// How the characters of that text are read; every part of the program that
// walks Shift_JIS goes by these rules, so an editor's count, the record
// writer's cut and the answer reader agree on every input.

// A byte in 0x81-0x9F or 0xE0-0xFC leads a two-byte character ...
inline bool isSjisLeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
// ... whose second byte is in 0x40-0x7E or 0x80-0xFC.
inline bool isSjisTrailByte(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }
// The leads of the JIS X 0208 rows (the rest, 0xF0-0xFC, are user-defined
// and vendor characters without a JIS code).
inline bool isJis0208LeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF); }

// The length (1 or 2) of the character starting at `pos` (< s.size()), by
// the strict rule: a lead byte makes a two-byte character only when a valid
// trail byte follows it. Fetched mail is not always clean Shift_JIS; a stray
// lead byte stands alone and never swallows a CR, an LF or the next letter.
inline std::size_t sjisStrictCharLength(std::string_view s, std::size_t pos) {
    return (isSjisLeadByte(std::uint8_t(s[pos])) && pos + 1 < s.size() && isSjisTrailByte(std::uint8_t(s[pos + 1])))
               ? 2 : 1;
}

// Only the one-byte ASCII letters have a case to fold; a byte of a two-byte
// character never does, whatever letter it looks like.
inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// The number of characters by the same rule.
inline std::size_t sjisStrictCharCount(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += sjisStrictCharLength(s, i)) ++n;
    return n;
}
