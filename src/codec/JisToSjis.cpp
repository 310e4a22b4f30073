#include <cstring>
#include <optional>
#include <string_view>

#include "codec/Iso2022Jp.h"

// Every fetched mail body goes through here, so the reader works on runs
// rather than on characters: plain text is found with memchr and copied in
// one piece, kanji come from two small tables, and the output is written
// through a pointer into a buffer sized once. The rules themselves are
// below, each in one place; tests/support/JisToSjisReference.h reads the
// same rules one character at a time and must agree on every input.

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

// `rest` starts with ESC. Every switch is ESC and two bytes; those are
// compared one by one, as a call to memcmp for three bytes costs more than
// the kanji on either side of the switch.
std::optional<Run> switchAt(std::string_view rest) {
    if (rest.size() < 3) return std::nullopt;
    for (const Switch& s : kSwitches)
        if (rest[1] == s.escape[1] && rest[2] == s.escape[2]) return s.to;
    return std::nullopt;
}

// The input ends inside one of the switches: those bytes are no text to
// convert, whatever run they stand in.
bool isCutOffSwitch(std::string_view rest) {
    for (const Switch& s : kSwitches)
        if (rest.size() < s.escape.size() && s.escape.substr(0, rest.size()) == rest) return true;
    return false;
}

// Outside a JIS code (raw Shift_JIS, a stray byte in a kanji run), an 8-bit
// byte other than half-width katakana leads a two-byte character and takes
// the next byte with it, whatever that byte is, an ESC included.
bool takesNextByte(std::uint8_t b) { return b >= 0x80 && !(b >= 0xA0 && b <= 0xDF); }

// Inside ESC ( I a half-width katakana is its Shift_JIS byte less 0x80.
bool isJisKatakanaByte(std::uint8_t b) { return b >= 0x21 && b <= 0x5F; }

// A JIS X 0208 code is a row byte and a cell byte, both 0x21-0x7E. Two rows
// share one Shift_JIS lead byte; the odd row takes the low trail bytes, the
// even row the high ones, skipping 0x7F. Indexed by any byte: 0 where the
// byte is no row or cell, so one test rejects a pair that is no code.
struct KanjiTables {
    std::uint8_t leadOfRow[256];
    std::uint8_t trailOfCell[2][256];  // [row & 1][cell]
};

constexpr KanjiTables makeKanjiTables() {
    KanjiTables t{};
    for (int b = 0x21; b <= 0x7E; ++b) {
        int lead = (b - 0x21) / 2 + 0x81;
        if (lead >= 0xA0) lead += 0x40;
        t.leadOfRow[b] = std::uint8_t(lead);
        for (int odd = 0; odd < 2; ++odd) {
            int trail = b + (odd ? 31 : 125);
            if (trail >= 0x7F) ++trail;
            t.trailOfCell[odd][b] = std::uint8_t(trail);
        }
    }
    return t;
}

constexpr KanjiTables kKanji = makeKanjiTables();

// Each run reader starts at a character boundary `i`, writes what it reads
// through `o`, and leaves `i` where it stopped: at an ESC that starts a
// character (a switch, or an ESC byte of no switch), or at the end.
struct Cursor {
    const std::uint8_t* in;
    std::size_t n;
    std::size_t i;
    std::uint8_t* o;

    void copy(std::size_t from, std::size_t to) {
        std::memcpy(o, in + from, to - from);
        o += to - from;
    }
};

// Outside a run every byte passes unchanged, so everything up to the next
// ESC that starts a character is copied in one piece. An ESC found by memchr
// may instead be the second byte of a raw two-byte character: the leads
// right before it pair off from the first of them (which starts a character:
// it follows a byte that is no lead, or it is where the search began), so an
// odd count means the last lead takes the ESC with it.
void readOneByteRun(Cursor& c) {
    const std::size_t start = c.i;
    std::size_t from = c.i;  // a character boundary
    c.i = c.n;
    while (const void* hit = std::memchr(c.in + from, kEsc, c.n - from)) {
        const std::size_t esc = std::size_t(static_cast<const std::uint8_t*>(hit) - c.in);
        std::size_t firstLead = esc;
        while (firstLead > from && takesNextByte(c.in[firstLead - 1])) --firstLead;
        if ((esc - firstLead) % 2 == 0) {
            c.i = esc;
            break;
        }
        from = esc + 1;
    }
    c.copy(start, c.i);
}

void readKanjiRun(Cursor& c) {
    while (c.i < c.n) {
        const std::uint8_t a = c.in[c.i];
        if (c.i + 1 < c.n) {
            const std::uint8_t lead = kKanji.leadOfRow[a];
            const std::uint8_t trail = kKanji.trailOfCell[a & 1][c.in[c.i + 1]];
            if (lead != 0 && trail != 0) {
                c.o[0] = lead;
                c.o[1] = trail;
                c.o += 2;
                c.i += 2;
                continue;
            }
        }
        if (a == kEsc) return;
        // Bytes that form no JIS code pass as raw bytes, such as a line break
        // a sender forgot to precede with a switch-back.
        const std::size_t len = (c.i + 1 < c.n && takesNextByte(a)) ? 2 : 1;
        c.copy(c.i, c.i + len);
        c.i += len;
    }
}

// One byte per character; a line break, a space or an 8-bit byte passes as
// it is.
void readKatakanaRun(Cursor& c) {
    for (; c.i < c.n; ++c.i) {
        const std::uint8_t a = c.in[c.i];
        if (a == kEsc) return;
        *c.o++ = isJisKatakanaByte(a) ? std::uint8_t(a + 0x80) : a;
    }
}

}  // namespace

// Reads ISO-2022-JP and raw Shift_JIS alike: outside a run every byte passes
// through, so a phone that answers in Shift_JIS is understood too. Bytes are
// only ever read below in.size(): a cut-off escape or a lone last byte comes
// out as one-byte characters.
SjisText JisToSjis(const std::string& input) {
    const std::size_t n = input.size();
    // No rule writes more bytes than it reads: the input's size is room
    // enough, and the output is cut to what was written at the end.
    SjisText out(n, '\0');
    Cursor c{reinterpret_cast<const std::uint8_t*>(input.data()), n, 0,
             reinterpret_cast<std::uint8_t*>(out.data())};

    Run run = Run::OneByte;
    while (c.i < n) {
        switch (run) {
        case Run::OneByte: readOneByteRun(c); break;
        case Run::Kanji: readKanjiRun(c); break;
        case Run::Katakana: readKatakanaRun(c); break;
        }
        if (c.i == n) break;

        // An ESC that starts a character.
        const std::string_view rest(input.data() + c.i, n - c.i);
        if (const std::optional<Run> to = switchAt(rest)) {
            run = *to;
            c.i += 3;  // the next byte may itself start another escape
            continue;
        }
        if (isCutOffSwitch(rest)) {
            c.copy(c.i, n);
            break;
        }
        // Any other escape: the ESC byte is ordinary text in every run.
        *c.o++ = kEsc;
        ++c.i;
    }
    out.resize(std::size_t(c.o - reinterpret_cast<std::uint8_t*>(out.data())));
    return out;
}
