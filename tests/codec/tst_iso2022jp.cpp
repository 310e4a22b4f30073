// Shift_JIS <-> ISO-2022-JP: worked cases, mode switching, malformed input,
// the round trip over every JIS X 0208 code, and the reader against its
// plain one-character-at-a-time reference on every kind of input.
#include <QRandomGenerator>
#include <QtTest>
#include <functional>
#include <random>

#include "codec/Iso2022Jp.h"
#include "support/JisToSjisReference.h"
#include "support/SjisLiterals.h"

namespace {

std::string bytes(const QByteArray& a) { return a.toStdString(); }
QByteArray hex(const std::string& s) { return QByteArray::fromStdString(s).toHex(' '); }

bool isValidTrail(int t) { return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC); }

// Every two-byte code whose lead lies in the JIS X 0208 range of Shift_JIS.
std::vector<std::string> allJisRangeCodes() {
    std::vector<std::string> codes;
    for (int lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (isValidTrail(trail)) codes.push_back({char(lead), char(trail)});
    }
    return codes;
}

}  // namespace

class TestIso2022Jp : public QObject {
    Q_OBJECT
private slots:
    void toIso2022Jp_data();
    void toIso2022Jp();
    void sjisToJisPair_data();
    void sjisToJisPair();
    void jisToSjis_data();
    void jisToSjis();
    void katakanaTextSurvivesRoundTrip_data();
    void katakanaTextSurvivesRoundTrip();
    void everyJisRangeCodeSurvivesRoundTrip();
    void mixedTextSurvivesRoundTrip();
    void outputIsSevenBitForEveryInput();
    void jisToSjisNeverReadsPastTheEnd();
    void jisToSjisAgreesWithReference_data();
    void jisToSjisAgreesWithReference();
};

void TestIso2022Jp::toIso2022Jp_data() {
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QByteArray>("jis");
    auto row = [](const char* name, const char* in, const char* out) {
        QTest::newRow(name) << QByteArray::fromHex(in) << QByteArray::fromHex(out);
    };
    row("empty", "", "");
    row("ascii only has no escape", "61 62 63 0d 0a", "61 62 63 0d 0a");
    // A あ 1
    row("worked example A-a-1", "41 82a0 31", "41 1b2442 2422 1b284a 31");
    row("ends inside kanji run", "82a0", "1b2442 2422 1b284a");
    row("kanji run stays open", "82a0 82a2", "1b2442 2422 2424 1b284a");
    // ｱあ: katakana straight into kanji, no switch-back between
    row("katakana then kanji", "b1 82a0", "1b2849 31 1b2442 2422 1b284a");
    row("kanji then katakana", "82a0 b1", "1b2442 2422 1b2849 31 1b284a");
    row("katakana then ascii", "b1 b2 41", "1b2849 3132 1b284a 41");
    row("katakana range ends", "a0 df", "1b2849 20 5f 1b284a");
    row("each line returns before CR", "82a0 0d0a 82a0 0d0a",
        "1b2442 2422 1b284a 0d0a 1b2442 2422 1b284a 0d0a");
    row("tab and controls unchanged", "09 00 1f 7f 41", "09 00 1f 7f 41");
    row("tab after kanji", "82a0 09", "1b2442 2422 1b284a 09");
    row("lead 9f", "9f40", "1b2442 5d21 1b284a");
    row("lead e0", "e040", "1b2442 5f21 1b284a");
    row("last code ef fc", "effc", "1b2442 7e7e 1b284a");
    // NEC row 13 and leads ED-EE keep the formula's result
    row("nec row 13", "8740", "1b2442 2d21 1b284a");
    row("lead ed", "ed40", "1b2442 7921 1b284a");
    // 〓 for codes without a JIS X 0208 place
    row("user-defined lead f0", "f040", "1b2442 222e 1b284a");
    row("ibm lead fc", "fcfc 41", "1b2442 222e 1b284a 41");
    row("lead cut off at the end", "41 82", "41 1b2442 222e 1b284a");
    row("lead before invalid trail keeps the CR", "82 0d 0a", "1b2442 222e 1b284a 0d 0a");
    row("lead before 7f", "81 7f", "1b2442 222e 1b284a 7f");
    row("non-character bytes", "80 fd fe ff", "1b2442 222e 222e 222e 222e 1b284a");
}

void TestIso2022Jp::toIso2022Jp() {
    QFETCH(QByteArray, sjis);
    QFETCH(QByteArray, jis);
    QCOMPARE(hex(ToIso2022Jp(bytes(sjis))), jis.toHex(' '));
}

void TestIso2022Jp::sjisToJisPair_data() {
    QTest::addColumn<int>("lead");
    QTest::addColumn<int>("trail");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("cell");
    QTest::newRow("first code") << 0x81 << 0x40 << 0x21 << 0x21;
    QTest::newRow("last odd-row cell before 7f") << 0x81 << 0x7E << 0x21 << 0x5F;
    QTest::newRow("trail 80 skips 7f") << 0x81 << 0x80 << 0x21 << 0x60;
    QTest::newRow("trail 9e last of odd row") << 0x81 << 0x9E << 0x21 << 0x7E;
    QTest::newRow("trail 9f starts even row") << 0x81 << 0x9F << 0x22 << 0x21;
    QTest::newRow("hiragana a") << 0x82 << 0xA0 << 0x24 << 0x22;
    QTest::newRow("first kanji") << 0x88 << 0x9F << 0x30 << 0x21;
    QTest::newRow("lead 9f") << 0x9F << 0x40 << 0x5D << 0x21;
    QTest::newRow("lead 9f last") << 0x9F << 0xFC << 0x5E << 0x7E;
    QTest::newRow("lead e0") << 0xE0 << 0x40 << 0x5F << 0x21;
    QTest::newRow("lead ef last") << 0xEF << 0xFC << 0x7E << 0x7E;
    QTest::newRow("user-defined f0") << 0xF0 << 0x40 << 0x22 << 0x2E;
    QTest::newRow("ibm fa") << 0xFA << 0x55 << 0x22 << 0x2E;
    QTest::newRow("invalid trail 7f") << 0x88 << 0x7F << 0x22 << 0x2E;
    QTest::newRow("invalid trail fd") << 0x88 << 0xFD << 0x22 << 0x2E;
}

void TestIso2022Jp::sjisToJisPair() {
    QFETCH(int, lead);
    QFETCH(int, trail);
    QFETCH(int, row);
    QFETCH(int, cell);
    const auto [r, c] = SjisToJisPair(std::uint8_t(lead), std::uint8_t(trail));
    QCOMPARE(int(r), row);
    QCOMPARE(int(c), cell);
}

void TestIso2022Jp::jisToSjis_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("sjis");
    auto row = [](const char* name, const char* in, const char* out) {
        QTest::newRow(name) << QByteArray::fromHex(in) << QByteArray::fromHex(out);
    };
    row("empty", "", "");
    row("one byte", "41", "41");
    row("one lead byte", "82", "82");
    row("jis a with ESC ( B", "1b2442 2422 1b2842", "82a0");
    row("jis a with ESC ( J", "1b2442 2422 1b284a", "82a0");
    row("raw shift_jis a", "82a0", "82a0");
    row("raw half-width katakana", "b1 41 b2", "b1 41 b2");
    row("raw lead as last byte", "41 41 82", "41 41 82");
    row("worked example back", "41 1b2442 2422 1b284a 31", "41 82a0 31");
    row("byte after switch-back is kept", "1b2442 2422 1b284a 31 32", "82a0 31 32");
    row("lead 9f", "1b2442 5d21 1b2842", "9f40");
    row("lead e0", "1b2442 5f21 1b2842", "e040");
    row("lead ef fc", "1b2442 7e7e 1b2842", "effc");
    row("nec row 13", "1b2442 2d21 1b2842", "8740");
    row("two lines", "1b2442 2422 1b2842 0d0a 1b2442 2424 1b2842 0d0a", "82a0 0d0a 82a2 0d0a");
    // Escapes cut off by the end come out as one-byte characters.
    row("lone ESC", "1b", "1b");
    row("ESC $ at end", "41 1b 24", "41 1b 24");
    row("ESC ( at end", "1b 28", "1b 28");
    row("kanji switch with nothing after", "1b2442", "");
    row("kanji byte without partner", "1b2442 24", "24");
    row("kanji run cut after one pair and a half", "1b2442 2422 24", "82a0 24");
    row("switch-back at the very end", "41 1b284a", "41");
    // Escapes this reader does not know stay as they are.
    row("unknown escape", "1b2440 2422", "1b2440 2422");
    // Escapes directly after escapes are still escapes.
    row("empty kanji run", "1b2442 1b2842 41", "41");
    row("switch-back then kanji", "1b2842 1b2442 2422 1b2842", "82a0");
    // A line break inside an unclosed run is no JIS code and passes through.
    row("line break inside run", "1b2442 2422 0d0a 2424 1b2842", "82a0 0d0a 82a2");
    // Half-width katakana runs: 21-5F stand for A1-DF, any other byte is kept.
    row("katakana run", "1b2849 31 32 1b284a", "b1 b2");
    row("katakana range ends", "1b2849 21 5f 1b284a", "a1 df");
    row("katakana then ESC ( B back to ascii", "1b2849 31 1b2842 31", "b1 31");
    row("katakana run keeps space and CR LF", "1b2849 31 20 0d0a 32 1b284a", "b1 20 0d0a b2");
    row("no katakana above 5f", "1b2849 60 7e 1b284a", "60 7e");
    row("8-bit byte in katakana run stands alone", "1b2849 82 31 1b284a", "82 b1");
    row("katakana straight into kanji", "1b2849 31 1b2442 2422 1b284a", "b1 82a0");
    row("kanji straight into katakana", "1b2442 2422 1b2849 31 1b284a", "82a0 b1");
    row("katakana run left open at the end", "41 1b2849 31", "41 b1");
    row("katakana switch with nothing after", "1b2849", "");
    row("ESC ( cut off inside katakana run", "1b2849 31 1b28", "b1 1b28");
}

void TestIso2022Jp::katakanaTextSurvivesRoundTrip_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"ｸｲｽﾞ第2問", "ｱあ", "あｱ", "Quiz ｸｲｽﾞ\r\nｺﾀｴ:3\r\n", "第1問ﾃｽﾄ", "｡｢｣､･ｰﾞﾟ",
                             "ｱ ｲ\r\nｳ"})
        QTest::addRow("%s", qPrintable(QString::fromUtf8(text).replace("\r\n", "|"))) << QString::fromUtf8(text);
}

void TestIso2022Jp::katakanaTextSurvivesRoundTrip() {
    QFETCH(QString, text);
    const SjisText sjis = sj(text);
    QCOMPARE(hex(JisToSjis(ToIso2022Jp(sjis))), hex(sjis));
}

void TestIso2022Jp::jisToSjis() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, sjis);
    QCOMPARE(hex(JisToSjis(bytes(in))), sjis.toHex(' '));
}

void TestIso2022Jp::everyJisRangeCodeSurvivesRoundTrip() {
    const auto codes = allJisRangeCodes();
    QCOMPARE(codes.size(), std::size_t(47 * 188));
    std::string all;
    for (const auto& code : codes) {
        const std::string jis = ToIso2022Jp(code);
        if (JisToSjis(jis) != code)
            QFAIL(qPrintable("round trip broke " + hex(code) + " via " + hex(jis)));
        all += code;
    }
    // One long run, as in a real mail body, must come back whole too.
    QVERIFY(JisToSjis(ToIso2022Jp(all)) == all);
}

void TestIso2022Jp::mixedTextSurvivesRoundTrip() {
    // Random text of ASCII (ESC aside: raw escapes are not text), line breaks,
    // two-byte characters and half-width katakana (A1-DF; A0 is no character).
    const auto codes = allJisRangeCodes();
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int chars = int(rng->bounded(200));
        for (int k = 0; k < chars; ++k) {
            switch (rng->bounded(5)) {
            case 0: text += codes[rng->bounded(quint32(codes.size()))]; break;
            case 1: text += "\r\n"; break;
            case 2: text += char(0xA1 + rng->bounded(0xDF - 0xA1 + 1)); break;
            default: {
                char c = char(rng->bounded(0x7F));
                text += (c == 0x1B ? 'x' : c);
            }
            }
        }
        const std::string jis = ToIso2022Jp(text);
        if (JisToSjis(jis) != text) QFAIL(qPrintable("round trip broke " + hex(text)));
    }
}

void TestIso2022Jp::outputIsSevenBitForEveryInput() {
    // Every one- and two-byte input, plus each followed by a newline.
    for (int a = 0; a < 256; ++a) {
        for (int b = -1; b < 256; ++b) {
            std::string in(1, char(a));
            if (b >= 0) in.push_back(char(b));
            in += "\n";
            const std::string out = ToIso2022Jp(in);
            for (const char c : out)
                if (std::uint8_t(c) >= 0x80) QFAIL(qPrintable("8-bit output for " + hex(in)));
            // The text always ends back in one-byte mode, with its newline.
            QVERIFY(out.size() >= 1 && out.back() == '\n');
        }
    }
}

void TestIso2022Jp::jisToSjisNeverReadsPastTheEnd() {
    // Every prefix of a message full of escapes; run under a sanitizer or
    // debug iterators this catches any read past the array. Each output byte
    // must come from somewhere: never longer than the input.
    const std::string msg = bytes(QByteArray::fromHex(
        "1b2442 2422 2424 1b2842 41 1b284a 1b2442 5d21 1b 1b28 1b2449 82a0 b1 1b2442 24"));
    for (std::size_t len = 0; len <= msg.size(); ++len) {
        const std::string prefix = msg.substr(0, len);
        QVERIFY(JisToSjis(prefix).size() <= prefix.size());
    }
}

namespace {

using Rng = std::mt19937;
// Calls `check` on each input of one kind until it returns false.
using Visit = std::function<bool(const std::string&)>;

const std::string kKanjiSwitch = "\x1b$B", kKatakanaSwitch = "\x1b(I";

// One piece of what a mail body may hold, well-formed or not: every switch,
// escapes this reader does not know, JIS codes, stray bytes, raw Shift_JIS
// (also a lead byte right before an ESC, which takes the ESC with it), line
// breaks and bytes of every range.
std::string randomToken(Rng& rng) {
    auto byteIn = [&](int lo, int hi) { return char(lo + int(rng() % unsigned(hi - lo + 1))); };
    switch (rng() % 16) {
    case 0: return kKanjiSwitch;
    case 1: return kKatakanaSwitch;
    case 2: return "\x1b(J";
    case 3: return "\x1b(B";
    case 4: {
        static const char* const others[] = {"\x1b", "\x1b$", "\x1b(", "\x1b$@", "\x1b(A", "\x1b$(D", "\x1bN",
                                             "\x1b\x1b", "\x1b$\x1b(B", "\x1b(\x1b$B"};
        return others[rng() % std::size(others)];
    }
    case 5:
    case 6:
    case 7: return {byteIn(0x21, 0x7E), byteIn(0x21, 0x7E)};  // a JIS code
    case 8: return {byteIn(0x21, 0x7E)};                      // half a code
    case 9: return {(rng() % 2) ? byteIn(0x81, 0x9F) : byteIn(0xE0, 0xFC), byteIn(0x40, 0xFC)};
    case 10: return {byteIn(0x80, 0xFF), '\x1b'};
    case 11: return {byteIn(0xA0, 0xDF)};
    case 12: return (rng() % 2) ? "\r\n" : "\n";
    case 13: return {byteIn(0x80, 0xFF)};
    default: return {byteIn(0x00, 0xFF)};
    }
}

std::string randomTokens(Rng& rng, int count) {
    std::string s;
    for (int k = 0; k < count; ++k) s += randomToken(rng);
    return s;
}

enum class Inputs { Short, Tokens, EveryCut, RandomBytes, LongRuns };

bool visitInputs(Inputs kind, Rng& rng, const Visit& check) {
    switch (kind) {
    case Inputs::Short: {
        // Every input of up to four bytes from the bytes at the edges of
        // each range, read from each run's start.
        const std::string edges = bytes(QByteArray::fromHex(
            "00 0a 0d 1b 20 21 24 28 40 42 49 4a 5f 60 7e 7f 80 81 9f a0 a1 df e0 ef fc ff"));
        for (const std::string& prefix : {std::string(), kKanjiSwitch, kKatakanaSwitch}) {
            std::string in = prefix;
            std::function<bool(int)> extend = [&](int left) {
                if (!check(in)) return false;
                if (left == 0) return true;
                for (const char b : edges) {
                    in.push_back(b);
                    const bool ok = extend(left - 1);
                    in.pop_back();
                    if (!ok) return false;
                }
                return true;
            };
            if (!extend(4)) return false;
        }
        return true;
    }
    case Inputs::Tokens:
        for (int m = 0; m < 20000; ++m)
            if (!check(randomTokens(rng, int(rng() % 60)))) return false;
        return true;
    case Inputs::EveryCut:
        // Cut at every byte from either end: escapes and two-byte characters
        // broken at every position, and reading started inside them.
        for (int m = 0; m < 300; ++m) {
            const std::string msg = randomTokens(rng, 40);
            for (std::size_t k = 0; k <= msg.size(); ++k)
                if (!check(msg.substr(0, k)) || !check(msg.substr(k))) return false;
        }
        return true;
    case Inputs::RandomBytes:
        // Uniform bytes, and bytes drawn mostly from those escapes are made of.
        for (int m = 0; m < 5000; ++m) {
            const std::string_view escapeBytes = "\x1b\x1b$(BIJ\x81\x21\x7e\xa1\x0d";
            std::string uniform, escapey;
            const int len = int(rng() % 300);
            for (int k = 0; k < len; ++k) {
                uniform += char(rng() % 256);
                escapey += escapeBytes[rng() % escapeBytes.size()];
            }
            if (!check(uniform) || !check(escapey)) return false;
        }
        return true;
    case Inputs::LongRuns: {
        // Runs far longer than any buffer or search step: raw Shift_JIS with
        // escapes in it, a long line of lead bytes before an escape (an even
        // and an odd number of them), long kanji, katakana and ASCII runs.
        std::string raw, kanji = kKanjiSwitch, katakana = kKatakanaSwitch, ascii;
        for (int k = 0; k < 200000; ++k) {
            raw += {char(0x81 + rng() % 0x1F), char(0x40 + rng() % 0xBD)};
            if (rng() % 5000 == 0) raw += kKanjiSwitch + "\x24\x22\x1b(B";
            kanji += {char(0x21 + rng() % 94), char(0x21 + rng() % 94)};
            if (rng() % 5000 == 0) kanji += "\r\n";
            katakana += char(0x21 + rng() % 0x3F);
            ascii += char(0x20 + rng() % 0x5F);
        }
        for (const std::string& in : {raw, kanji, katakana, ascii + "\x1b$B\x24\x22" + ascii,
                                      std::string(100000, '\x81') + "\x1b$B\x24\x22",
                                      std::string(100001, '\x81') + "\x1b$B\x24\x22", randomTokens(rng, 100000)})
            if (!check(in)) return false;
        return true;
    }
    }
    return true;
}

}  // namespace

void TestIso2022Jp::jisToSjisAgreesWithReference_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("atLeast");  // inputs this kind must have produced
    QTest::newRow("every input up to 4 bytes") << int(Inputs::Short) << 0u << 3 * 475255;
    for (unsigned seed : {1u, 2u}) {
        QTest::addRow("token streams, seed %u", seed) << int(Inputs::Tokens) << seed << 20000;
        QTest::addRow("every cut, seed %u", seed) << int(Inputs::EveryCut) << seed << 300 * 2 * 41;
        QTest::addRow("random bytes, seed %u", seed) << int(Inputs::RandomBytes) << seed << 10000;
        QTest::addRow("long runs, seed %u", seed) << int(Inputs::LongRuns) << seed << 7;
    }
}

void TestIso2022Jp::jisToSjisAgreesWithReference() {
    QFETCH(int, kind);
    QFETCH(unsigned, seed);
    QFETCH(int, atLeast);
    Rng rng(seed);
    int compared = 0;
    QString failure;
    visitInputs(Inputs(kind), rng, [&](const std::string& in) {
        ++compared;
        const std::string want = jis_reference::JisToSjis(in);
        const std::string got = JisToSjis(in);
        if (got == want) return true;
        const auto at = std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first - got.begin();
        failure = QString("input %1 (%2 bytes): output differs from byte %3 on; got %4, want %5")
                      .arg(in.size() <= 200 ? QString(hex(in)) : "too long to show", QString::number(in.size()))
                      .arg(at)
                      .arg(QString(hex(got.substr(std::size_t(at), 16))), QString(hex(want.substr(std::size_t(at), 16))));
        return false;
    });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY2(compared >= atLeast, qPrintable(QString("only %1 inputs compared").arg(compared)));
}

QTEST_GUILESS_MAIN(TestIso2022Jp)
#include "tst_iso2022jp.moc"
