// The ranking sort: the gap sequence procedure gives the same order as a
// correct sort wherever the keys differ, and its own order among equals.
#include <QtTest>

#include <algorithm>
#include <random>

#include "model/PersonClass.h"
#include "run/ShellSort.h"

namespace {

PersonClass person(int points, int arrival, const char* id) {
    PersonClass p;
    p.得点数 = std::int16_t(points);
    p.着信順 = std::int16_t(arrival);
    p.名前 = id;
    return p;
}

QString ids(const std::vector<PersonClass>& v) {
    QStringList out;
    for (const PersonClass& p : v) out << QString::fromStdString(p.名前);
    return out.join(',');
}

}  // namespace

class TestShellSort : public QObject {
    Q_OBJECT
private slots:
    void agreesWithStableSortWhereKeysDiffer_data();
    void agreesWithStableSortWhereKeysDiffer();
    void equalKeysFollowTheGapProcedure_data();
    void equalKeysFollowTheGapProcedure();
};

void TestShellSort::agreesWithStableSortWhereKeysDiffer_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("pointValues");
    QTest::addColumn<int>("arrivalValues");
    QTest::addColumn<unsigned>("seed");
    // Few distinct keys force many ties; many distinct keys few.
    for (int n : {0, 1, 2, 3, 4, 5, 6, 13, 14, 40, 41, 121, 500}) {
        QTest::addRow("n=%d many ties", n) << n << 3 << 3 << unsigned(n * 7 + 1);
        QTest::addRow("n=%d few ties", n) << n << 200 << 2000 << unsigned(n * 13 + 5);
    }
}

void TestShellSort::agreesWithStableSortWhereKeysDiffer() {
    QFETCH(int, size);
    QFETCH(int, pointValues);
    QFETCH(int, arrivalValues);
    QFETCH(unsigned, seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 20; ++round) {
        std::vector<PersonClass> v;
        for (int i = 0; i < size; ++i) {
            PersonClass p = person(int(rng() % unsigned(pointValues)) * 10, int(rng() % unsigned(arrivalValues)), "");
            p.名前 = std::to_string(i);
            v.push_back(p);
        }
        std::vector<PersonClass> expected = v;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const PersonClass& a, const PersonClass& b) { return a.compareTo(b) < 0; });
        std::vector<PersonClass> actual = v;
        ShellSort(actual);

        QCOMPARE(actual.size(), expected.size());
        // Same key at every position: strict agreement wherever keys differ.
        for (std::size_t i = 0; i < actual.size(); ++i) {
            QCOMPARE(actual[i].得点数, expected[i].得点数);
            QCOMPARE(actual[i].着信順, expected[i].着信順);
        }
        // And nobody lost or doubled.
        std::vector<std::string> a, e;
        for (const PersonClass& p : actual) a.push_back(p.名前);
        for (const PersonClass& p : expected) e.push_back(p.名前);
        std::sort(a.begin(), a.end());
        std::sort(e.begin(), e.end());
        QCOMPARE(a, e);
    }
}

void TestShellSort::equalKeysFollowTheGapProcedure_data() {
    QTest::addColumn<QString>("input");    // points:id,...
    QTest::addColumn<QString>("expected");
    // Below five elements only the gap 1 runs: an insertion sort, stable.
    QTest::newRow("four ties stay") << "1a,1b,1c,1d" << "a,b,c,d";
    QTest::newRow("three, best last") << "1a,1b,2c" << "c,a,b";
    // With five, the gap 4 swaps the first and the last: "a" ends up behind
    // its equals, as the round's ranking has always shown it.
    QTest::newRow("five, best last") << "1a,1b,1c,1d,2e" << "e,b,c,d,a";
    QTest::newRow("five ties stay") << "0a,0b,0c,0d,0e" << "a,b,c,d,e";
    QTest::newRow("reverse") << "1a,2b,3c,4d,5e,6f" << "f,e,d,c,b,a";
}

void TestShellSort::equalKeysFollowTheGapProcedure() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    std::vector<PersonClass> v;
    std::vector<std::string> names;
    for (const QString& item : input.split(',')) names.push_back(item.mid(1).toStdString());
    const QStringList items = input.split(',');
    for (int i = 0; i < items.size(); ++i) v.push_back(person(items[i].left(1).toInt(), 0, names[std::size_t(i)].c_str()));
    ShellSort(v);
    QCOMPARE(ids(v), expected);
}

QTEST_GUILESS_MAIN(TestShellSort)
#include "tst_shellsort.moc"
