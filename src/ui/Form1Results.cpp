// The main window's results display: the round selector's choice, a past
// round read back from its files in red, and the paging of both grids.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <string>

#include "model/RoundFiles.h"
#include "run/Scoring.h"
#include "ui/Form1.h"
#include "ui/PresentationWindow.h"
#include "ui/ResultCells.h"
#include "ui/Widgets.h"

// ---- Round selector ------------------------------------------------------

void Form1::Combo1_Click() {
    if (roundRunning()) return;
    bool numeric = false;
    const int shown = Combo1->currentText().trimmed().toInt(&numeric);
    if (numeric && shown == m.quizRun.CurrentRound) {
        showCurrentRound();
        followResultsRound(SjisText());
    } else {
        showPastRound();
        followResultsRound(m.quizRun.RoundNumber);
    }
    // An open presentation shows the round chosen, as the grids do.
    if (PresentationWindow* p = presentation()) p->showStoredRound(resultsRound_);
}

void Form1::Combo1_Change() {
    // The selector's text is the round every file operation uses.
    m.quizRun.RoundNumber = textOf(Combo1);
    // A typed number is not a choice: START plays only the current round as
    // listed, never a typed one, whose files it would otherwise read and
    // whose stored results it would overwrite. Choosing the entry again
    // brings START back.
    if (!selectorShowsCurrentRound()) Command6->setEnabled(false);
}

bool Form1::selectorShowsCurrentRound() const {
    return m.quizRun.RoundNumber == std::to_string(m.quizRun.CurrentRound);
}

void Form1::showCurrentRound() {
    Command6->setEnabled(true);
    setGridColours(false);
    // The bars first: moving them back shows their first page of whatever
    // round was viewed before, which the emptying then removes.
    resetScrollBar(VScroll1);
    resetScrollBar(VScroll2);
    clearGrids();
    Label6->clear();
    Label9->clear();
}

void Form1::showPastRound() {
    QuizRun& run = m.quizRun;
    DataFiles& files = *m.platform.files;
    Command6->setEnabled(false);
    setGridColours(true);
    clearGrids();

    // Invited: the slots up to the first without a name; joined among them.
    readRoster(files, run);
    int invited = 0, joined = 0;
    while (invited < kAddressSlots && !run.ListNames[std::size_t(invited)].empty()) {
        if (run.ListJoined[std::size_t(invited)] == 1) ++joined;
        ++invited;
    }
    vars.noteJoinedMarksKnown();
    showJoinedFromStart(invited);
    setText(Label9, participantCountText(joined));

    readResults(files, run);
    readQuestionSetAsStored(files, run.RoundNumber, m.questionSet);
    setText(Label6, participantCountText(run.ParticipantCount()));
    Rank(m);
    showRankingFromStart(int(run.Ranking.size()));
}

// ---- Grids ---------------------------------------------------------------

void Form1::VScroll1_Change() { showRankingPage(VScroll1->value()); }

void Form1::VScroll2_Change() { showJoinedPage(VScroll2->value()); }

void Form1::showRankingPage(int page) {
    for (auto* column : {&Text1, &Text2, &Text3, &Text4})
        for (QLineEdit* cell : *column) cell->clear();
    const std::vector<PersonClass>& ranking = m.quizRun.Ranking;
    const int total = m.questionSet.TotalPoints;
    for (int r = 0; r < kGridRows; ++r) {
        const std::size_t i = std::size_t(page) * kGridRows + std::size_t(r);
        if (page < 0 || i >= ranking.size()) break;
        const RankingCells cells = rankingCells(ranking[i], total);
        setText(Text1[std::size_t(r)], cells.name);
        setText(Text2[std::size_t(r)], cells.rank);
        setText(Text3[std::size_t(r)], cells.points);
        setText(Text4[std::size_t(r)], cells.rate);
    }
}

void Form1::showJoinedPage(int page) {
    for (int r = 0; r < kGridRows; ++r) {
        const int k = page * kGridRows + r;
        const bool inList = page >= 0 && k < kAddressSlots;
        setText(Text5[std::size_t(r)], inList ? m.quizRun.ListNames[std::size_t(k)] : SjisText());
        setText(Text6[std::size_t(r)], inList ? joinedMark(m.quizRun, vars.受信, k) : SjisText());
    }
}

namespace {
// Both scroll bars are off while a grid is rewritten, so a page chosen
// meanwhile cannot write over it.
template <class Rewrite>
void withPagingOff(QScrollBar* ranking, QScrollBar* joined, Rewrite rewrite) {
    ranking->setEnabled(false);
    joined->setEnabled(false);
    rewrite();
    ranking->setEnabled(true);
    joined->setEnabled(true);
}
}  // namespace

void Form1::showRankingFromStart(int entries) {
    withPagingOff(VScroll1, VScroll2, [&] {
        VScroll1->setValue(0);
        VScroll1->setMaximum(pageCount(entries) - 1);
        showRankingPage(0);
    });
}

void Form1::showJoinedFromStart(int entries) {
    withPagingOff(VScroll1, VScroll2, [&] {
        VScroll2->setValue(0);
        VScroll2->setMaximum(pageCount(entries) - 1);
        showJoinedPage(0);
    });
}

void Form1::clearGrids() {
    for (auto* column : {&Text1, &Text2, &Text3, &Text4, &Text5, &Text6})
        for (QLineEdit* cell : *column) cell->clear();
}

void Form1::setGridColours(bool past) {
    setPastRoundColour(Combo1, past);
    for (auto* column : {&Text1, &Text2, &Text3, &Text4, &Text5, &Text6})
        for (QLineEdit* cell : *column) setPastRoundColour(cell, past);
}

void Form1::resetScrollBar(QScrollBar* bar) {
    bar->setValue(0);
    bar->setMaximum(0);
}
