// Editing rules of a question set and the taking of a stored set into the
// working copy of the question editor and the quiz-end window.
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <numeric>

#include "model/QuestionRules.h"
#include "model/RecordFiles.h"
#include "platform/qt/LocalDataFiles.h"

namespace {

std::unique_ptr<QuestionSet> workingWithMarkers() {
    auto w = std::make_unique<QuestionSet>();
    w->QuestionCount = "1";
    w->TotalPoints = 100;
    for (int q = 1; q <= kQuestionSlots; ++q) {
        w->Subject[q] = "default subject";
        w->Separator[q] = ":";
        w->ReplyMinutes[q] = 5;
        w->Points[q] = 7;
        w->Reserved[q] = 3;   // never taken: must survive any read
        for (int f = 0; f < kChoiceSlots; ++f) w->ChoiceLabel[q][f] = std::to_string(f + 1);
    }
    return w;
}

// A stored set with three questions; question 2 was stored without a subject.
std::unique_ptr<QuestionSet> storedThreeQuestions() {
    auto b = std::make_unique<QuestionSet>();
    b->QuestionCount = "3";
    b->TotalPoints = 90;
    for (int q : {1, 2, 3}) {
        b->Subject[q] = q == 2 ? "" : "stored subject " + std::to_string(q);
        b->QuestionText[q] = "text " + std::to_string(q);
        b->Separator[q] = "-";
        b->CorrectChoice[q] = std::int16_t(q);
        b->ReplyMinutes[q] = std::int16_t(10 + q);
        b->QuestionMail[q] = "mail " + std::to_string(q);
        b->Points[q] = 30;
        b->Reserved[q] = 99;
        for (int f = 0; f < kChoiceSlots; ++f) {
            b->ChoiceLabel[q][f] = "L" + std::to_string(f);
            b->ChoiceSeparator[q][f] = ")";
            b->ChoiceText[q][f] = "choice " + std::to_string(q) + "/" + std::to_string(f);
            b->ChoiceCorrect[q][f] = f == q - 1 ? 1 : 0;
        }
    }
    return b;
}

bool questionEquals(const QuestionSet& a, const QuestionSet& b, int q) {
    return a.Subject[q] == b.Subject[q] && a.QuestionText[q] == b.QuestionText[q] && a.Separator[q] == b.Separator[q] &&
           a.CorrectChoice[q] == b.CorrectChoice[q] && a.ChoiceLabel[q] == b.ChoiceLabel[q] &&
           a.ChoiceSeparator[q] == b.ChoiceSeparator[q] && a.ChoiceText[q] == b.ChoiceText[q] &&
           a.ChoiceCorrect[q] == b.ChoiceCorrect[q] && a.ReplyMinutes[q] == b.ReplyMinutes[q] &&
           a.QuestionMail[q] == b.QuestionMail[q] && a.Points[q] == b.Points[q];
}

}  // namespace

class TestQuestionRules : public QObject {
    Q_OBJECT
private slots:
    void distributePoints_data();
    void distributePoints();
    void distributePointsOutOfRangeDoesNothing();
    void markCorrect_data();
    void markCorrect();
    void takingSkipsQuestionsWithoutSubject();
    void takingNothingWithoutQuestionCount();
    void takingNeedsAStoredSubject();
    void takingAnEmptySeparator_data();
    void takingAnEmptySeparator();
    void readingTheFileTakes();
};

void TestQuestionRules::distributePoints_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("points");
    QTest::newRow("100 over 3") << 3 << 100 << QList<int>{33, 33, 34};
    QTest::newRow("1000 over 3") << 3 << 1000 << QList<int>{333, 333, 334};
    QTest::newRow("100 over 7") << 7 << 100 << QList<int>{14, 14, 14, 14, 14, 14, 16};
    QTest::newRow("100 over 1") << 1 << 100 << QList<int>{100};
    QTest::newRow("100 over 4: even") << 4 << 100 << QList<int>{25, 25, 25, 25};
    QTest::newRow("5 over 10: the last takes all") << 10 << 5 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
    QList<int> hundred(100, 1);
    hundred[99] = 1 + 99;   // 199 over 100: 99 ones, then 100
    QTest::newRow("199 over 100") << 100 << 199 << hundred;
    QTest::newRow("0 over 2") << 2 << 0 << QList<int>{0, 0};
}

void TestQuestionRules::distributePoints() {
    QFETCH(int, n);
    QFETCH(int, total);
    QFETCH(QList<int>, points);
    auto set = workingWithMarkers();
    DistributePoints(*set, n, std::int16_t(total));
    QList<int> got;
    for (int q = 1; q <= n; ++q) got << set->Points[q];
    QCOMPARE(got, points);
    QCOMPARE(std::accumulate(got.begin(), got.end(), 0), total);
    for (int q = n + 1; q <= kQuestionSlots; ++q)   // later questions keep their points
        QCOMPARE(set->Points[q], std::int16_t(7));
}

void TestQuestionRules::distributePointsOutOfRangeDoesNothing() {
    for (int n : {0, -1, 101}) {
        auto set = workingWithMarkers();
        const auto before = *set;
        DistributePoints(*set, n, 100);
        QVERIFY2(*set == before, qPrintable(QString("n = %1").arg(n)));
    }
}

void TestQuestionRules::markCorrect_data() {
    QTest::addColumn<int>("q");
    QTest::addColumn<int>("f");
    QTest::newRow("q1 f0") << 1 << 0;
    QTest::newRow("q4 f7: the number is the position, not the label") << 4 << 7;
    QTest::newRow("q100 f9") << 100 << 9;
}

void TestQuestionRules::markCorrect() {
    QFETCH(int, q);
    QFETCH(int, f);
    auto set = workingWithMarkers();
    set->ChoiceLabel[q][f] = "A";
    MarkCorrect(*set, q, 3 == f ? 4 : 3);   // an earlier mark that must move
    MarkCorrect(*set, q, f);
    QCOMPARE(set->CorrectChoice[q], std::int16_t(f + 1));
    for (int g = 0; g < kChoiceSlots; ++g) QCOMPARE(set->ChoiceCorrect[q][g], std::int16_t(g == f ? 1 : 0));
    // Other questions are untouched.
    const int other = q == 1 ? 2 : 1;
    QCOMPARE(set->CorrectChoice[other], std::int16_t(0));

    const auto before = *set;
    MarkCorrect(*set, 0, 1);
    MarkCorrect(*set, 101, 1);
    MarkCorrect(*set, q, 10);
    MarkCorrect(*set, q, -1);
    QVERIFY(*set == before);
}

void TestQuestionRules::takingSkipsQuestionsWithoutSubject() {
    auto working = workingWithMarkers();
    const auto defaults = *working;
    const auto stored = storedThreeQuestions();
    takeQuestionSet(*stored, *working);
    QCOMPARE(working->QuestionCount, std::string("3"));
    QCOMPARE(working->TotalPoints, std::int16_t(90));
    QVERIFY(questionEquals(*working, *stored, 1));
    QVERIFY(questionEquals(*working, *stored, 3));
    QVERIFY(questionEquals(*working, defaults, 2));   // stored without subject: working values stay
    QVERIFY(questionEquals(*working, defaults, 4));
    QCOMPARE(working->Reserved[1], std::int16_t(3));   // never taken
}

void TestQuestionRules::takingNothingWithoutQuestionCount() {
    auto working = workingWithMarkers();
    const auto before = *working;
    auto stored = storedThreeQuestions();
    stored->QuestionCount.clear();
    takeQuestionSet(*stored, *working);
    QVERIFY(*working == before);
    takeQuestionSet(QuestionSet{}, *working);   // an empty file
    QVERIFY(*working == before);
}

void TestQuestionRules::takingNeedsAStoredSubject() {
    // A count with no subject at all takes only the full score.
    auto working = workingWithMarkers();
    const auto before = *working;
    auto stored = std::make_unique<QuestionSet>();
    stored->QuestionCount = "5";
    stored->TotalPoints = 50;
    stored->QuestionText[1] = "no subject";
    takeQuestionSet(*stored, *working);
    QCOMPARE(working->TotalPoints, std::int16_t(50));
    QCOMPARE(working->QuestionCount, std::string("1"));
    QVERIFY(questionEquals(*working, before, 1));
}

// A question's separator, stored empty, with its choices: each choice
// "number|separator|text", "" for a slot never used.
void TestQuestionRules::takingAnEmptySeparator_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QString>("taken");
    QTest::newRow("choices in use agree: theirs") << "" << QStringList{"1|:|a", "2|:|b", "", ""} << ":";
    QTest::newRow("a slot in use without a number") << "" << QStringList{"1|)|a", "|)|b"} << ")";
    QTest::newRow("choices differ: stays empty") << "" << QStringList{"1|:|a", "2|.|b"} << "";
    QTest::newRow("one choice without: stays empty") << "" << QStringList{"1|:|a", "2||b"} << "";
    QTest::newRow("all empty, as the editor leaves them") << "" << QStringList{"1||a", "2||b", "3||"} << "";
    QTest::newRow("no choice in use") << "" << QStringList{"", ""} << "";
    QTest::newRow("a stored separator is kept") << "-" << QStringList{"1|:|a", "2|:|b"} << "-";
}

void TestQuestionRules::takingAnEmptySeparator() {
    QFETCH(QString, stored);
    QFETCH(QStringList, choices);
    QFETCH(QString, taken);
    auto buffer = std::make_unique<QuestionSet>();
    buffer->QuestionCount = "1";
    buffer->Subject[1] = "subject";
    buffer->Separator[1] = stored.toStdString();
    for (int f = 0; f < choices.size(); ++f) {
        const QStringList parts = choices[f].split('|');
        if (parts.size() != 3) continue;
        buffer->ChoiceLabel[1][std::size_t(f)] = parts[0].toStdString();
        buffer->ChoiceSeparator[1][std::size_t(f)] = parts[1].toStdString();
        buffer->ChoiceText[1][std::size_t(f)] = parts[2].toStdString();
    }
    auto working = workingWithMarkers();
    takeQuestionSet(*buffer, *working);
    QCOMPARE(QString::fromStdString(working->Separator[1]), taken);
    // The choices themselves are taken as stored.
    QVERIFY(working->ChoiceSeparator[1] == buffer->ChoiceSeparator[1]);
}

void TestQuestionRules::readingTheFileTakes() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    LocalDataFiles files(dir.path());
    QVERIFY(writeQuestionFile(files, "2", *storedThreeQuestions()));
    QVERIFY(QFile::exists(dir.filePath("trv52.dat")));

    auto working = workingWithMarkers();
    QVERIFY(readQuestionFileInto(files, "2", *working));
    QCOMPARE(working->QuestionCount, std::string("3"));
    QCOMPARE(working->Subject[2], std::string("default subject"));
    QCOMPARE(working->ChoiceText[3][9], std::string("choice 3/9"));

    // A round never saved: its file is created empty and nothing is taken.
    auto fresh = workingWithMarkers();
    const auto before = *fresh;
    QVERIFY(readQuestionFileInto(files, "7", *fresh));
    QVERIFY(*fresh == before);
    QVERIFY(QFile::exists(dir.filePath("trv57.dat")));
    QVERIFY(!readQuestionFileInto(files, "../7", *fresh));
    QVERIFY(*fresh == before);
}

QTEST_GUILESS_MAIN(TestQuestionRules)
#include "tst_question_rules.moc"
