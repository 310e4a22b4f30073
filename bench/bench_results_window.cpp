// How long the results window takes to open on the largest round the
// program is built for: 250 players who answered 100 questions of four
// choices. A past round is stored in a fresh folder and chosen in the main
// window's selector; then the window is opened from the main window's button
// (reading the files, building the table and the four charts, first paint),
// five times, each time a new window. Also: the charts' tab drawn, another
// question's chart, and the CSV and PDF made. Not a test: run by hand and read
// the figures (the aim is under 200 ms to open).

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTabWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "model/QuestionRules.h"
#include "model/RecordFiles.h"
#include "run/RoundResults.h"
#include "run/Scoring.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/ResultsCsv.h"
#include "ui/ResultsReport.h"
#include "ui/ResultsWindow.h"

namespace {

constexpr int kPlayers = 250;
constexpr int kQuestions = 100;
constexpr int kRuns = 5;

// Round 1 stored as a round of that size leaves it: roster, results, questions.
void storeRound(TestWorld& world) {
    auto set = std::make_unique<QuestionSet>();
    set->QuestionCount = std::to_string(kQuestions);
    for (int q = 1; q <= kQuestions; ++q) {
        set->Subject[q] = "Q" + std::to_string(q);
        for (int f = 0; f < 4; ++f) {
            set->ChoiceLabel[q][f] = std::to_string(f + 1);
            set->ChoiceText[q][f] = "choice " + std::to_string(f + 1);
        }
        MarkCorrect(*set, q, q % 4);
        set->Points[q] = 10;
    }
    set->TotalPoints = 10 * kQuestions;
    writeQuestionFile(world.files, "1", *set);

    auto roster = std::make_unique<AddressBook>();
    ParticipantTable t;
    t.ParticipantCount = kPlayers;
    for (auto* a : {&t.着信順, &t.得点数, &t.順位, &t.正解数, &t.正解率}) a->size(0, kPlayers - 1);
    t.名前.size(0, kPlayers - 1);
    t.アドレス.size(0, kPlayers - 1);
    t.回答.size(0, kPlayers - 1, 1, kQuestions);
    t.採点.size(0, kPlayers - 1, 1, kQuestions);
    for (int p = 0; p < kPlayers; ++p) {
        const std::string n = std::to_string(p + 1);
        roster->Names[p] = t.名前[p] = "player" + n;
        roster->Addresses[p] = t.アドレス[p] = "player" + n + "@docomo.ne.jp";
        roster->SendFlags[p] = 1;
        for (int q = 1; q <= kQuestions; ++q) {
            // Mostly right, some wrong, a few silent.
            const int pick = (p * 7 + q * 3) % 10;
            const int answer = pick == 9 ? 0 : pick < 6 ? set->CorrectChoice[q] : 1 + pick % 4;
            t.回答.at(p, q) = std::int16_t(answer);
            const bool right = answer == set->CorrectChoice[q];
            t.採点.at(p, q) = right ? "\x81\x9b" : "\x81\x7e";   // ○ ×
            if (right) t.得点数[p] = std::int16_t(t.得点数[p] + 10), ++t.正解数[p];
            if (answer != 0) t.着信順[p] = std::int16_t(p + 1 + (right ? 0 : 1000));
        }
        t.正解率[p] = CorrectPercent(t.正解数[p], kQuestions);
    }
    writeRecordFile(world.files, "trv2s1.dat", *roster);
    writeRecordFile(world.files, "trv71.dat", t);
    writeRoundCounter(world.files, 2);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class Step>
double timed(Step step) {
    QElapsedTimer t;
    t.start();
    step();
    return double(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestWorld world;
    storeRound(world);
    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();
    QApplication::processEvents();
    form.Combo1->setCurrentIndex(0);
    emit form.Combo1->activated(0);

    std::printf("round of %d players and %d questions (%d table columns)\n", kPlayers, kQuestions, 6 + 2 * kQuestions);
    std::vector<double> load;
    for (int i = 0; i < kRuns; ++i) load.push_back(timed([&] { loadRoundResults(world.files, "1"); }));
    std::printf("files read and results worked out: median %.1f ms\n", median(load));

    std::vector<double> open;
    for (int i = 0; i < kRuns; ++i) {
        delete form.resultsWindow();
        open.push_back(timed([&] {
            form.ResultsButton->click();
            QApplication::processEvents();
            form.resultsWindow()->repaint();
        }));
    }
    ResultsWindow& w = *form.resultsWindow();
    std::printf("results window opened and drawn: first %.1f ms, median of %d %.1f ms (aim: under 200 ms)\n",
                open.front(), kRuns, median(open));
    std::printf("  rows %d, columns %d\n", w.sortedTable()->rowCount(), w.sortedTable()->columnCount());

    std::printf("charts' tab shown and drawn: %.1f ms\n", timed([&] {
                    w.Pages->setCurrentIndex(1);
                    QApplication::processEvents();
                    w.repaint();
                }));
    std::printf("another question's chart: %.1f ms\n", timed([&] {
                    w.showQuestion(50);
                    QApplication::processEvents();
                    w.Charts[0]->repaint();
                }));
    QByteArray csv, pdf;
    const double csvMs = timed([&] { csv = csvBytes(*w.sortedTable()); });
    std::printf("CSV made: %.1f ms (%lld bytes)\n", csvMs, (long long)csv.size());
    const double pdfMs =
        timed([&] { pdf = resultsReportPdf(w.results(), 1, QDate::currentDate(), QDate::currentDate()); });
    std::printf("PDF made: %.1f ms (%lld bytes)\n", pdfMs, (long long)pdf.size());
    return 0;
}
