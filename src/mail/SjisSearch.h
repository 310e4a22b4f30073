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
// Characters are read by the strict rule of platform/SjisText.h.

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
