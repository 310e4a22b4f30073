#include "codec/Iso2022Jp.h"


namespace {

// Three-byte escape sequences that switch the character set of what follows.
constexpr char kEscKanji[] = "\x1b$B";     // JIS X 0208 two-byte run
constexpr char kEscKatakana[] = "\x1b(I";  // JIS X 0201 half-width katakana run
constexpr char kEscRoman[] = "\x1b(J";     // back to one-byte text (JIS-Roman)
constexpr char kEscAscii[] = "\x1b(B";     // back to one-byte text (ASCII)

// 〓 (geta mark): stands in for every code that has no JIS X 0208 place, so a
// mail body never carries an 8-bit byte.
constexpr std::uint8_t kGetaRow = 0x22;
constexpr std::uint8_t kGetaCell = 0x2E;

bool isHalfWidthKatakana(std::uint8_t b) { return b >= 0xA0 && b <= 0xDF; }

// Leads 0xF0-0xFC (user-defined area, IBM extensions) have no formula result
// inside 0x21-0x7E; an invalid trail byte means the pair is no character.
bool hasJisPlace(std::uint8_t lead, std::uint8_t trail) {
    return isJis0208LeadByte(lead) && isSjisTrailByte(trail);
}

}  // namespace

std::pair<std::uint8_t, std::uint8_t> SjisToJisPair(std::uint8_t lead, std::uint8_t trail) {
    if (!hasJisPlace(lead, trail)) return {kGetaRow, kGetaCell};
    // Shift_JIS folds two JIS rows into one lead byte: the trail byte tells
    // whether the character sits in the odd row (low trail) or the even one.
    int row = lead > 0x9F ? lead - 177 : lead - 113;
    row = 2 * row + 1;
    int cell = trail;
    if (cell > 127) --cell;  // the trail range skips 0x7F
    if (cell >= 158) {
        cell -= 125;
        ++row;
    } else {
        cell -= 31;
    }
    return {std::uint8_t(row), std::uint8_t(cell)};
}

std::string ToIso2022Jp(const SjisText& sjis, OneByteSet oneByte) {
    enum class Mode { OneByte, Kanji, Katakana };
    const char* const switchBack = oneByte == OneByteSet::Ascii ? kEscAscii : kEscRoman;
    Mode mode = Mode::OneByte;
    std::string out;
    // Escapes cost 3 bytes per run; a quarter extra covers ordinary mixed text.
    out.reserve(sjis.size() + sjis.size() / 4 + 8);

    auto enter = [&](Mode wanted, const char* escape) {
        if (mode == wanted) return;
        out.append(escape, 3);
        mode = wanted;
    };
    auto writeKanji = [&](std::uint8_t row, std::uint8_t cell) {
        enter(Mode::Kanji, kEscKanji);
        out.push_back(char(row));
        out.push_back(char(cell));
    };

    const std::size_t n = sjis.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = std::uint8_t(sjis[i]);
        if (isSjisLeadByte(b)) {
            // A lead byte with no valid partner (cut off at the end, or followed
            // by a byte that cannot be a trail) becomes 〓 on its own; the byte
            // after it is then read as a character of its own, so a line break
            // after a stray lead byte survives.
            const bool paired = i + 1 < n && isSjisTrailByte(std::uint8_t(sjis[i + 1]));
            if (paired) {
                const auto [row, cell] = SjisToJisPair(b, std::uint8_t(sjis[i + 1]));
                writeKanji(row, cell);
                i += 2;
            } else {
                writeKanji(kGetaRow, kGetaCell);
                i += 1;
            }
        } else if (isHalfWidthKatakana(b)) {
            enter(Mode::Katakana, kEscKatakana);
            out.push_back(char(b - 0x80));
            i += 1;
        } else if (b >= 0x80) {
            // 0x80 and 0xFD-0xFF are no Shift_JIS characters at all; written
            // unchanged they would break the 7-bit body.
            writeKanji(kGetaRow, kGetaCell);
            i += 1;
        } else {
            enter(Mode::OneByte, switchBack);
            out.push_back(char(b));
            i += 1;
        }
    }
    enter(Mode::OneByte, switchBack);
    return out;
}
