// The binary record encoding: exact layout, round trips, and reading of
// damaged bytes (cut off anywhere, garbage, lying descriptors).
#include <QElapsedTimer>
#include <QtTest>

#include <memory>
#include <random>
#include <vector>

#include "TestBytes.h"
#include "model/RecordCodec.h"
#include "model/Records.h"

using namespace test_bytes;

namespace {

// ---- random records -------------------------------------------------------

using Rng = std::mt19937;

int randomInt(Rng& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

SjisText randomText(Rng& rng, int maxLength) {
    SjisText s(std::size_t(randomInt(rng, 0, maxLength)), '\0');
    for (char& c : s) c = char(randomInt(rng, 0, 255));   // any byte, NUL included
    return s;
}

// Mostly empty, sometimes short: keeps the big records small enough to cut at every byte.
SjisText sparseText(Rng& rng) { return randomInt(rng, 0, 9) < 8 ? SjisText() : randomText(rng, 12); }

std::int16_t randomInt16(Rng& rng) { return std::int16_t(randomInt(rng, INT16_MIN, INT16_MAX)); }

}  // namespace

// Fills every member a visitor reaches; the per-question slot 0 is never stored
// and stays empty, so a round trip can compare whole records.
struct RandomFill {
    Rng& rng;
    bool sparse = false;
    void operator()(std::int16_t& v) { v = randomInt16(rng); }
    void operator()(SjisText& s) { s = sparse ? sparseText(rng) : randomText(rng, 40); }
    template <class T, std::size_t N> void operator()(std::array<T, N>& a) { for (T& x : a) (*this)(x); }
    template <class T> void operator()(SizedArray1<T>& a) {
        if (randomInt(rng, 0, 4) == 0) { a.clear(); return; }
        const int lower = randomInt(rng, -3, 3);
        a.size(lower, lower + randomInt(rng, 0, 12));
        for (T& x : a.items) (*this)(x);
    }
    template <class T> void operator()(SizedArray2<T>& a) {
        if (randomInt(rng, 0, 4) == 0) { a.clear(); return; }
        const int lo1 = randomInt(rng, -2, 2), lo2 = randomInt(rng, 0, 2);
        a.size(lo1, lo1 + randomInt(rng, 0, 8), lo2, lo2 + randomInt(rng, 0, 5));
        for (T& x : a.items) (*this)(x);
    }
    template <class T, std::size_t N> void perQuestion(std::array<T, N>& a) {
        for (std::size_t q = 1; q < N; ++q) (*this)(a[q]);
    }
    template <class T, std::size_t F, std::size_t N> void perChoice(std::array<std::array<T, F>, N>& a) {
        for (std::size_t q = 1; q < N; ++q) for (T& x : a[q]) (*this)(x);
    }
};

// The members of a record as units of reading, in file order, with the
// offset where each one ends in the encoding: every Integer, every String
// (fixed-array elements one by one) and every sized array as a whole.
struct Units {
    enum Kind { Int, Text, Ints1, Texts1, Ints2, Texts2 };
    struct Unit { Kind kind; const void* member; std::size_t end; };
    std::vector<Unit> list;
    std::size_t offset = 0;

    static std::size_t sizeOf(const std::int16_t&) { return 2; }
    static std::size_t sizeOf(const SjisText& s) { return 2 + s.size(); }
    template <class A> static std::size_t arraySize(const A& a, std::size_t descriptor) {
        std::size_t n = a.sized() ? descriptor : 2;
        for (const auto& x : a.items) n += sizeOf(x);
        return n;
    }
    void add(Kind k, const void* m, std::size_t size) { offset += size; list.push_back({k, m, offset}); }
    void operator()(std::int16_t& v) { add(Int, &v, 2); }
    void operator()(SjisText& s) { add(Text, &s, sizeOf(s)); }
    template <class T, std::size_t N> void operator()(std::array<T, N>& a) { for (T& x : a) (*this)(x); }
    void operator()(SizedArray1<std::int16_t>& a) { add(Ints1, &a, arraySize(a, 10)); }
    void operator()(SizedArray1<SjisText>& a) { add(Texts1, &a, arraySize(a, 10)); }
    void operator()(SizedArray2<std::int16_t>& a) { add(Ints2, &a, arraySize(a, 18)); }
    void operator()(SizedArray2<SjisText>& a) { add(Texts2, &a, arraySize(a, 18)); }
    template <class T, std::size_t N> void perQuestion(std::array<T, N>& a) {
        for (std::size_t q = 1; q < N; ++q) (*this)(a[q]);
    }
    template <class T, std::size_t F, std::size_t N> void perChoice(std::array<std::array<T, F>, N>& a) {
        for (std::size_t f = 0; f < F; ++f) for (std::size_t q = 1; q < N; ++q) (*this)(a[q][f]);
    }

    template <class R> static Units of(R& r) { Units u; r.visit(u); return u; }

    static bool same(const Unit& a, const Unit& b) {
        switch (a.kind) {
        case Int: return *static_cast<const std::int16_t*>(a.member) == *static_cast<const std::int16_t*>(b.member);
        case Text: return *static_cast<const SjisText*>(a.member) == *static_cast<const SjisText*>(b.member);
        case Ints1: return *static_cast<const SizedArray1<std::int16_t>*>(a.member) == *static_cast<const SizedArray1<std::int16_t>*>(b.member);
        case Texts1: return *static_cast<const SizedArray1<SjisText>*>(a.member) == *static_cast<const SizedArray1<SjisText>*>(b.member);
        case Ints2: return *static_cast<const SizedArray2<std::int16_t>*>(a.member) == *static_cast<const SizedArray2<std::int16_t>*>(b.member);
        case Texts2: return *static_cast<const SizedArray2<SjisText>*>(a.member) == *static_cast<const SizedArray2<SjisText>*>(b.member);
        }
        return false;
    }
    static bool empty(const Unit& a) {
        switch (a.kind) {
        case Int: return *static_cast<const std::int16_t*>(a.member) == 0;
        case Text: return static_cast<const SjisText*>(a.member)->empty();
        case Ints1: return *static_cast<const SizedArray1<std::int16_t>*>(a.member) == SizedArray1<std::int16_t>{};
        case Texts1: return *static_cast<const SizedArray1<SjisText>*>(a.member) == SizedArray1<SjisText>{};
        case Ints2: return *static_cast<const SizedArray2<std::int16_t>*>(a.member) == SizedArray2<std::int16_t>{};
        case Texts2: return *static_cast<const SizedArray2<SjisText>*>(a.member) == SizedArray2<SjisText>{};
        }
        return false;
    }
};

namespace {

bool sameRecord(const RoundCounter& a, const RoundCounter& b) { return a.CurrentRound == b.CurrentRound; }
template <class R> bool sameRecord(const R& a, const R& b) { return a == b; }

template <class R>
std::unique_ptr<R> randomRecord(unsigned seed, bool sparse) {
    Rng rng(seed);
    auto r = std::make_unique<R>();
    RandomFill fill{rng, sparse};
    r->visit(fill);
    return r;
}

template <class R>
void checkRoundTrip(unsigned seed) {
    const auto original = randomRecord<R>(seed, false);
    const std::string bytes = encodeRecord(*original);
    auto back = std::make_unique<R>();
    decodeRecord(bytes, *back);
    QVERIFY2(sameRecord(*original, *back), qPrintable(QString("seed %1").arg(seed)));
    // The reader stops where the record ends: bytes after it change nothing.
    auto withTail = std::make_unique<R>();
    decodeRecord(bytes + std::string(37, '\xEE'), *withTail);
    QVERIFY2(sameRecord(*original, *withTail), qPrintable(QString("seed %1 with tail").arg(seed)));
}

// A record cut after any number of bytes reads as what those bytes hold:
// every unit that ends within them as written, every later one empty.
template <class R>
void checkEveryCut(unsigned seed) {
    const auto original = randomRecord<R>(seed, true);
    const std::string bytes = encodeRecord(*original);
    const Units expected = Units::of(*original);
    QCOMPARE(expected.offset, bytes.size());   // the units account for every byte
    auto got = std::make_unique<R>();
    std::size_t whole = 0;   // units that end within the first `length` bytes
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        while (whole < expected.list.size() && expected.list[whole].end <= length) ++whole;
        if (length % 61 == 0) *got = *original;   // now and then: decoding must empty it first
        decodeRecord(std::string_view(bytes).substr(0, length), *got);
        // Every empty unit encodes as two zero bytes (an unsized array as d = 0),
        // so the reading must encode as the whole units followed by those.
        const std::size_t keptBytes = whole ? expected.list[whole - 1].end : 0;
        const std::string again = encodeRecord(*got);
        if (again.size() != keptBytes + 2 * (expected.list.size() - whole) ||
            again.compare(0, keptBytes, bytes, 0, keptBytes) != 0 ||
            again.find_first_not_of('\0', keptBytes) != std::string::npos)
            QFAIL(qPrintable(QString("seed %1: cut after %2 of %3 bytes: %4 whole members misread")
                                 .arg(seed).arg(length).arg(bytes.size()).arg(whole)));
    }
}

template <class R>
void checkGarbage(unsigned seed) {
    Rng rng(seed);
    const std::string valid = encodeRecord(*randomRecord<R>(seed, true));
    auto out = std::make_unique<R>();
    const int rounds = sizeof(R) > 10000 ? 40 : 200;   // the big records cost a hundred times more
    for (int round = 0; round < rounds; ++round) {
        std::string bytes;
        if (round % 2 == 0) {
            bytes = randomText(rng, 4000);
        } else {   // a valid record with a few bytes overwritten: lying counts deep inside
            bytes = valid;
            for (int k = randomInt(rng, 1, 6); k > 0 && !bytes.empty(); --k)
                bytes[std::size_t(randomInt(rng, 0, int(bytes.size()) - 1))] = char(randomInt(rng, 0, 255));
        }
        decodeRecord(bytes, *out);
        // Whatever is read was really there: every member read took its own
        // bytes, every other one reads as empty, so re-encoding needs no more
        // than the bytes given plus the empty record. A reader that sized an
        // array from a lying count would break this.
        QVERIFY(encodeRecord(*out).size() <= bytes.size() + encodeRecord(R{}).size());
    }
}

}  // namespace

class TestRecordCodec : public QObject {
    Q_OBJECT
private slots:
    void emptyRecordSizes_data();
    void emptyRecordSizes();
    void questionCountAddsItsBytes();
    void choiceBlockRunsQuestionFastest_data();
    void choiceBlockRunsQuestionFastest();
    void integersAreSignedLittleEndian();
    void resultsExampleByteForByte();
    void unsizedArrayIsTwoZeroBytes();
    void longStringIsCutOnCharacterBoundary_data();
    void longStringIsCutOnCharacterBoundary();
    void roundTripRandomRecords_data();
    void roundTripRandomRecords();
    void everyCutReadsAsThePrefix_data();
    void everyCutReadsAsThePrefix();
    void garbageReadsWithoutHarm_data();
    void garbageReadsWithoutHarm();
    void emptyBytesEmptyEverything();
    void untrustworthyDescriptors_data();
    void untrustworthyDescriptors();
    void twoDimensionalDescriptors_data();
    void twoDimensionalDescriptors();
    void largeRecordIsOnePass();
};

void TestRecordCodec::emptyRecordSizes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("expected");
    QTest::newRow("trv1 mail settings: six empty strings") << int(encodeRecord(MailSettings{}).size()) << 12;
    // Five integers, two strings, 32 empty strings, a string, the password
    // place, the two limits.
    QTest::newRow("trv1x transport settings") << int(encodeRecord(TransportSettings{}).size()) << 86;
    QTest::newRow("trv2 address book: 2000 strings + 1000 integers") << int(encodeRecord(AddressBook{}).size()) << 6000;
    QTest::newRow("trv3 counter: one integer") << int(encodeRecord(RoundCounter{}).size()) << 2;
    QTest::newRow("trv4/trv6 mail: 4 strings + 3 integers") << int(encodeRecord(InvitationMail{}).size()) << 14;
    QTest::newRow("trv5 question set") << int(encodeRecord(QuestionSet{}).size()) << 9604;
    // One integer and ten unsized arrays of two bytes each.
    QTest::newRow("trv7 results, nothing sized") << int(encodeRecord(ParticipantTable{}).size()) << 22;
}

void TestRecordCodec::emptyRecordSizes() {
    QFETCH(int, size);
    QFETCH(int, expected);
    QCOMPARE(size, expected);
}

void TestRecordCodec::questionCountAddsItsBytes() {
    auto set = std::make_unique<QuestionSet>();
    set->QuestionCount = "1";
    const std::string bytes = encodeRecord(*set);
    QCOMPARE(bytes.size(), std::size_t(9605));
    QCOMPARE(bytes.substr(0, 3), std::string("\x01\x00" "1", 3));
    // Everything after the count is the empty record shifted by one byte.
    QCOMPARE(bytes.substr(3), encodeRecord(QuestionSet{}).substr(2));
}

// Offsets in an otherwise empty question set: QuestionCount 2 bytes, then
// Subject, QuestionText, Separator 100 x 2 bytes each, so the first 100 x 10
// block starts at 602 and each block of empty elements is 2000 bytes long.
void TestRecordCodec::choiceBlockRunsQuestionFastest_data() {
    QTest::addColumn<int>("block");   // 0 ChoiceLabel, 1 ChoiceSeparator, 2 ChoiceText, 3 ChoiceCorrect
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("f");
    QTest::addColumn<int>("offset");
    // (q = 5, f = 2) is element 205 of its block: 204 elements of 2 bytes before it.
    QTest::newRow("label q5 f2") << 0 << 5 << 2 << 602 + 204 * 2;
    QTest::newRow("separator q5 f2") << 1 << 5 << 2 << 2602 + 204 * 2;
    QTest::newRow("text q5 f2") << 2 << 5 << 2 << 4602 + 204 * 2;
    QTest::newRow("correct q5 f2") << 3 << 5 << 2 << 6602 + 204 * 2;
    QTest::newRow("text q1 f0: first of block") << 2 << 1 << 0 << 4602;
    QTest::newRow("text q100 f0") << 2 << 100 << 0 << 4602 + 99 * 2;
    QTest::newRow("text q1 f1") << 2 << 1 << 1 << 4602 + 100 * 2;
    QTest::newRow("correct q100 f9: last of block") << 3 << 100 << 9 << 6602 + 999 * 2;
}

void TestRecordCodec::choiceBlockRunsQuestionFastest() {
    QFETCH(int, block);
    QFETCH(int, q);
    QFETCH(int, f);
    QFETCH(int, offset);
    auto set = std::make_unique<QuestionSet>();
    const std::size_t at = std::size_t(offset);
    std::string bytes = encodeRecord(QuestionSet{});
    if (block == 3) {
        set->ChoiceCorrect[q][f] = 0x1234;
        bytes[at] = '\x34';
        bytes[at + 1] = '\x12';
    } else {
        SjisText& slot = block == 0 ? set->ChoiceLabel[q][f] : block == 1 ? set->ChoiceSeparator[q][f] : set->ChoiceText[q][f];
        slot = "XY";
        bytes.replace(at, 2, str("XY"));
    }
    // Both ways: writing puts it at that offset, reading takes it from there.
    QCOMPARE(encodeRecord(*set), bytes);
    auto back = std::make_unique<QuestionSet>();
    decodeRecord(bytes, *back);
    QVERIFY(*back == *set);
}

void TestRecordCodec::integersAreSignedLittleEndian() {
    InvitationMail mail;
    mail.Round = -2;
    mail.ReplyMinutes = 0x1234;
    mail.ByteCount = INT16_MIN;
    mail.Greeting = sjis("お早うございます。");
    const std::string expected = str(sjis("お早うございます。")) + str("") + "\xFE\xFF" + "\x34\x12" + str("") +
                                 std::string("\x00\x80", 2) + str("");
    QCOMPARE(encodeRecord(mail), expected);
    InvitationMail back;
    decodeRecord(expected, back);
    QVERIFY(back == mail);
}

// Three addresses, two of them joined, four questions.
void TestRecordCodec::resultsExampleByteForByte() {
    const std::string maru = sjis("○"), batsu = sjis("×");
    QCOMPARE(maru, std::string("\x81\x9B"));
    QCOMPARE(batsu, std::string("\x81\x7E"));

    ParticipantTable t;
    t.ParticipantCount = 2;
    for (auto* a : {&t.着信順, &t.得点数, &t.順位, &t.正解数, &t.正解率}) a->size(0, 2);
    t.名前.size(0, 2);
    t.アドレス.size(0, 2);
    t.回答.size(0, 2, 1, 4);
    t.採点.size(0, 2, 1, 4);
    t.着信順[0] = 2; t.着信順[1] = 1;
    t.得点数[0] = 30; t.得点数[1] = 20;
    t.名前[0] = sjis("山田"); t.名前[1] = sjis("田中");
    t.アドレス[0] = "a@docomo.ne.jp"; t.アドレス[1] = "b@ezweb.ne.jp";
    t.正解数[0] = 3; t.正解数[1] = 2;
    t.正解率[0] = 75; t.正解率[1] = 50;
    const int answers[2][4] = {{1, 2, 3, 4}, {1, -1, 0, 2}};
    const char* marks[2][4] = {{"○", "○", "○", "×"}, {"○", "×", "", "×"}};
    for (int p = 0; p < 2; ++p)
        for (int q = 1; q <= 4; ++q) {
            t.回答.at(p, q) = std::int16_t(answers[p][q - 1]);
            t.採点.at(p, q) = sjis(marks[p][q - 1]);
        }

    const std::string oneDim = le16(1) + le32(3) + le32(0);   // d = 1, count C = 3, lower 0
    const std::string twoDim = le16(2) + le32(3) + le32(0) + le32(4) + le32(1);   // (C, 0) then (Q, 1)
    std::string expected = le16(2)
        + oneDim + le16(2) + le16(1) + le16(0)                                        // 着信順
        + oneDim + le16(30) + le16(20) + le16(0)                                      // 得点数
        + oneDim + le16(0) + le16(0) + le16(0)                                        // 順位
        + oneDim + str("\x8E\x52\x93\x63") + str("\x93\x63\x92\x86") + str("")        // 名前: 山田, 田中, row 2 empty
        + oneDim + str("a@docomo.ne.jp") + str("b@ezweb.ne.jp") + str("")             // アドレス
        + oneDim + le16(3) + le16(2) + le16(0)                                        // 正解数
        + oneDim + le16(75) + le16(50) + le16(0)                                      // 正解率
        // 回答, the participant index fastest: q = 1 for p = 0, 1, 2, then q = 2 ...
        + twoDim + le16(1) + le16(1) + le16(0) + le16(2) + le16(-1) + le16(0)
                 + le16(3) + le16(0) + le16(0) + le16(4) + le16(2) + le16(0)
        // 採点: ○ ○ "" | ○ × "" | ○ "" "" | × × ""
        + twoDim + str(maru) + str(maru) + str("") + str(maru) + str(batsu) + str("")
                 + str(maru) + str("") + str("") + str(batsu) + str(batsu) + str("")
        + le16(0);                                                                    // reserved: never sized
    QCOMPARE(encodeRecord(t), expected);

    ParticipantTable back;
    decodeRecord(expected, back);
    QVERIFY(back == t);
    QCOMPARE(back.回答.at(1, 2), std::int16_t(-1));
    QCOMPARE(back.採点.lower2, 1);
    QCOMPARE(back.採点.count2, 4);
    QVERIFY(!back.Reserved.sized());
}

void TestRecordCodec::unsizedArrayIsTwoZeroBytes() {
    ParticipantTable t;
    t.ParticipantCount = 7;
    t.得点数.size(5, 5);   // one element, lower bound 5
    t.得点数[5] = -1;
    const std::string expected = le16(7) + le16(0) + le16(1) + le32(1) + le32(5) + le16(-1) + std::string(16, '\0');
    QCOMPARE(encodeRecord(t), expected);
    ParticipantTable back;
    decodeRecord(expected, back);
    QVERIFY(back == t);
    QCOMPARE(back.得点数.lower, 5);
}

void TestRecordCodec::longStringIsCutOnCharacterBoundary_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("stored");
    const QByteArray a = QByteArray(65534, 'a'), aa = QByteArray(65533, 'a');
    QTest::newRow("65535 single bytes: kept whole") << QByteArray(65535, 'a') << 65535;
    QTest::newRow("65536 single bytes") << QByteArray(65536, 'a') << 65535;
    QTest::newRow("two-byte character across the limit") << a + "\x82\xA0" << 65534;
    QTest::newRow("two-byte character ending at the limit") << aa + "\x82\xA0" + "b" << 65535;
    QTest::newRow("only two-byte characters, odd limit") << QByteArray("\x88\x9F").repeated(40000) << 65534;
    QTest::newRow("trail byte 0x5C is no separate character") << QByteArray("\x83\x5C").repeated(33000) << 65534;
}

void TestRecordCodec::longStringIsCutOnCharacterBoundary() {
    QFETCH(QByteArray, text);
    QFETCH(int, stored);
    MailSettings m;
    m.Pop3Server = text.toStdString();
    m.SenderName = "z";
    const std::string bytes = encodeRecord(m);
    QCOMPARE(int(u16At(bytes, 0)), stored);
    MailSettings back;
    decodeRecord(bytes, back);
    QCOMPARE(back.Pop3Server, m.Pop3Server.substr(0, std::size_t(stored)));
    QCOMPARE(back.SenderName, std::string("z"));   // the members after it stay in step
}

void TestRecordCodec::roundTripRandomRecords_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<unsigned>("seed");
    const char* names[] = {"trv1", "trv2", "trv3", "trv4", "trv5", "trv7"};
    for (int type = 0; type < 6; ++type)
        for (unsigned seed : {1u, 2u, 3u, 42u, 4711u})
            QTest::addRow("%s seed %u", names[type], seed) << type << seed;
}

void TestRecordCodec::roundTripRandomRecords() {
    QFETCH(int, type);
    QFETCH(unsigned, seed);
    switch (type) {
    case 0: checkRoundTrip<MailSettings>(seed); break;
    case 1: checkRoundTrip<AddressBook>(seed); break;
    case 2: checkRoundTrip<RoundCounter>(seed); break;
    case 3: checkRoundTrip<InvitationMail>(seed); break;
    case 4: checkRoundTrip<QuestionSet>(seed); break;
    case 5: checkRoundTrip<ParticipantTable>(seed); break;
    }
}

void TestRecordCodec::everyCutReadsAsThePrefix_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<unsigned>("seed");
    const char* names[] = {"trv1", "trv2", "trv3", "trv4", "trv5", "trv7"};
    for (int type = 0; type < 6; ++type) {
        const bool big = type == 1 || type == 4;   // thousands of members: one record is enough
        for (unsigned seed : {1u, 2u, 3u, 42u, 4711u}) {
            QTest::addRow("%s seed %u", names[type], seed) << type << seed;
            if (big) break;
        }
    }
}

void TestRecordCodec::everyCutReadsAsThePrefix() {
    QFETCH(int, type);
    QFETCH(unsigned, seed);
    switch (type) {
    case 0: checkEveryCut<MailSettings>(seed); break;
    case 1: checkEveryCut<AddressBook>(seed); break;
    case 2: checkEveryCut<RoundCounter>(seed); break;
    case 3: checkEveryCut<InvitationMail>(seed); break;
    case 4: checkEveryCut<QuestionSet>(seed); break;
    case 5: checkEveryCut<ParticipantTable>(seed); break;
    }
}

void TestRecordCodec::garbageReadsWithoutHarm_data() { roundTripRandomRecords_data(); }

void TestRecordCodec::garbageReadsWithoutHarm() {
    QFETCH(int, type);
    QFETCH(unsigned, seed);
    switch (type) {
    case 0: checkGarbage<MailSettings>(seed); break;
    case 1: checkGarbage<AddressBook>(seed); break;
    case 2: checkGarbage<RoundCounter>(seed); break;
    case 3: checkGarbage<InvitationMail>(seed); break;
    case 4: checkGarbage<QuestionSet>(seed); break;
    case 5: checkGarbage<ParticipantTable>(seed); break;
    }
}

// Reading empties the whole record first: a file of no bytes leaves nothing
// of what the record held before, not even the unused question slot 0.
void TestRecordCodec::emptyBytesEmptyEverything() {
    auto set = randomRecord<QuestionSet>(7, false);
    set->Subject[0] = "slot 0";
    set->ChoiceText[0][3] = "slot 0";
    set->Points[0] = 5;
    decodeRecord("", *set);
    QVERIFY(*set == QuestionSet{});
    auto table = randomRecord<ParticipantTable>(7, false);
    decodeRecord("", *table);
    QVERIFY(*table == ParticipantTable{});
    auto book = randomRecord<AddressBook>(7, false);
    decodeRecord(std::string(1, '\0'), *book);
    QVERIFY(*book == AddressBook{});
    auto mail = randomRecord<InvitationMail>(7, false);
    decodeRecord("", *mail);
    QVERIFY(*mail == InvitationMail{});
}

// Results files whose first array (着信順) has a descriptor that cannot be
// right. The count before it must survive; the array and everything after it
// must read as empty, with nothing allocated for the claimed size.
void TestRecordCodec::untrustworthyDescriptors_data() {
    QTest::addColumn<QByteArray>("afterCount");
    QTest::addColumn<bool>("restRead");   // true: the descriptor is sound and reading goes on
    auto b = [](const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); };
    const std::string tail = le16(1) + le32(1) + le32(0) + le16(99) + std::string(16, '\0');   // 得点数 = {99}, rest unsized
    QTest::newRow("count 2^31-1") << b(le16(1) + le32(INT32_MAX) + le32(0) + tail) << false;
    QTest::newRow("negative count") << b(le16(1) + le32(-1) + le32(0) + tail) << false;
    QTest::newRow("three dimensions") << b(le16(3) + le32(1) + le32(0) + le32(1) + le32(0) + le32(1) + le32(0) + tail) << false;
    QTest::newRow("two dimensions for a one-dimensional array") << b(le16(2) + le32(1) + le32(0) + le32(1) + le32(0) + le16(5) + tail) << false;
    QTest::newRow("d = 0xFFFF") << b(le16(-1) + tail) << false;
    QTest::newRow("upper bound past 2^31") << b(le16(1) + le32(2) + le32(INT32_MAX) + le16(1) + le16(2) + tail) << false;
    QTest::newRow("more elements than bytes left") << b(le16(1) + le32(20) + le32(0) + le16(1)) << false;
    QTest::newRow("descriptor cut short") << b(le16(1) + le32(3)) << false;
    QTest::newRow("never sized") << b(le16(0) + tail) << true;
    QTest::newRow("sized to no element") << b(le16(1) + le32(0) + le32(0) + tail) << true;
}

void TestRecordCodec::untrustworthyDescriptors() {
    QFETCH(QByteArray, afterCount);
    QFETCH(bool, restRead);
    const std::string bytes = le16(4) + afterCount.toStdString();
    ParticipantTable t;
    t.得点数.size(0, 3);   // must be emptied by the read, not kept
    decodeRecord(bytes, t);
    QCOMPARE(t.ParticipantCount, std::int16_t(4));
    QVERIFY(!t.着信順.sized());
    if (restRead) {
        QCOMPARE(t.得点数.count(), 1);
        QCOMPARE(t.得点数[0], std::int16_t(99));
    } else {
        QVERIFY(!t.得点数.sized());
    }
    QVERIFY(!t.回答.sized() && !t.採点.sized() && !t.名前.sized());
}

// The same for 回答, the first two-dimensional array: seven unsized arrays
// before it, 採点 (one element "ok") and the reserved array after it.
void TestRecordCodec::twoDimensionalDescriptors_data() {
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<bool>("restRead");
    auto b = [](const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); };
    QTest::newRow("65536 x 65536") << b(le16(2) + le32(65536) + le32(0) + le32(65536) + le32(1)) << false;
    QTest::newRow("2^31-1 x 2") << b(le16(2) + le32(INT32_MAX) + le32(0) + le32(2) + le32(1)) << false;
    QTest::newRow("negative second count") << b(le16(2) + le32(3) + le32(0) + le32(-4) + le32(1)) << false;
    QTest::newRow("second upper bound past 2^31") << b(le16(2) + le32(1) + le32(0) + le32(2) + le32(INT32_MAX) + le16(7) + le16(7)) << false;
    QTest::newRow("one dimension for a two-dimensional array") << b(le16(1) + le32(1) + le32(0) + le16(7)) << false;
    QTest::newRow("no questions: sized to nothing") << b(le16(2) + le32(3) + le32(0) + le32(0) + le32(1)) << true;
    QTest::newRow("never sized") << b(le16(0)) << true;
}

void TestRecordCodec::twoDimensionalDescriptors() {
    QFETCH(QByteArray, descriptor);
    QFETCH(bool, restRead);
    const std::string after = le16(2) + le32(1) + le32(0) + le32(1) + le32(1) + str("ok") + le16(0);
    const std::string bytes = le16(3) + std::string(14, '\0') + descriptor.toStdString() + after;
    ParticipantTable t;
    decodeRecord(bytes, t);
    QCOMPARE(t.ParticipantCount, std::int16_t(3));
    QVERIFY(!t.回答.sized());
    QCOMPARE(t.回答.items.size(), std::size_t(0));
    if (restRead) {
        QVERIFY(t.採点.has(0, 1));
        QCOMPARE(t.採点.at(0, 1), std::string("ok"));
    } else {
        QVERIFY(!t.採点.sized());
    }
}

void TestRecordCodec::largeRecordIsOnePass() {
    // A 2-D string array of several megabytes, and a string array whose elements
    // run past the end only at the very last one.
    ParticipantTable t;
    t.ParticipantCount = 1000;
    t.採点.size(0, 999, 1, 100);
    for (std::size_t i = 0; i < t.採点.items.size(); ++i) t.採点.items[i] = std::string(30, char('A' + i % 26));
    const std::string bytes = encodeRecord(t);
    QVERIFY(bytes.size() > 3'000'000);

    QElapsedTimer timer;
    timer.start();
    ParticipantTable back;
    decodeRecord(bytes, back);
    QVERIFY(back == t);
    ParticipantTable cut;
    decodeRecord(std::string_view(bytes).substr(0, bytes.size() - 3), cut);   // last element cut
    QVERIFY(!cut.採点.sized());
    QCOMPARE(cut.ParticipantCount, std::int16_t(1000));
    // Linear work on 3 MB takes milliseconds; anything quadratic takes minutes.
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString("%1 ms").arg(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestRecordCodec)
#include "tst_record_codec.moc"
