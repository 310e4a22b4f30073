#include <optional>
#include <string_view>

#include "codec/Iso2022Jp.h"

namespace {

constexpr std::uint8_t kEsc = 0x1B;

// What the bytes after a switch stand for.
enum class Run { OneByte, Kanji, Katakana };

struct Switch {
    std::string_view escape;
    Run to;
};

// The switches this reader acts on. Senders end a run with ESC ( J or
// ESC ( B alike, so both count; half-width katakana arrives in ESC ( I,
// as ToIso2022Jp writes it and as some phones echo a subject back.
constexpr Switch kSwitches[] = {
    {"\x1b$B", Run::Kanji},
    {"\x1b(I", Run::Katakana},
    {"\x1b(J", Run::OneByte},
    {"\x1b(B", Run::OneByte},
};

std::optional<Run> switchAt(std::string_view in, std::size_t pos) {
    for (const Switch& s : kSwitches)
        if (in.substr(pos, s.escape.size()) == s.escape) return s.to;
    return std::nullopt;
}

// The input ends inside one of the switches: those bytes are no text to
// convert, whatever run they stand in.
bool cutOffSwitchAt(std::string_view in, std::size_t pos) {
    const std::string_view rest = in.substr(pos);
    for (const Switch& s : kSwitches)
        if (rest.size() < s.escape.size() && s.escape.substr(0, rest.size()) == rest) return true;
    return false;
}

// Row and cell bytes of a JIS X 0208 code.
bool isJisByte(std::uint8_t b) { return b >= 0x21 && b <= 0x7E; }
bool isHalfWidthKatakana(std::uint8_t b) { return b >= 0xA0 && b <= 0xDF; }
// Inside ESC ( I a half-width katakana is its Shift_JIS byte less 0x80.
bool isJisKatakanaByte(std::uint8_t b) { return b >= 0x21 && b <= 0x5F; }

void appendKanji(SjisText& out, std::uint8_t row, std::uint8_t cell) {
    // Two JIS rows share one Shift_JIS lead byte; the odd row takes the low
    // trail bytes, the even row the high ones, skipping 0x7F.
    int trail = cell + ((row & 1) ? 31 : 125);
    if (trail >= 0x7F) ++trail;
    int lead = (row - 33) / 2 + 0x81;
    if (lead >= 0xA0) lead += 0x40;
    out.push_back(char(lead));
    out.push_back(char(trail));
}

}  // namespace

// Reads ISO-2022-JP and raw Shift_JIS alike: outside a run every byte passes
// through, so a phone that answers in Shift_JIS is understood too. Bytes are
// only ever read below in.size(): a cut-off escape or a lone last byte comes
// out as one-byte characters.
SjisText JisToSjis(const std::string& input) {
    const std::string_view in = input;
    SjisText out;
    out.reserve(in.size());
    const std::size_t n = in.size();
    auto at = [&](std::size_t k) { return std::uint8_t(in[k]); };

    Run run = Run::OneByte;
    std::size_t i = 0;
    while (i < n) {
        if (at(i) == kEsc) {
            if (const std::optional<Run> to = switchAt(in, i)) {
                run = *to;
                i += 3;
                continue;  // the next byte may itself start another escape
            }
            if (cutOffSwitchAt(in, i)) {
                out.append(in.substr(i));
                break;
            }
            // Any other escape: the ESC byte is kept as ordinary text below.
        }

        const std::uint8_t a = at(i);
        if (run == Run::Katakana) {
            // One byte per character; a line break or a space passes as it is.
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
        // Raw bytes (also bytes in a kanji run that form no JIS code, such as
        // a line break a sender forgot to precede with a switch-back).
        const std::size_t len = (pairFollows && a >= 0x80 && !isHalfWidthKatakana(a)) ? 2 : 1;
        out.append(in.substr(i, len));
        i += len;
    }
    return out;
}
