#pragma once
// JisToSjis read the plain way: one character at a time, each rule written
// once, straight from the comments of src/codec/JisToSjis.cpp. That file is
// written for speed (bulk copies, a search for ESC, tables); this one is the
// reader it replaced, kept as the statement of what the fast one must give,
// byte for byte, on every input. tst_iso2022jp and the fuzz target
// fuzz_codecs compare the two. A rule changed on purpose is changed in both.
// Plain C++ (no Qt): the fuzz target includes it too.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jis_reference {

enum class Run { OneByte, Kanji, Katakana };

struct Switch {
    std::string_view escape;
    Run to;
};

// ESC $ B starts a kanji run, ESC ( I a half-width katakana run; ESC ( J and
// ESC ( B both end a run.
constexpr Switch kSwitches[] = {
    {"\x1b$B", Run::Kanji},
    {"\x1b(I", Run::Katakana},
    {"\x1b(J", Run::OneByte},
    {"\x1b(B", Run::OneByte},
};

inline std::optional<Run> switchAt(std::string_view in, std::size_t pos) {
    for (const Switch& s : kSwitches)
        if (in.substr(pos, s.escape.size()) == s.escape) return s.to;
    return std::nullopt;
}

// The input ends inside one of the switches.
inline bool cutOffSwitchAt(std::string_view in, std::size_t pos) {
    const std::string_view rest = in.substr(pos);
    for (const Switch& s : kSwitches)
        if (rest.size() < s.escape.size() && s.escape.substr(0, rest.size()) == rest) return true;
    return false;
}

inline bool isJisByte(std::uint8_t b) { return b >= 0x21 && b <= 0x7E; }
inline bool isHalfWidthKatakana(std::uint8_t b) { return b >= 0xA0 && b <= 0xDF; }
inline bool isJisKatakanaByte(std::uint8_t b) { return b >= 0x21 && b <= 0x5F; }

inline void appendKanji(std::string& out, std::uint8_t row, std::uint8_t cell) {
    int trail = cell + ((row & 1) ? 31 : 125);
    if (trail >= 0x7F) ++trail;
    int lead = (row - 33) / 2 + 0x81;
    if (lead >= 0xA0) lead += 0x40;
    out.push_back(char(lead));
    out.push_back(char(trail));
}

inline std::string JisToSjis(const std::string& input) {
    const std::string_view in = input;
    std::string out;
    const std::size_t n = in.size();
    auto at = [&](std::size_t k) { return std::uint8_t(in[k]); };

    Run run = Run::OneByte;
    std::size_t i = 0;
    while (i < n) {
        if (at(i) == 0x1B) {
            if (const std::optional<Run> to = switchAt(in, i)) {
                run = *to;
                i += 3;
                continue;
            }
            if (cutOffSwitchAt(in, i)) {
                out.append(in.substr(i));
                break;
            }
            // Any other escape: the ESC byte is ordinary text below.
        }

        const std::uint8_t a = at(i);
        if (run == Run::Katakana) {
            out.push_back(char(isJisKatakanaByte(a) ? a + 0x80 : a));
            i += 1;
            continue;
        }
        const bool pairFollows = i + 1 < n;
        if (run == Run::Kanji && pairFollows && isJisByte(a) && isJisByte(at(i + 1))) {
            appendKanji(out, a, at(i + 1));
            i += 2;
            continue;
        }
        // Raw bytes: an 8-bit byte other than half-width katakana takes the
        // next byte with it, whatever that is.
        const std::size_t len = (pairFollows && a >= 0x80 && !isHalfWidthKatakana(a)) ? 2 : 1;
        out.append(in.substr(i, len));
        i += len;
    }
    return out;
}

}  // namespace jis_reference
