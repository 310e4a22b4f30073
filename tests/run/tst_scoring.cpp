// Reply acceptance, answer scoring, missing answers, ranking and the
// completion of each participant's mail, played through small rounds.
#include <QtTest>


#include "support/SjisLiterals.h"
#include "model/Module1.h"
#include "run/AnswerMarker.h"
#include "run/Scoring.h"

namespace {

// A round with invitees A, B, C, … (address "a@docomo.ne.jp" …) and Q
// questions with the given points and correct choices.
struct Round {
    Platform platform;
    Module1 m{platform};

    Round(int invitees, const QList<int>& points, const QList<int>& correct) {
        QuizRun& run = m.quizRun;
        for (int i = 0; i < invitees; ++i) {
            run.ListNames[i] = std::string(1, char('A' + i));
            run.ListAddresses[i] = address(i);
        }
        run.AddressLastIndex = std::int16_t(invitees - 1);
        const int Q = int(points.size());
        m.questionSet.QuestionCount = std::to_string(Q);
        int total = 0;
        for (int q = 1; q <= Q; ++q) {
            m.questionSet.Points[q] = std::int16_t(points[q - 1]);
            m.questionSet.CorrectChoice[q] = std::int16_t(correct[q - 1]);
            total += points[q - 1];
        }
        m.questionSet.TotalPoints = std::int16_t(total);
        sizeParticipantTable(m, invitees, Q);
    }
    static SjisText address(int i) { return std::string(1, char('a' + i)) + "@docomo.ne.jp"; }
    static SjisText address(char who) { return address(who - 'A'); }

    // The invitation fetch: replies in server order, then the question tables.
    void join(const QString& who) {
        m.quizRun.ArrivalCounter = 0;
        for (QChar c : who) AcceptReply(m, address(char(c.unicode())));
        sizeAnswerTables(m, m.quizRun.ParticipantCount(), std::stoi(m.questionSet.QuestionCount));
    }
    // One question: replies "X=body" in server order, missing answers, ranking.
    void play(int q, const QStringList& replies) {
        m.quizRun.CurrentQuestion = std::int16_t(q);
        m.quizRun.ArrivalCounter = 0;
        for (const QString& r : replies) ScoreAnswer(m, address(char(r.at(0).unicode())), sj(r.mid(2)));
        MarkMissingAnswers(m, q);
        Rank(m);
    }
    int row(char who) const {
        const ParticipantTable& t = m.quizRun.participants;
        for (int p = 0; p < t.ParticipantCount; ++p)
            if (t.アドレス[p] == address(who)) return p;
        return -1;
    }
    QString ranking() const {
        QString out;
        for (const PersonClass& p : m.quizRun.Ranking) out += QString::fromStdString(p.名前);
        return out;
    }
    // Marks of one participant for questions 1..q as "○×-" (- for empty).
    QString marks(char who, int upTo) const {
        QString out;
        for (int q = 1; q <= upTo; ++q) {
            const SjisText& s = m.quizRun.participants.採点.at(row(who), q);
            out += s.empty() ? QStringLiteral("-") : un(s);
        }
        return out;
    }
};

}  // namespace

class TestScoring : public QObject {
    Q_OBJECT
private slots:
    void acceptance_data();
    void acceptance();
    void rounds_data();
    void rounds();
    void answerReading_data();
    void answerReading();
    void arrivalPositions();
    void missingAnswers();
    void percentages_data();
    void percentages();
    void completeMail_data();
    void completeMail();
    void sizing();
    void markersOnlyOnCharacterBoundaries();
    void fullWidthDigitsWhereAllowed();
};

void TestScoring::acceptance_data() {
    QTest::addColumn<QStringList>("listAddresses");   // the address list of the round
    QTest::addColumn<QStringList>("senders");         // replies in server order
    QTest::addColumn<QList<int>>("entries");          // the list entry of each resulting row
    QTest::addColumn<QString>("joined");              // ListJoined per entry

    QTest::newRow("in reply order") << QStringList{"a@x", "b@x", "c@x"} << QStringList{"c@x", "a@x"}
                                    << QList<int>{2, 0} << "101";
    QTest::newRow("second reply ignored") << QStringList{"a@x", "b@x"} << QStringList{"b@x", "b@x"}
                                          << QList<int>{1} << "01";
    QTest::newRow("unknown sender") << QStringList{"a@x"} << QStringList{"z@x"} << QList<int>{} << "0";
    QTest::newRow("case counts") << QStringList{"a@x"} << QStringList{"A@x"} << QList<int>{} << "0";
    QTest::newRow("but not in the domain") << QStringList{"a@docomo.ne.jp"} << QStringList{"a@DoCoMo.NE.JP"}
                                          << QList<int>{0} << "1";
    QTest::newRow("listed twice joins twice") << QStringList{"a@x", "b@x", "a@x"} << QStringList{"a@x"}
                                              << QList<int>{0, 2} << "101";
    QTest::newRow("empty sender matches nobody") << QStringList{"a@x"} << QStringList{""} << QList<int>{} << "0";
}

void TestScoring::acceptance() {
    QFETCH(QStringList, listAddresses);
    QFETCH(QStringList, senders);
    QFETCH(QList<int>, entries);
    QFETCH(QString, joined);
    Platform platform;
    Module1 m(platform);
    QuizRun& run = m.quizRun;
    for (int i = 0; i < listAddresses.size(); ++i) {
        run.ListAddresses[i] = listAddresses[i].toStdString();
        run.ListNames[i] = "name" + std::to_string(i);
    }
    run.AddressLastIndex = std::int16_t(listAddresses.size() - 1);
    sizeParticipantTable(m, int(listAddresses.size()), 3);
    run.ArrivalCounter = 0;
    for (const QString& s : senders) AcceptReply(m, s.toStdString());

    QCOMPARE(int(run.ParticipantCount()), int(entries.size()));
    QCOMPARE(int(run.ParticipantLastIndex), int(entries.size()) - 1);
    QCOMPARE(int(run.ArrivalCounter), int(entries.size()));
    for (int p = 0; p < entries.size(); ++p) {
        QCOMPARE(run.participants.アドレス[p], run.ListAddresses[entries[p]]);
        QCOMPARE(run.participants.名前[p], run.ListNames[entries[p]]);
    }
    QString flags;
    for (int i = 0; i < listAddresses.size(); ++i) flags += QString::number(run.ListJoined[i]);
    QCOMPARE(flags, joined);
}

void TestScoring::rounds_data() {
    QTest::addColumn<QList<int>>("points");
    QTest::addColumn<QList<int>>("correct");
    QTest::addColumn<QString>("joined");            // who joined, in reply order
    QTest::addColumn<QList<QStringList>>("replies");   // per question, "X=body" in server order
    QTest::addColumn<QString>("ranking");           // names in rank order after the last question
    QTest::addColumn<QList<int>>("scores");         // 得点数 in ranking order
    QTest::addColumn<QList<int>>("percents");       // 正解率 in ranking order
    QTest::addColumn<QStringList>("marks");         // 採点 per participant in ranking order

    QTest::newRow("10/20/30: all right against 1 and 3 right")
        << QList<int>{10, 20, 30} << QList<int>{1, 2, 3} << "XY"
        << QList<QStringList>{{"X=答:1", "Y=答:1"}, {"Y=答:4", "X=答:2"}, {"X=答:3", "Y=答:3"}}
        << "XY" << QList<int>{60, 40} << QList<int>{100, 67} << QStringList{"○○○", "○×○"};

    QTest::newRow("equal points: the earlier latest right answer first")
        << QList<int>{10} << QList<int>{2} << "AB"
        << QList<QStringList>{{"B=答:2", "A=答:2"}}
        << "BA" << QList<int>{10, 10} << QList<int>{100, 100} << QStringList{"○", "○"};

    QTest::newRow("equal points: a wrong latest answer goes behind a right one")
        << QList<int>{10, 10} << QList<int>{1, 1} << "AB"
        << QList<QStringList>{{"A=答:1", "B=答:5"}, {"A=答:7", "B=答:1"}}
        << "BA" << QList<int>{10, 10} << QList<int>{50, 50} << QStringList{"×○", "○×"};

    QTest::newRow("never answered ranks first at equal points")
        << QList<int>{10} << QList<int>{1} << "ABC"
        << QList<QStringList>{{"A=答:9", "C=no marker here"}}
        << "BCA" << QList<int>{0, 0, 0} << QList<int>{0, 0, 0} << QStringList{"×", "-", "×"};

    QTest::newRow("one participant") << QList<int>{5, 5} << QList<int>{3, 4} << "C"
                                     << QList<QStringList>{{"C=答:3"}, {}} << "C" << QList<int>{5}
                                     << QList<int>{50} << QStringList{"○×"};

    QTest::newRow("second reply ignored even after one without a marker")
        << QList<int>{10} << QList<int>{1} << "A"
        << QList<QStringList>{{"A=hello", "A=答:1"}} << "A" << QList<int>{0} << QList<int>{0} << QStringList{"-"};

    QTest::newRow("second reply ignored after a wrong answer")
        << QList<int>{10} << QList<int>{1} << "A"
        << QList<QStringList>{{"A=答:2", "A=答:1"}} << "A" << QList<int>{0} << QList<int>{0} << QStringList{"×"};

    QTest::newRow("full-width digit is unreadable")
        << QList<int>{10} << QList<int>{3} << "AB"
        << QList<QStringList>{{"A=答:３", "B=答:3"}} << "BA" << QList<int>{10, 0} << QList<int>{100, 0}
        << QStringList{"○", "×"};

    QTest::newRow("correct choice 0 counts the answer 0")
        << QList<int>{10} << QList<int>{0} << "A" << QList<QStringList>{{"A=答:0"}} << "A" << QList<int>{10}
        << QList<int>{100} << QStringList{"○"};

    QTest::newRow("correct choice above 9 is never reached")
        << QList<int>{10} << QList<int>{10} << "AB" << QList<QStringList>{{"A=答:1", "B=答:10"}} << "AB"
        << QList<int>{0, 0} << QList<int>{0, 0} << QStringList{"×", "×"};

    QTest::newRow("quoted question mail: the digit after the second marker")
        << QList<int>{10} << QList<int>{2} << "A"
        << QList<QStringList>{{"A='答:'に番号を入力して返信\r\n答:2"}} << "A" << QList<int>{10}
        << QList<int>{100} << QStringList{"○"};

    QTest::newRow("five players, distinct arrivals")
        << QList<int>{10} << QList<int>{1} << "ABCDE"
        << QList<QStringList>{{"E=答:1", "A=答:2", "B=答:2", "C=答:2", "D=答:2"}}
        << "EABCD" << QList<int>{10, 0, 0, 0, 0} << QList<int>{100, 0, 0, 0, 0}
        << QStringList{"○", "×", "×", "×", "×"};
}

void TestScoring::rounds() {
    QFETCH(QList<int>, points);
    QFETCH(QList<int>, correct);
    QFETCH(QString, joined);
    QFETCH(QList<QStringList>, replies);
    QFETCH(QString, ranking);
    QFETCH(QList<int>, scores);
    QFETCH(QList<int>, percents);
    QFETCH(QStringList, marks);

    // Invitees A..Z; the letters of `joined` reply to the invitation.
    Round r(26, points, correct);
    r.join(joined);
    QCOMPARE(int(r.m.quizRun.ParticipantCount()), int(joined.size()));
    for (int q = 1; q <= replies.size(); ++q) r.play(q, replies[q - 1]);

    QCOMPARE(r.ranking(), ranking);
    const std::vector<PersonClass>& rk = r.m.quizRun.Ranking;
    for (int i = 0; i < int(rk.size()); ++i) {
        QCOMPARE(int(rk[std::size_t(i)].順位), i + 1);
        QCOMPARE(int(rk[std::size_t(i)].得点数), scores[i]);
        QCOMPARE(int(rk[std::size_t(i)].正解率), percents[i]);
        QCOMPARE(r.marks(char(ranking.at(i).unicode()), int(replies.size())), marks[i]);
        // The table's own rank field is left alone.
        QCOMPARE(int(r.m.quizRun.participants.順位[r.row(char(ranking.at(i).unicode()))]), 0);
    }
}

void TestScoring::answerReading_data() {
    QTest::addColumn<QString>("body");
    QTest::addColumn<bool>("marker");      // counts as an answer at all
    QTest::addColumn<QString>("answer");   // the character read; "" none

    QTest::newRow("one marker") << "答:3" << true << "3";
    QTest::newRow("two markers: after the second") << "答:1 と 答:2" << true << "2";
    QTest::newRow("three markers: still the second") << "答:1答:2答:3" << true << "2";
    QTest::newRow("only a full-width colon") << "答：3" << true << "";
    QTest::newRow("full-width colon then a real one") << "答：1\r\n答:4" << true << "4";
    QTest::newRow("marker at the very end") << "abc答:" << true << "";
    QTest::newRow("full-width digit after it") << "答:３" << true << "３";
    QTest::newRow("no marker") << "3" << false << "";
    QTest::newRow("kanji alone") << "答 3" << false << "";
    QTest::newRow("empty body") << "" << false << "";
}

void TestScoring::answerReading() {
    QFETCH(QString, body);
    QFETCH(bool, marker);
    QFETCH(QString, answer);
    const SjisText b = sj(body);
    QCOMPARE(hasAnswerMarker(b), marker);
    const std::optional<SjisText> got = answerCharacter(b);
    QCOMPARE(got ? un(*got) : QString(), answer);
}

void TestScoring::arrivalPositions() {
    // Arrival positions count every handled reply of the fetch, including one
    // without a marker and an unreadable one; a wrong answer adds 1000.
    Round r(4, {10}, {1});
    r.join("ABCD");
    r.play(1, {"D=nothing", "C=答:x", "B=答:2", "A=答:1"});
    const ParticipantTable& t = r.m.quizRun.participants;
    QCOMPARE(int(t.着信順[r.row('D')]), 0);      // no marker: unchanged
    QCOMPARE(int(t.着信順[r.row('C')]), 0);      // unreadable: unchanged
    QCOMPARE(int(t.着信順[r.row('B')]), 1003);   // wrong, third reply
    QCOMPARE(int(t.着信順[r.row('A')]), 4);      // right, fourth reply
    QCOMPARE(int(t.回答.at(r.row('C'), 1)), -1);
    QCOMPARE(int(t.回答.at(r.row('D'), 1)), 0);
    QCOMPARE(int(t.回答.at(r.row('B'), 1)), 2);
    QCOMPARE(int(r.m.quizRun.ArrivalCounter), 4);
    // A scored; C and D (position 0, joined in that order) before B (1003).
    QCOMPARE(r.ranking(), QString("ACDB"));
}

void TestScoring::missingAnswers() {
    Round r(3, {10, 10, 10, 10}, {1, 1, 1, 1});
    r.join("ABC");
    r.play(1, {"A=答:1", "B=答:1", "C=答:1"});
    r.play(2, {"A=答:1", "B=no marker"});
    const ParticipantTable& t = r.m.quizRun.participants;
    // C never replied to question 2: "×", answer 0, percentage for two questions.
    QCOMPARE(un(t.採点.at(r.row('C'), 2)), QString("×"));
    QCOMPARE(int(t.回答.at(r.row('C'), 2)), 0);
    QCOMPARE(int(t.正解率[r.row('C')]), 50);
    // B replied without a marker: that reply was handled, so no mark at all,
    // and the percentage still reads for one question.
    QCOMPARE(QString::fromStdString(t.採点.at(r.row('B'), 2)), QString());
    QCOMPARE(int(t.正解率[r.row('B')]), 100);
    QCOMPARE(int(t.正解率[r.row('A')]), 100);
    // Marking again does not touch handled replies.
    MarkMissingAnswers(r.m, 2);
    QCOMPARE(QString::fromStdString(t.採点.at(r.row('B'), 2)), QString());
    QCOMPARE(un(t.採点.at(r.row('A'), 2)), QString("○"));
}

void TestScoring::percentages_data() {
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("percent");
    QTest::newRow("2/3") << 2 << 3 << 67;
    QTest::newRow("1/3") << 1 << 3 << 33;
    QTest::newRow("1/8 half to even down") << 1 << 8 << 12;
    QTest::newRow("3/8 half to even up") << 3 << 8 << 38;
    QTest::newRow("5/8") << 5 << 8 << 62;
    QTest::newRow("7/8") << 7 << 8 << 88;
    QTest::newRow("1/40") << 1 << 40 << 2;
    QTest::newRow("3/40") << 3 << 40 << 8;
    QTest::newRow("0/5") << 0 << 5 << 0;
    QTest::newRow("7/7") << 7 << 7 << 100;
    QTest::newRow("99/100") << 99 << 100 << 99;
    QTest::newRow("no questions") << 0 << 0 << 0;
}

void TestScoring::percentages() {
    QFETCH(int, correct);
    QFETCH(int, questions);
    QFETCH(int, percent);
    QCOMPARE(int(CorrectPercent(correct, questions)), percent);
}

void TestScoring::completeMail_data() {
    QTest::addColumn<int>("question");
    QTest::addColumn<char>("who");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");

    // Ranking: B (10, first), D (10, third), C (0, never), A (0, wrong).
    const QString block = "問題1:×\r\n順位:xxx位\r\n合計得点:xxx/30\r\n";
    QTest::newRow("question 1 goes out unchanged") << 1 << 'B' << block << block;
    QTest::newRow("right answer, rank 1") << 2 << 'B' << block << "問題1:○\r\n順位:1位\r\n合計得点:10/30\r\n";
    QTest::newRow("wrong answer, rank 4") << 2 << 'A' << block << "問題1:×\r\n順位:4位\r\n合計得点:0/30\r\n";
    QTest::newRow("no reply, rank 3") << 2 << 'C' << block << "問題1:×\r\n順位:3位\r\n合計得点:0/30\r\n";
    QTest::newRow("every occurrence") << 2 << 'D' << "順位:xxx位 順位:xxx位" << "順位:2位 順位:2位";
    QTest::newRow("another full score is left") << 2 << 'B' << "合計得点:xxx/99" << "合計得点:xxx/99";
    QTest::newRow("another question is left") << 2 << 'B' << "問題2:×" << "問題2:×";
    QTest::newRow("no placeholders") << 2 << 'B' << "ありがとう" << "ありがとう";
    QTest::newRow("closing mail: empty mark of the last question")
        << 3 << 'D' << "問題2:×/順位:xxx位/合計得点:xxx/30" << "問題2:/順位:2位/合計得点:10/30";
}

void TestScoring::completeMail() {
    QFETCH(int, question);
    QFETCH(char, who);
    QFETCH(QString, body);
    QFETCH(QString, expected);
    Round r(4, {10, 20}, {1, 1});
    r.join("ABCD");
    // Question 1: B right first, A wrong, D right third, C silent.
    r.play(1, {"B=答:1", "A=答:2", "D=答:1"});
    // Question 2: only D replies, without a marker; nobody scores.
    r.play(2, {"D=no marker"});
    r.m.quizRun.CurrentQuestion = std::int16_t(question);
    QCOMPARE(un(CompleteMail(r.m, r.row(who), sj(body))), expected);
}

void TestScoring::sizing() {
    Round r(3, {10, 10}, {1, 1});
    const ParticipantTable& t = r.m.quizRun.participants;
    QCOMPARE(t.アドレス.count(), 3);
    QCOMPARE(t.採点.count1, 3);
    QCOMPARE(t.採点.count2, 2);
    QCOMPARE(t.採点.lower2, 1);
    QVERIFY(!t.Reserved.sized());
    QCOMPARE(int(t.ParticipantCount), 0);
    r.join("BC");
    QCOMPARE(r.m.quizRun.Answered.count1, 2);
    QCOMPARE(r.m.quizRun.Answered.count2, 2);
    QCOMPARE(r.m.quizRun.Ranking.size(), std::size_t(2));
}

void TestScoring::markersOnlyOnCharacterBoundaries() {
    // 88 93 is one kanji; the bytes 93 9A ":" after its lead byte are no
    // "答:", so this body has no answer marker at all.
    const SjisText trap = "\x88\x93\x9a" ":5";
    QVERIFY(!hasAnswerMarker(trap));
    QVERIFY(!answerCharacter(trap));
    // The same bytes aligned do read.
    QCOMPARE(answerCharacter("x\x93\x9a" ":5").value_or(""), SjisText("5"));

    // 88 96 | E2 91 | E8: no 問題 (96 E2 91 E8) stands in these characters.
    Round r(2, {10, 10}, {1, 1});
    r.join("AB");
    r.play(1, {"A=答:1"});
    r.m.quizRun.CurrentQuestion = 2;
    const SjisText misaligned = "\x88\x96\xe2\x91\xe8" "1:\x81\x7e";
    QCOMPARE(CompleteMail(r.m, r.row('A'), misaligned), misaligned);
    const SjisText aligned = "\x96\xe2\x91\xe8" "1:\x81\x7e";
    QCOMPARE(CompleteMail(r.m, r.row('A'), aligned), SjisText("\x96\xe2\x91\xe8" "1:\x81\x9b"));
}

void TestScoring::fullWidthDigitsWhereAllowed() {
    // The operator's option, off by default: "３" is then unreadable.
    for (const bool allowed : {false, true}) {
        Round r(2, {10}, {3});
        r.m.replySettings.FullWidthDigits = allowed ? 1 : 0;
        r.join("AB");
        r.play(1, {"A=答:３", "B=答：３"});
        QCOMPARE(r.marks('A', 1), allowed ? QString("○") : QString("×"));
        QCOMPARE(int(r.m.quizRun.participants.回答.at(r.row('A'), 1)), allowed ? 3 : -1);
        QCOMPARE(r.marks('B', 1), allowed ? QString("○") : QString("×"));
    }
}

QTEST_GUILESS_MAIN(TestScoring)
#include "tst_scoring.moc"
