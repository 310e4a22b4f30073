#include "codec/Iso2022Jp.h"

namespace {

constexpr std::uint8_t kEsc = 0x1B;

// Row and cell bytes of a JIS X 0208 code.
bool isJisByte(std::uint8_t b) { return b >= 0x21 && b <= 0x7E; }
bool isHalfWidthKatakana(std::uint8_t b) { return b >= 0xA0 && b <= 0xDF; }

}  // namespace

// Reads ISO-2022-JP and raw Shift_JIS alike: outside a kanji run every byte
// passes through, so a phone that answers in Shift_JIS is understood too.
// Bytes are only ever read below in.size(): a cut-off escape or a lone last
// byte comes out as one-byte characters.
SjisText JisToSjis(const std::string& in) {
    SjisText out;
    out.reserve(in.size());
    const std::size_t n = in.size();
    auto at = [&](std::size_t k) { return std::uint8_t(in[k]); };

    bool kanji = false;
    std::size_t i = 0;
    while (i + 1 < n) {
        if (at(i) == kEsc && i + 2 < n) {
            const std::uint8_t c1 = at(i + 1);
            const std::uint8_t c2 = at(i + 2);
            if (c1 == '$' && c2 == 'B') {
                kanji = true;
                i += 3;
                continue;  // the next byte may itself start another escape
            }
            if (c1 == '(' && (c2 == 'J' || c2 == 'B')) {
                kanji = false;
                i += 3;
                continue;
            }
            // Any other escape: the ESC byte is kept as ordinary text below.
        }

        std::uint8_t a = at(i);
        std::uint8_t b = at(i + 1);
        if (kanji && isJisByte(a) && isJisByte(b)) {
            // Two JIS rows share one Shift_JIS lead byte; the odd row takes
            // the low trail bytes, the even row the high ones, skipping 0x7F.
            int trail = b + ((a & 1) ? 31 : 125);
            if (trail >= 0x7F) ++trail;
            int lead = (a - 33) / 2 + 0x81;
            if (lead >= 0xA0) lead += 0x40;
            out.push_back(char(lead));
            out.push_back(char(trail));
            i += 2;
            continue;
        }
        // Raw bytes (also bytes in a kanji run that form no JIS code, such as
        // a line break a sender forgot to precede with a switch-back).
        if (a >= 0x80 && !isHalfWidthKatakana(a)) {
            out.push_back(char(a));
            out.push_back(char(b));
            i += 2;
        } else {
            out.push_back(char(a));
            i += 1;
        }
    }
    if (i + 1 == n) out.push_back(in[i]);  // exactly the last byte is left
    return out;
}
