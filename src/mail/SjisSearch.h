#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SjisText.h"

// Searching Shift_JIS text character by character. A byte search would find
// "Re" in the trail byte of one kanji and the lead of the next, and folding
// case byte by byte would turn the trail byte of テ (83 65, "e") into "E":
// so matches start only where a character starts, and only one-byte ASCII
// letters are compared without case.
//
// Fetched mail is not always clean Shift_JIS, so a lead byte counts as the
// start of a two-byte character only when a valid trail byte follows it; a
// stray lead byte stands alone and never swallows a CR or an LF.

inline bool isSjisLead(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool isSjisTrail(std::uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// 1 or 2: the length of the character starting at `pos` (pos < s.size()).
inline std::size_t sjisCharLen(std::string_view s, std::size_t pos) {
    return (isSjisLead(std::uint8_t(s[pos])) && pos + 1 < s.size() && isSjisTrail(std::uint8_t(s[pos + 1])))
               ? 2 : 1;
}

// The first occurrence of `needle` that starts on a character boundary at or
// after `from` (itself a character boundary); npos when there is none. An
// empty needle is found at `from`.
std::size_t sjisFind(std::string_view hay, std::string_view needle, std::size_t from = 0);
// As sjisFind, with the ASCII letters A-Z and a-z matching either case.
std::size_t sjisFindNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0);

inline bool sjisContains(std::string_view hay, std::string_view needle) {
    return sjisFind(hay, needle) != std::string_view::npos;
}
inline bool sjisContainsNoCase(std::string_view hay, std::string_view needle) {
    return sjisFindNoCase(hay, needle) != std::string_view::npos;
}

// Every occurrence of `from` (on character boundaries, exact) replaced by `to`,
// scanning left to right; replaced text is not searched again.
SjisText sjisReplaceAll(std::string_view text, std::string_view from, std::string_view to);
