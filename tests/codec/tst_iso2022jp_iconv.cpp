// The ISO-2022-JP output agrees with glibc's iconv for every character that
// iconv's Shift_JIS table maps into ISO-2022-JP (the JIS X 0208 set, JIS
// mapping, so the wave dash and its kin compare fairly); and half-width
// katakana as iconv writes it in ESC ( I is read back to Windows-31J.
#include <iconv.h>

#include <QtTest>

#include "codec/Iso2022Jp.h"
#include "support/IconvText.h"
#include "support/SjisLiterals.h"

namespace {

QByteArray hex(const std::string& s) { return QByteArray::fromStdString(s).toHex(' '); }

class Iconv {
public:
    Iconv() : cd_(iconv_open("ISO-2022-JP", "SHIFT_JIS")) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    bool ok() const { return cd_ != iconv_t(-1); }
    // Converts the whole input or gives no value.
    std::optional<std::string> convert(const std::string& in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string src = in;
        char out[64];
        char* ip = src.data();
        char* op = out;
        size_t inLeft = src.size(), outLeft = sizeof out;
        if (iconv(cd_, &ip, &inLeft, &op, &outLeft) == size_t(-1)) return std::nullopt;
        if (iconv(cd_, nullptr, nullptr, &op, &outLeft) == size_t(-1)) return std::nullopt;
        return std::string(out, std::size_t(op - out));
    }

private:
    iconv_t cd_;
};

// iconv returns to ASCII with ESC ( B, this system with ESC ( J.
std::string normaliseSwitchBack(std::string s) {
    for (std::size_t p = 0; (p = s.find("\x1b(J", p)) != std::string::npos; p += 3) s[p + 2] = 'B';
    return s;
}

}  // namespace

class TestIso2022JpIconv : public QObject {
    Q_OBJECT
private slots:
    void agreesWithIconvOnEveryJisX0208Character();
    void readsIconvHalfWidthKatakana_data();
    void readsIconvHalfWidthKatakana();
};

void TestIso2022JpIconv::agreesWithIconvOnEveryJisX0208Character() {
    Iconv iconv;
    QVERIFY2(iconv.ok(), "iconv cannot convert SHIFT_JIS to ISO-2022-JP here");
    int compared = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string sjis{char(lead), char(trail)};
            const auto expected = iconv.convert(sjis);
            // Only codes iconv reads as one two-byte character of its table.
            if (!expected || expected->rfind("\x1b$B", 0) != 0) continue;
            const std::string actual = normaliseSwitchBack(ToIso2022Jp(sjis));
            if (actual != *expected)
                QFAIL(qPrintable("differs for " + hex(sjis) + ": " + hex(actual) + " vs " + hex(*expected)));
            ++compared;
        }
    }
    // JIS X 0208 holds 6879 characters; fewer means the enumeration missed some.
    QCOMPARE(compared, 6879);
}

void TestIso2022JpIconv::readsIconvHalfWidthKatakana_data() {
    QTest::addColumn<QString>("text");
    // U+FF61-U+FF9F are the 63 half-width katakana, A1-DF in Windows-31J.
    QString all;
    for (char16_t u = 0xFF61; u <= 0xFF9F; ++u) {
        QTest::addRow("U+%04X", unsigned(u)) << QString(QChar(u));
        all += QChar(u);
    }
    QTest::newRow("all in one run") << all;
    QTest::newRow("subject with kanji") << QStringLiteral("ｸｲｽﾞ第2問");
    QTest::newRow("katakana, ascii, kanji, line break") << QStringLiteral("ｺﾀｴ 3:ｱ\r\nあｲ");
}

void TestIso2022JpIconv::readsIconvHalfWidthKatakana() {
    QFETCH(QString, text);
    // glibc's plain ISO-2022-JP refuses half-width katakana; its ISO-2022-JP-3
    // writes it in ESC ( I, as a phone echoing such a subject does.
    const QByteArray jis = iconvBytes(text.toUtf8(), "ISO-2022-JP-3", "UTF-8");
    QVERIFY2(jis.contains("\x1b(I"), jis.constData());
    QCOMPARE(hex(JisToSjis(jis.toStdString())), hex(sj(text)));
}

QTEST_GUILESS_MAIN(TestIso2022JpIconv)
#include "tst_iso2022jp_iconv.moc"
