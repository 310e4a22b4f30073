// The main window's results button and the results window it opens, which
// follows the round the grids show.

#include <QPushButton>

#include "ui/Form1.h"
#include "ui/ResultsWindow.h"

void Form1::followResultsRound(const SjisText& round) {
    resultsRound_ = round;
    ResultsButton->setEnabled(!round.empty() && !roundRunning());
    if (!results_) return;
    results_->setSavingEnabled(!roundRunning());
    // The round's files are not read while a round plays; an open window
    // shows the round the grids show, or the current one with nothing yet.
    if (!roundRunning() && results_->isVisible()) results_->showRound(round.empty() ? m.quizRun.RoundNumber : round);
}

ResultsWindow* Form1::resultsWindow() const { return results_.data(); }

void Form1::ResultsButton_Click() {
    if (roundRunning() || resultsRound_.empty()) return;
    if (!results_) results_ = new ResultsWindow(m.platform, appFolder_, this);
    results_->setSavingEnabled(true);
    results_->showRound(resultsRound_);
    results_->show();
    results_->raise();
    results_->activateWindow();
}
