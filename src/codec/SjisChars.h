#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/SjisText.h"

// Reading Shift_JIS text character by character: a byte in 0x81-0x9F or
// 0xE0-0xFC leads a two-byte character, every other byte stands alone.
inline bool isSjisLeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Length in bytes of the character that starts at `pos` (1 or 2; 1 at the end).
inline std::size_t sjisCharLength(const SjisText& s, std::size_t pos) {
    return (isSjisLeadByte(std::uint8_t(s[pos])) && pos + 1 < s.size()) ? 2 : 1;
}

// Number of characters (a lead byte and its trail count as one).
inline std::size_t sjisCharCount(const SjisText& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); i += sjisCharLength(s, i)) ++n;
    return n;
}
