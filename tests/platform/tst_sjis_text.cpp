// The one rule by which Shift_JIS text is read character by character: the
// question editor's count, the record writer's cut and the answer reader all
// go by it, so they agree on clean text and on the stray bytes fetched mail
// and old files bring.
#include <QtTest>

#include "mail/SjisSearch.h"
#include "platform/SjisText.h"

class TestSjisText : public QObject {
    Q_OBJECT
private slots:
    void characters_data();
    void characters();
};

void TestSjisText::characters_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("lengths");   // of each character, in order
    QTest::newRow("kanji and ASCII") << QByteArray("\x93\xfa" "a\x96\x7b") << QList<int>{2, 1, 2};
    QTest::newRow("trail byte 0x40, lowest") << QByteArray("\x81\x40") << QList<int>{2};
    QTest::newRow("trail byte 0xFC, highest") << QByteArray("\xfc\xfc") << QList<int>{2};
    QTest::newRow("stray lead at the end") << QByteArray("a\x82") << QList<int>{1, 1};
    QTest::newRow("lead before LF") << QByteArray("\x82\nx") << QList<int>{1, 1, 1};
    QTest::newRow("lead before CR LF") << QByteArray("\x93\r\n") << QList<int>{1, 1, 1};
    QTest::newRow("0x7F is no trail") << QByteArray("\x81\x7f") << QList<int>{1, 1};
    QTest::newRow("0xFD is no trail") << QByteArray("\x81\xfd") << QList<int>{1, 1};
    QTest::newRow("half-width katakana stand alone") << QByteArray("\xb1\xb2") << QList<int>{1, 1};
    QTest::newRow("0xA0 and 0xFD are no leads") << QByteArray("\xa0\x40\xfd\x40") << QList<int>{1, 1, 1, 1};
    QTest::newRow("two leads: the second is the first's trail") << QByteArray("\x88\x88\x88") << QList<int>{2, 1};
}

void TestSjisText::characters() {
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, lengths);
    const std::string s = text.toStdString();
    QList<int> walked;
    for (std::size_t i = 0; i < s.size(); i += sjisStrictCharLength(s, i)) walked << int(sjisStrictCharLength(s, i));
    QCOMPARE(walked, lengths);
    QCOMPARE(sjisStrictCharCount(s), std::size_t(lengths.size()));
    // The answer reader's search starts matches only where a character
    // starts: a one-byte needle found at each boundary the count sees.
    std::size_t at = 0;
    for (int len : lengths) {
        const std::string one = s.substr(at, std::size_t(len));
        QCOMPARE(sjisFind(s, one, at), at);
        at += std::size_t(len);
    }
}

QTEST_GUILESS_MAIN(TestSjisText)
#include "tst_sjis_text.moc"
