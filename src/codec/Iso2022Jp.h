#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "platform/SjisText.h"

// Shift_JIS <-> ISO-2022-JP by byte arithmetic. Mail text never goes through
// Unicode: converters disagree on the wave dash and the NEC and IBM extensions,
// and a phone must get back exactly the bytes the operator typed.

// Which set one-byte text returns to after a kanji or katakana run.
enum class OneByteSet {
    Roman,   // ESC ( J: what mail bodies have always been written with
    Ascii,   // ESC ( B: header words, which RFC 1468 wants to end in ASCII
};

// Shift_JIS text to ISO-2022-JP: kanji runs in ESC $ B, half-width katakana in
// ESC ( I, back to one-byte text with the switch-back of `oneByte`, which is
// also written at the end of a text that ends inside a run.
std::string ToIso2022Jp(const SjisText& sjis, OneByteSet oneByte = OneByteSet::Roman);

// One two-byte Shift_JIS character to its JIS X 0208 row and cell.
std::pair<std::uint8_t, std::uint8_t> SjisToJisPair(std::uint8_t lead, std::uint8_t trail);

// ISO-2022-JP and/or raw Shift_JIS bytes to Shift_JIS text. Reads what
// ToIso2022Jp writes and what phones send back: kanji runs in ESC $ B,
// half-width katakana runs in ESC ( I, ended by ESC ( J or ESC ( B.
SjisText JisToSjis(const std::string& bytes);
