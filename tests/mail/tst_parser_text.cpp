// Searching Shift_JIS text by characters, squeezing a subject for comparison,
// and the boundary parameter of a multi-part message.
#include <QtTest>

#include "mail/MailBody.h"
#include "mail/SjisSearch.h"
#include "mail/SubjectDecoder.h"

namespace {
constexpr std::size_t npos = std::string_view::npos;
}

class TestParserText : public QObject {
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void replaceAll_data();
    void replaceAll();
    void squeeze_data();
    void squeeze();
    void boundary_data();
    void boundary();
};

void TestParserText::find_data() {
    QTest::addColumn<QByteArray>("hay");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<bool>("noCase");
    QTest::addColumn<qulonglong>("from");
    QTest::addColumn<qulonglong>("found");

    QTest::newRow("ascii") << QByteArray("abcabc") << QByteArray("ca") << false << 0ull << 2ull;
    QTest::newRow("ascii from") << QByteArray("abcabc") << QByteArray("bc") << false << 2ull << 4ull;
    QTest::newRow("case counts") << QByteArray("Subject") << QByteArray("subject") << false << 0ull << qulonglong(npos);
    QTest::newRow("case ignored") << QByteArray("SubJect: x") << QByteArray("subject: ") << true << 0ull << 0ull;
    QTest::newRow("empty needle") << QByteArray("abc") << QByteArray("") << false << 1ull << 1ull;
    QTest::newRow("needle longer") << QByteArray("ab") << QByteArray("abc") << true << 0ull << qulonglong(npos);
    // テ ス = 83 65 83 58: "e\x83" stands across two characters.
    QTest::newRow("across a character boundary") << QByteArray("\x83\x65\x83\x58") << QByteArray("\x65\x83")
                                                 << false << 0ull << qulonglong(npos);
    // The trail byte "e" of テ is no letter, with or without case.
    QTest::newRow("trail byte is no letter") << QByteArray("\x83\x65") << QByteArray("e") << false << 0ull
                                             << qulonglong(npos);
    QTest::newRow("trail byte not folded") << QByteArray("\x83\x65" "E") << QByteArray("e") << true << 0ull << 2ull;
    QTest::newRow("two-byte needle exact") << QByteArray("a\x93\x9a:") << QByteArray("\x93\x9a:") << true << 0ull
                                           << 1ull;
    // 82 60 (Ａ) and 82 81 (ａ) differ: only one-byte letters fold.
    QTest::newRow("full-width letters keep their case") << QByteArray("\x82\x60") << QByteArray("\x82\x81") << true
                                                        << 0ull << qulonglong(npos);
    // A stray lead byte before CR LF does not swallow the CR.
    QTest::newRow("stray lead byte") << QByteArray("\x82\r\nx") << QByteArray("\r\nx") << false << 0ull << 1ull;
    QTest::newRow("half-width katakana is one byte") << QByteArray("\xb1\xb2" "a") << QByteArray("a") << false << 0ull
                                                     << 2ull;
}

void TestParserText::find() {
    QFETCH(QByteArray, hay);
    QFETCH(QByteArray, needle);
    QFETCH(bool, noCase);
    QFETCH(qulonglong, from);
    QFETCH(qulonglong, found);
    const std::string_view h(hay.constData(), std::size_t(hay.size()));
    const std::string_view n(needle.constData(), std::size_t(needle.size()));
    const std::size_t got = noCase ? sjisFindNoCase(h, n, std::size_t(from)) : sjisFind(h, n, std::size_t(from));
    QCOMPARE(qulonglong(got), found);
}

void TestParserText::replaceAll_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("every occurrence") << QByteArray("RE:(BCC)aRE:(BCC)") << QByteArray("RE:(BCC)")
                                      << QByteArray("Re:") << QByteArray("Re:aRe:");
    QTest::newRow("replacement not searched again") << QByteArray("aa") << QByteArray("a") << QByteArray("aa")
                                                    << QByteArray("aaaa");
    QTest::newRow("none") << QByteArray("abc") << QByteArray("x") << QByteArray("y") << QByteArray("abc");
    // 8B 52 ("B" as a trail byte) followed by "CC)": no "(BCC)" here.
    QTest::newRow("never inside a character") << QByteArray("RE:(\x8b" "BCC)") << QByteArray("RE:(BCC)")
                                              << QByteArray("Re:") << QByteArray("RE:(\x8b" "BCC)");
    QTest::newRow("empty pattern") << QByteArray("abc") << QByteArray("") << QByteArray("x") << QByteArray("abc");
}

void TestParserText::replaceAll() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(sjisReplaceAll(text.toStdString(), from.toStdString(), to.toStdString())),
             expected);
}

void TestParserText::squeeze_data() {
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("squeezed");
    QTest::addColumn<QByteArray>("normalised");
    QTest::newRow("spaces and folding") << QByteArray("Re: Q 1\r\n 2") << QByteArray("Re:Q12") << QByteArray("Re:Q12");
    QTest::newRow("punctuation stays") << QByteArray("Re:Q.1 [a/b] (2)-x") << QByteArray("Re:Q.1[a/b](2)-x")
                                       << QByteArray("Re:Q.1[a/b](2)-x");
    QTest::newRow("lone CR or LF stays") << QByteArray("a\rb\nc") << QByteArray("a\rb\nc") << QByteArray("a\rb\nc");
    // 第 (91 E6) 1 and a full-width space (81 40): only the ASCII space goes.
    QTest::newRow("two-byte characters whole") << QByteArray("\x91\xe6 1\x81\x40") << QByteArray("\x91\xe6" "1\x81\x40")
                                               << QByteArray("\x91\xe6" "1\x81\x40");
    QTest::newRow("RE: (BCC) squeezed, then read as Re:") << QByteArray("RE: (BCC) x") << QByteArray("RE:(BCC)x")
                                                          << QByteArray("Re:x");
}

void TestParserText::squeeze() {
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, squeezed);
    QFETCH(QByteArray, normalised);
    QCOMPARE(QByteArray::fromStdString(SqueezeSubject(subject.toStdString())), squeezed);
    QCOMPARE(QByteArray::fromStdString(NormaliseSubject(subject.toStdString())), normalised);
}

void TestParserText::boundary_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("boundary");
    QTest::newRow("quoted") << QByteArray("Content-Type: multipart/mixed; boundary=\"----=_Part_1\"\r\n")
                            << QByteArray("----=_Part_1");
    QTest::newRow("quoted, parameter after") << QByteArray("multipart/mixed; boundary=\"a b\"; x=y\r\n")
                                             << QByteArray("a b");
    QTest::newRow("bare to line end") << QByteArray("multipart/mixed; boundary=abc123\r\n") << QByteArray("abc123");
    QTest::newRow("bare to ;") << QByteArray("multipart/mixed; boundary=abc;charset=x\r\n") << QByteArray("abc");
    QTest::newRow("bare at the very end") << QByteArray("boundary=zz") << QByteArray("zz");
    QTest::newRow("name in capitals") << QByteArray("multipart/mixed; BOUNDARY=\"q\"\r\n") << QByteArray("q");
    QTest::newRow("unclosed quote") << QByteArray("boundary=\"abc\r\n") << QByteArray();
    QTest::newRow("none") << QByteArray("multipart/mixed\r\n") << QByteArray();
    QTest::newRow("empty") << QByteArray("boundary=\r\n") << QByteArray();
}

void TestParserText::boundary() {
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, boundary);
    QCOMPARE(QByteArray::fromStdString(FindBoundary(header.toStdString())), boundary);
}

QTEST_GUILESS_MAIN(TestParserText)
#include "tst_parser_text.moc"
