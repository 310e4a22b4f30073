// Base64 as this system writes and reads it: no padding, 76-character lines
// ending in CR LF, decoding that refuses foreign characters and joins
// Shift_JIS characters.
#include <QRandomGenerator>
#include <QtTest>

#include "codec/Base64.h"

namespace {

std::string bytes(const QByteArray& a) { return a.toStdString(); }
QByteArray qbytes(const std::string& s) { return QByteArray::fromStdString(s); }

std::string randomBytes(int n) {
    std::string s(std::size_t(n), '\0');
    for (auto& c : s) c = char(QRandomGenerator::global()->bounded(256));
    return s;
}

// Random text made of whole characters as the decoder joins them: two-byte
// characters with leads 0x81-0x9F/0xE0-0xEF, and single bytes that lead nothing.
std::string randomSjisText(int chars) {
    auto* rng = QRandomGenerator::global();
    std::string s;
    for (int k = 0; k < chars; ++k) {
        if (rng->bounded(2)) {
            int lead = int(rng->bounded(47));
            lead += lead < 31 ? 0x81 : 0xE0 - 31;
            int trail = 0x40 + int(rng->bounded(188));
            if (trail >= 0x7F) ++trail;
            s += char(lead);
            s += char(trail);
        } else {
            int single = int(rng->bounded(0x80 + 64 + 1));  // 00-80, A0-DF
            if (single > 0x80) single += 0xA0 - 0x81;
            s += char(single);
        }
    }
    return s;
}

// The decoder as the bit-string helpers describe it: 6 digits per character
// into a pending text, 8 digits out per byte.
std::optional<std::string> referenceDecode(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string pending, out;
    SjisJoinState join;
    for (char c : text) {
        if (c == '=') break;
        const auto v = alphabet.find(c);
        if (c == '\0' || v == std::string::npos) return std::nullopt;
        pending += ToBitString(unsigned(v), 6);
        while (pending.size() >= 8) {
            JoinSjisByte(std::uint8_t(FromBitString(pending, 8)), join, out);
            pending.erase(0, 8);
        }
    }
    return out;
}

}  // namespace

class TestBase64 : public QObject {
    Q_OBJECT
private slots:
    void encodeExamples_data();
    void encodeExamples();
    void agreesWithQtEncoder();
    void yieldsEveryHundredInputBytes_data();
    void yieldsEveryHundredInputBytes();
    void decodeExamples_data();
    void decodeExamples();
    void decodeIsInverseOnShiftJisText();
    void decodeMatchesBitStringReference();
    void bitStrings_data();
    void bitStrings();
    void joinSjisByte_data();
    void joinSjisByte();
};

void TestBase64::encodeExamples_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("oneLine");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("YWJj\r\n") << QByteArray("YWJj");
    QTest::newRow("ab") << QByteArray("ab") << QByteArray("YWI\r\n") << QByteArray("YWI");
    QTest::newRow("a") << QByteArray("a") << QByteArray("YQ\r\n") << QByteArray("YQ");
    QTest::newRow("high bytes") << QByteArray::fromHex("82a0ff") << QByteArray("gqD/\r\n")
                                << QByteArray("gqD/");
    // 57 bytes fill exactly one line of 76: one CR LF, no empty line after.
    QTest::newRow("exactly one line") << QByteArray(57, '\0') << QByteArray(76, 'A') + "\r\n"
                                      << QByteArray(76, 'A');
    QTest::newRow("one past a line") << QByteArray(58, '\0')
                                     << QByteArray(76, 'A') + "\r\nAA\r\n" << QByteArray(78, 'A');
}

void TestBase64::encodeExamples() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, oneLine);
    QCOMPARE(qbytes(Base64Encode(bytes(in))), encoded);
    QCOMPARE(qbytes(EncodeBase64Text(bytes(in))), oneLine);
}

void TestBase64::agreesWithQtEncoder() {
    for (int n = 0; n < 400; ++n) {
        const std::string in = randomBytes(n);
        const QByteArray expected =
            qbytes(in).toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals);
        const QByteArray lines = qbytes(Base64Encode(in));

        // Line structure: full 76-character lines, each with CR LF, the last shorter.
        QByteArray joined;
        qsizetype pos = 0;
        while (pos < lines.size()) {
            const qsizetype end = lines.indexOf("\r\n", pos);
            QVERIFY2(end >= 0, "line without CR LF");
            const qsizetype len = end - pos;
            const bool last = end + 2 == lines.size();
            QVERIFY(len > 0 && len <= 76);
            if (!last) QCOMPARE(len, qsizetype(76));
            joined += lines.mid(pos, len);
            pos = end + 2;
        }
        QCOMPARE(joined, expected);
        QCOMPARE(qbytes(EncodeBase64Text(in)), expected);
    }
}

void TestBase64::yieldsEveryHundredInputBytes_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("yields");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("99") << 99 << 0;
    QTest::newRow("100") << 100 << 1;
    QTest::newRow("101") << 101 << 1;
    QTest::newRow("250") << 250 << 2;
    QTest::newRow("300") << 300 << 3;
    QTest::newRow("10000") << 10000 << 100;
}

void TestBase64::yieldsEveryHundredInputBytes() {
    QFETCH(int, length);
    QFETCH(int, yields);
    const std::string in = randomBytes(length);
    int calls = 0;
    Base64Encode(in, [&] { ++calls; });
    QCOMPARE(calls, yields);
    calls = 0;
    EncodeBase64Text(in, [&] { ++calls; });
    QCOMPARE(calls, yields);
    // Without a yield function nothing is called and the result is the same.
    QCOMPARE(Base64Encode(in), Base64Encode(in, [] {}));
}

void TestBase64::decodeExamples_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<QByteArray>("decoded");
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("YWJj") << QByteArray("YWJj") << true << QByteArray("abc");
    QTest::newRow("YWI stops at =") << QByteArray("YWI=") << true << QByteArray("ab");
    QTest::newRow("unpadded YWI") << QByteArray("YWI") << true << QByteArray("ab");
    QTest::newRow("rest after = ignored") << QByteArray("YQ==!!") << true << QByteArray("a");
    QTest::newRow("= first") << QByteArray("=YWJj") << true << QByteArray();
    QTest::newRow("space is no digit") << QByteArray("YW J") << false << QByteArray();
    QTest::newRow("CR LF is no digit") << QByteArray("YWJj\r\n") << false << QByteArray();
    QTest::newRow("NUL is no digit") << QByteArray("YW\0J", 4) << false << QByteArray();
    QTest::newRow("high byte is no digit") << QByteArray("YW\xe9J") << false << QByteArray();
    QTest::newRow("bad char after = is ignored") << QByteArray("YQ= ") << true << QByteArray("a");
    QTest::newRow("lone digit gives nothing") << QByteArray("Y") << true << QByteArray();
    // あ as 82 A0: a joined two-byte character.
    QTest::newRow("shift_jis a") << QByteArray("gqA") << true << QByteArray::fromHex("82a0");
    // 82 alone: a lead byte left pending at the end is dropped.
    QTest::newRow("pending lead dropped") << QByteArray("gg") << true << QByteArray();
    QTest::newRow("ef is a lead") << QByteArray("Ye8") << true << QByteArray("a");
    // F0 leads nothing here: it stands alone and 82 after it is a new lead.
    QTest::newRow("f0 stands alone") << QByteArray("8II") << true << QByteArray::fromHex("f0");
    QTest::newRow("katakana stands alone") << QByteArray("sQ") << true << QByteArray::fromHex("b1");
    QTest::newRow("all digits") << QByteArray("+/+/") << true << QByteArray::fromHex("fbffbf");
}

void TestBase64::decodeExamples() {
    QFETCH(QByteArray, in);
    QFETCH(bool, hasValue);
    QFETCH(QByteArray, decoded);
    const auto result = Base64Decode(bytes(in));
    QCOMPARE(result.has_value(), hasValue);
    if (hasValue) QCOMPARE(qbytes(*result).toHex(' '), decoded.toHex(' '));
    const auto text = DecodeBase64Text(bytes(in));
    QCOMPARE(text.has_value(), hasValue);
    if (hasValue) QCOMPARE(qbytes(*text).toHex(' '), decoded.toHex(' '));
}

void TestBase64::decodeIsInverseOnShiftJisText() {
    for (int round = 0; round < 500; ++round) {
        const std::string text = randomSjisText(int(QRandomGenerator::global()->bounded(120)));
        const std::string lines = Base64Encode(text);
        std::string digits;
        for (char c : lines)
            if (c != '\r' && c != '\n') digits += c;
        const auto decoded = Base64Decode(digits);
        QVERIFY(decoded.has_value());
        if (*decoded != text) QFAIL(qPrintable("lost bytes for " + qbytes(text).toHex(' ')));
        const auto viaText = DecodeBase64Text(EncodeBase64Text(text));
        QVERIFY(viaText.has_value() && *viaText == text);
    }
}

void TestBase64::decodeMatchesBitStringReference() {
    // Random texts of alphabet characters with an occasional "=" or foreign
    // character: the fast decoder must give exactly what the bit strings give.
    static const char pool[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/= -\r";
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = int(rng->bounded(40));
        for (int k = 0; k < n; ++k) {
            // Mostly alphabet characters so that many texts decode at all.
            const quint32 range = rng->bounded(20) == 0 ? sizeof pool - 1 : 64;
            text += pool[rng->bounded(range)];
        }
        const auto fast = Base64Decode(text);
        const auto reference = referenceDecode(text);
        QCOMPARE(fast.has_value(), reference.has_value());
        if (fast) QCOMPARE(qbytes(*fast), qbytes(*reference));
    }
}

void TestBase64::bitStrings_data() {
    QTest::addColumn<unsigned>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QByteArray>("bits");
    QTest::newRow("zero 6") << 0u << 6 << QByteArray("000000");
    QTest::newRow("63 6") << 63u << 6 << QByteArray("111111");
    QTest::newRow("msb first") << 32u << 6 << QByteArray("100000");
    QTest::newRow("byte") << 0xA5u << 8 << QByteArray("10100101");
    QTest::newRow("only low digits kept") << 0x1FFu << 8 << QByteArray("11111111");
    QTest::newRow("no digits") << 5u << 0 << QByteArray();
}

void TestBase64::bitStrings() {
    QFETCH(unsigned, value);
    QFETCH(int, digits);
    QFETCH(QByteArray, bits);
    QCOMPARE(qbytes(ToBitString(value, digits)), bits);
    QCOMPARE(FromBitString(bytes(bits), digits), value & ((1u << digits) - 1));
}

void TestBase64::joinSjisByte_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("pendingAfter");
    QTest::newRow("ascii") << QByteArray("a") << QByteArray("a") << -1;
    QTest::newRow("lead 81 waits") << QByteArray::fromHex("81") << QByteArray() << 0x81;
    QTest::newRow("lead 9f waits") << QByteArray::fromHex("9f") << QByteArray() << 0x9F;
    QTest::newRow("a0 alone") << QByteArray::fromHex("a0") << QByteArray::fromHex("a0") << -1;
    QTest::newRow("df alone") << QByteArray::fromHex("df") << QByteArray::fromHex("df") << -1;
    QTest::newRow("lead e0 waits") << QByteArray::fromHex("e0") << QByteArray() << 0xE0;
    QTest::newRow("lead ef waits") << QByteArray::fromHex("ef") << QByteArray() << 0xEF;
    QTest::newRow("f0 alone") << QByteArray::fromHex("f0") << QByteArray::fromHex("f0") << -1;
    QTest::newRow("fc alone") << QByteArray::fromHex("fc") << QByteArray::fromHex("fc") << -1;
    QTest::newRow("80 alone") << QByteArray::fromHex("80") << QByteArray::fromHex("80") << -1;
    QTest::newRow("pair") << QByteArray::fromHex("82a0") << QByteArray::fromHex("82a0") << -1;
    QTest::newRow("lead takes a lead") << QByteArray::fromHex("8181 41")
                                       << QByteArray::fromHex("8181 41") << -1;
    QTest::newRow("lead takes any byte") << QByteArray::fromHex("8200 e0") << QByteArray::fromHex("8200")
                                         << 0xE0;
}

void TestBase64::joinSjisByte() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QFETCH(int, pendingAfter);
    SjisJoinState state;
    std::string result;
    for (char c : in) JoinSjisByte(std::uint8_t(c), state, result);
    QCOMPARE(qbytes(result).toHex(' '), out.toHex(' '));
    QCOMPARE(state.pendingLead, pendingAfter);
}

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_base64.moc"
