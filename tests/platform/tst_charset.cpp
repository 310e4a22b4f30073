// The one converter between Shift_JIS bytes and widget text, checked against
// glibc's CP932 converter (Microsoft's table) as an independent reference.
#include <QtTest>
#include <iconv.h>

#include "platform/qt/Charset.h"

namespace {

QByteArray bytes(const SjisText& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

SjisText sj(const QByteArray& b) {
    return SjisText(b.constData(), std::size_t(b.size()));
}

// glibc's CP932 conversion of one piece of text, or nothing when it refuses.
class Cp932Reference {
public:
    Cp932Reference()
        : toUnicode_(iconv_open("UTF-16LE", "CP932")), fromUnicode_(iconv_open("CP932", "UTF-16LE")) {}
    ~Cp932Reference() {
        if (ok()) {
            iconv_close(toUnicode_);
            iconv_close(fromUnicode_);
        }
    }
    bool ok() const { return toUnicode_ != iconv_t(-1) && fromUnicode_ != iconv_t(-1); }

    std::optional<QString> decode(const QByteArray& in) const {
        QByteArray out = convert(toUnicode_, in);
        if (out.isNull()) return std::nullopt;
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(out.constData()), out.size() / 2);
    }
    std::optional<QByteArray> encode(const QString& in) const {
        QByteArray raw(reinterpret_cast<const char*>(in.utf16()), in.size() * 2);
        QByteArray out = convert(fromUnicode_, raw);
        if (out.isNull()) return std::nullopt;
        return out;
    }

private:
    static QByteArray convert(iconv_t cd, QByteArray in) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char* ip = in.data();
        size_t il = size_t(in.size());
        char* op = buffer;
        size_t ol = sizeof buffer;
        if (iconv(cd, &ip, &il, &op, &ol) == size_t(-1) || il != 0) return QByteArray();
        QByteArray out(buffer, qsizetype(sizeof buffer - ol));
        if (out.isNull()) out = QByteArray("");
        return out;
    }
    iconv_t toUnicode_;
    iconv_t fromUnicode_;
};

}  // namespace

class TestCharset : public QObject {
    Q_OBJECT
private slots:
    void windowsMapping_data();
    void windowsMapping();
    void duplicateCodesEncodeToWindowsChoice_data();
    void duplicateCodesEncodeToWindowsChoice();
    void unrepresentableBecomesQuestionMark_data();
    void unrepresentableBecomesQuestionMark();
    void jisVariantsTakeWindowsTwins_data();
    void jisVariantsTakeWindowsTwins();
    void controlCodesMapToThemselves();
    void brokenBytesStayVisible_data();
    void brokenBytesStayVisible();
    void multiLineToWidget_data();
    void multiLineToWidget();
    void multiLineFromWidget_data();
    void multiLineFromWidget();
    void everyDoubleByteCodeDecodesAsCp932();
    void everyBmpCharacterEncodesAsCp932();
};

// Characters whose bytes and code point Windows-31J fixes one to one,
// including the NEC row 13, the IBM rows and the wave-dash family, where
// plain Shift_JIS tables differ.
void TestCharset::windowsMapping_data() {
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QString>("unicode");
    QTest::newRow("ascii") << QByteArray("Re: quiz 1") << QStringLiteral("Re: quiz 1");
    QTest::newRow("backslash stays 5C") << QByteArray("\\") << QStringLiteral("\\");
    QTest::newRow("tilde stays 7E") << QByteArray("~") << QStringLiteral("~");
    QTest::newRow("half-width katakana") << QByteArray("\xb1\xdd") << QString::fromUtf8("ｱﾝ");
    QTest::newRow("hiragana") << QByteArray("\x82\xa0") << QString::fromUtf8("あ");
    QTest::newRow("kanji") << QByteArray("\x93\xfa\x96\x7b\x8c\xea") << QString::fromUtf8("日本語");
    QTest::newRow("circle and cross") << QByteArray("\x81\x9b\x81\x7e") << QString::fromUtf8("○×");
    QTest::newRow("full-width colon") << QByteArray("\x93\x9a\x81\x46") << QString::fromUtf8("答：");
    QTest::newRow("wave dash 8160") << QByteArray("\x81\x60") << QString(QChar(0xFF5E));
    QTest::newRow("double bar 8161") << QByteArray("\x81\x61") << QString(QChar(0x2225));
    QTest::newRow("minus 817C") << QByteArray("\x81\x7c") << QString(QChar(0xFF0D));
    QTest::newRow("dash 815C") << QByteArray("\x81\x5c") << QString(QChar(0x2015));
    QTest::newRow("backslash 815F") << QByteArray("\x81\x5f") << QString(QChar(0xFF3C));
    QTest::newRow("cent 8191") << QByteArray("\x81\x91") << QString(QChar(0xFFE0));
    QTest::newRow("pound 8192") << QByteArray("\x81\x92") << QString(QChar(0xFFE1));
    QTest::newRow("not 81CA") << QByteArray("\x81\xca") << QString(QChar(0xFFE2));
    QTest::newRow("NEC 13 circled 1") << QByteArray("\x87\x40") << QString(QChar(0x2460));
    QTest::newRow("NEC 13 circled 20") << QByteArray("\x87\x53") << QString(QChar(0x2473));
    QTest::newRow("NEC 13 roman I") << QByteArray("\x87\x54") << QString(QChar(0x2160));
    QTest::newRow("NEC 13 milli") << QByteArray("\x87\x5f") << QString(QChar(0x3349));   // ㍉
    QTest::newRow("NEC 13 cm") << QByteArray("\x87\x70") << QString(QChar(0x339D));     // ㎝
    QTest::newRow("NEC 13 numero") << QByteArray("\x87\x82") << QString(QChar(0x2116));
    QTest::newRow("IBM small roman i") << QByteArray("\xfa\x40") << QString(QChar(0x2170));
    QTest::newRow("IBM broken bar") << QByteArray("\xfa\x55") << QString(QChar(0xFFE4));
    QTest::newRow("IBM kanji FA5C") << QByteArray("\xfa\x5c") << QString(QChar(0x7E8A));
    QTest::newRow("IBM last FC4B") << QByteArray("\xfc\x4b") << QString(QChar(0x9ED1));
    QTest::newRow("user area F040") << QByteArray("\xf0\x40") << QString(QChar(0xE000));
}

void TestCharset::windowsMapping() {
    QFETCH(QByteArray, sjis);
    QFETCH(QString, unicode);
    QCOMPARE(Charset::toQt(sj(sjis)), unicode);
    QCOMPARE(bytes(Charset::toSjis(unicode)), sjis);
}

// Some characters have two codes (NEC-selected IBM rows, NEC row 13 copies
// of JIS X 0208 symbols); both decode alike, and encoding picks the code
// Windows picks.
void TestCharset::duplicateCodesEncodeToWindowsChoice_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("windowsChoice");
    QTest::newRow("NEC 8790 -> 81E0") << QByteArray("\x87\x90") << QByteArray("\x81\xe0");
    QTest::newRow("NEC 879A -> 81E6") << QByteArray("\x87\x9a") << QByteArray("\x81\xe6");
    QTest::newRow("NEC-IBM ED40 -> FA5C") << QByteArray("\xed\x40") << QByteArray("\xfa\x5c");
    QTest::newRow("NEC-IBM EEEF -> FA40") << QByteArray("\xee\xef") << QByteArray("\xfa\x40");
    QTest::newRow("IBM FA54 -> 81CA") << QByteArray("\xfa\x54") << QByteArray("\x81\xca");
    QTest::newRow("IBM FA58 -> 878A") << QByteArray("\xfa\x58") << QByteArray("\x87\x8a");
}

void TestCharset::duplicateCodesEncodeToWindowsChoice() {
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, windowsChoice);
    const QString decoded = Charset::toQt(sj(code));
    QCOMPARE(decoded.size(), 1);
    QCOMPARE(decoded, Charset::toQt(sj(windowsChoice)));
    QCOMPARE(bytes(Charset::toSjis(decoded)), windowsChoice);
}

void TestCharset::unrepresentableBecomesQuestionMark_data() {
    QTest::addColumn<QString>("unicode");
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QString>("firstUnsendable");   // what the editors name in their message
    const QString emoji = QString::fromUtf8("😀");
    QTest::newRow("euro") << QString(QChar(0x20AC)) << QByteArray("?") << QString(QChar(0x20AC));
    QTest::newRow("hangul") << QString::fromUtf8("한") << QByteArray("?") << QString::fromUtf8("한");
    QTest::newRow("umlaut between ascii") << QString::fromUtf8("aäb") << QByteArray("a?b") << QString::fromUtf8("ä");
    QTest::newRow("emoji is one character") << QString::fromUtf8("x😀y") << QByteArray("x?y") << emoji;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?") << QString(QChar(0xD800));
    QTest::newRow("private use outside the user area") << QString(QChar(0xF86F)) << QByteArray("?") << QString(QChar(0xF86F));
    QTest::newRow("soft hyphen has no code") << QString(QChar(0x00AD)) << QByteArray("?") << QString(QChar(0x00AD));
    QTest::newRow("lone surrogate mid-text") << (QStringLiteral("a") + QChar(0xDC00) + "b") << QByteArray("a?b")
                                             << QString(QChar(0xDC00));
    QTest::newRow("between kanji") << QString::fromUtf8("日€本") << QByteArray("\x93\xfa?\x96\x7b") << QString(QChar(0x20AC));
    QTest::newRow("after a control code") << QString::fromUtf8("\x7f€") << QByteArray("\x7f?") << QString(QChar(0x20AC));
    QTest::newRow("the first of two") << QString::fromUtf8("𠮷野家😀") << QByteArray("?\x96\xec\x89\xc6?")
                                      << QString::fromUtf8("𠮷");
    QTest::newRow("a real question mark is sendable") << QString::fromUtf8("何?") << QByteArray("\x89\xbd?") << QString();
    QTest::newRow("wave dash of a JIS input method") << QString(QChar(0x301C)) << QByteArray("\x81\x60") << QString();
    QTest::newRow("control codes and kana") << QString::fromUtf8("\x1a\x1cｱ") << QByteArray("\x1a\x1c\xb1") << QString();
}

void TestCharset::unrepresentableBecomesQuestionMark() {
    QFETCH(QString, unicode);
    QFETCH(QByteArray, sjis);
    QFETCH(QString, firstUnsendable);
    QCOMPARE(bytes(Charset::toSjis(unicode)), sjis);
    QCOMPARE(Charset::firstUnsendable(unicode), firstUnsendable);
}

// What a JIS-mapped input method or file yields must not turn into "?".
void TestCharset::jisVariantsTakeWindowsTwins_data() {
    QTest::addColumn<int>("codePoint");
    QTest::addColumn<QByteArray>("sjis");
    QTest::newRow("wave dash") << 0x301C << QByteArray("\x81\x60");
    QTest::newRow("double vertical line") << 0x2016 << QByteArray("\x81\x61");
    QTest::newRow("minus sign") << 0x2212 << QByteArray("\x81\x7c");
    QTest::newRow("em dash") << 0x2014 << QByteArray("\x81\x5c");
    QTest::newRow("cent") << 0x00A2 << QByteArray("\x81\x91");
    QTest::newRow("pound") << 0x00A3 << QByteArray("\x81\x92");
    QTest::newRow("not") << 0x00AC << QByteArray("\x81\xca");
    QTest::newRow("yen") << 0x00A5 << QByteArray("\x5c");
    QTest::newRow("overline") << 0x203E << QByteArray("\x7e");
}

void TestCharset::jisVariantsTakeWindowsTwins() {
    QFETCH(int, codePoint);
    QFETCH(QByteArray, sjis);
    QCOMPARE(bytes(Charset::toSjis(QString(QChar(char16_t(codePoint))))), sjis);
}

// ICU's table swaps bytes 1A, 1C and 7F among themselves; Windows does not.
void TestCharset::controlCodesMapToThemselves() {
    for (int c = 0; c < 0x80; ++c) {
        const QByteArray one(1, char(c));
        const QString decoded = Charset::toQt(sj(one));
        QCOMPARE(decoded.size(), 1);
        QCOMPARE(int(decoded[0].unicode()), c);
        QCOMPARE(bytes(Charset::toSjis(decoded)), one);
    }
    // Inside other text, and next to a double-byte character.
    const QByteArray mixed("\x82\xa0\x1a\x1c\x7f\x82\xa2");
    const QString expected = QString::fromUtf8("あ") + QChar(0x1A) + QChar(0x1C) + QChar(0x7F) + QString::fromUtf8("い");
    QCOMPARE(Charset::toQt(sj(mixed)), expected);
    QCOMPARE(bytes(Charset::toSjis(expected)), mixed);
}

// Bytes that are no character must not vanish silently or swallow their
// neighbours.
void TestCharset::brokenBytesStayVisible_data() {
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QString>("expected");   // U+FFFD or U+001A where the fault is
    const QChar fffd(QChar::ReplacementCharacter);
    QTest::newRow("lead byte at the end") << QByteArray("ab\x82") << (QStringLiteral("ab") + fffd);
    QTest::newRow("lead byte before a control code")
        << QByteArray("\x82\x1a" "c") << (QString(fffd) + QChar(0x1A) + QStringLiteral("c"));
    QTest::newRow("lead byte before a space") << QByteArray("\x82 c") << (QString(fffd) + QStringLiteral(" c"));
    QTest::newRow("byte 80") << QByteArray("a\x80" "b") << (QStringLiteral("a") + QChar(0x1A) + "b");
    QTest::newRow("byte A0") << QByteArray("a\xa0" "b") << (QStringLiteral("a") + QChar(0x1A) + "b");
    QTest::newRow("byte FD") << QByteArray("a\xfd" "b") << (QStringLiteral("a") + QChar(0x1A) + "b");
    QTest::newRow("undefined code 8540") << QByteArray("a\x85\x40" "b") << (QStringLiteral("a") + fffd + "b");
}

void TestCharset::brokenBytesStayVisible() {
    QFETCH(QByteArray, sjis);
    QFETCH(QString, expected);
    QCOMPARE(Charset::toQt(sj(sjis)), expected);
}

void TestCharset::multiLineToWidget_data() {
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QString>("widget");
    QTest::newRow("one line") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("two lines") << QByteArray("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("empty line between") << QByteArray("a\r\n\r\nb") << QStringLiteral("a\n\nb");
    QTest::newRow("trailing break") << QByteArray("a\r\n") << QStringLiteral("a\n");
    QTest::newRow("lone CR") << QByteArray("a\rb") << QStringLiteral("a\nb");
    QTest::newRow("lone LF") << QByteArray("a\nb") << QStringLiteral("a\nb");
    QTest::newRow("kanji lines") << QByteArray("\x93\xfa\r\n\x96\x7b") << QString::fromUtf8("日\n本");
}

void TestCharset::multiLineToWidget() {
    QFETCH(QByteArray, sjis);
    QFETCH(QString, widget);
    QCOMPARE(Charset::toQtMultiLine(sj(sjis)), widget);
}

void TestCharset::multiLineFromWidget_data() {
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("sjis");
    QTest::newRow("one line") << QStringLiteral("abc") << QByteArray("abc");
    QTest::newRow("two lines") << QStringLiteral("a\nb") << QByteArray("a\r\nb");
    QTest::newRow("empty lines") << QStringLiteral("\n\n") << QByteArray("\r\n\r\n");
    QTest::newRow("already CR LF stays one break") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb");
    QTest::newRow("paragraph separator") << (QStringLiteral("a") + QChar::ParagraphSeparator + "b") << QByteArray("a\r\nb");
    QTest::newRow("line separator") << (QStringLiteral("a") + QChar::LineSeparator + "b") << QByteArray("a\r\nb");
    QTest::newRow("kanji lines") << QString::fromUtf8("日\n本") << QByteArray("\x93\xfa\r\n\x96\x7b");
}

void TestCharset::multiLineFromWidget() {
    QFETCH(QString, widget);
    QFETCH(QByteArray, sjis);
    const SjisText stored = Charset::toSjisMultiLine(widget);
    QCOMPARE(bytes(stored), sjis);
    // And back into a box: the same lines again.
    QString expected = widget;
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    expected.replace(QChar::ParagraphSeparator, QChar('\n')).replace(QChar::LineSeparator, QChar('\n'));
    QCOMPARE(Charset::toQtMultiLine(stored), expected);
}

// Every double-byte code: where glibc's CP932 knows the character, ours
// decodes to the same one and encodes it to a code that decodes to it again;
// where glibc refuses, ours shows a replacement, never a real character.
void TestCharset::everyDoubleByteCodeDecodesAsCp932() {
    Cp932Reference cp932;
    if (!cp932.ok()) QSKIP("glibc has no CP932 converter here");
    int known = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            QByteArray code(2, '\0');
            code[0] = char(lead);
            code[1] = char(trail);
            const QString ours = Charset::toQt(sj(code));
            const std::optional<QString> reference = cp932.decode(code);
            const QByteArray where = code.toHex();
            if (reference) {
                ++known;
                QVERIFY2(ours == *reference, where.constData());
                const QByteArray again = bytes(Charset::toSjis(ours));
                QVERIFY2(again.size() == 2 && Charset::toQt(sj(again)) == ours, where.constData());
            } else {
                QVERIFY2(ours.contains(QChar(0xFFFD)) || ours.contains(QChar(0x1A)), where.constData());
            }
        }
    }
    // 7 915 characters of the Windows table and 1 880 of the user area,
    // minus the codes the two tables leave undefined.
    QVERIFY2(known > 9500, qPrintable(QString::number(known)));
}

// Every character of the Basic Multilingual Plane encodes as glibc's CP932
// does, and what CP932 refuses becomes "?".
void TestCharset::everyBmpCharacterEncodesAsCp932() {
    Cp932Reference cp932;
    if (!cp932.ok()) QSKIP("glibc has no CP932 converter here");
    int representable = 0;
    for (int c = 1; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const QString one{QChar(char16_t(c))};
        const QByteArray ours = bytes(Charset::toSjis(one));
        const std::optional<QByteArray> reference = cp932.encode(one);
        const QByteArray where = QByteArray::number(c, 16);
        if (reference) {
            ++representable;
            QVERIFY2(ours == *reference, where.constData());
        } else {
            QVERIFY2(ours == "?", where.constData());
        }
    }
    QVERIFY2(representable > 9000, qPrintable(QString::number(representable)));
}

QTEST_GUILESS_MAIN(TestCharset)
#include "tst_charset.moc"
