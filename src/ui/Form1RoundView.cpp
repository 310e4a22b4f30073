#include "ui/Form1RoundView.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include "ui/Form1.h"
#include "ui/PresentationWindow.h"
#include "ui/RecipientCounts.h"
#include "ui/ResultCells.h"
#include "ui/Widgets.h"

void Form1RoundView::setStatusText(const SjisText& text) { form_.setStatus(text); }

// The bar never goes below its minimum, so a maximum is set before the
// minimum the way the countdown sets them, and a range the bar cannot hold
// (a negative reply time from a damaged file) leaves it empty.
void Form1RoundView::setProgressMax(int max) {
    form_.ProgressBar1->setMaximum(max);
    // Every countdown sets its length first.
    countdownTotal_ = max;
    countdownElapsed_ = 0;
    if (PresentationWindow* p = form_.presentation()) p->countdownStarted(max);
}
void Form1RoundView::setProgressMin(int min) { form_.ProgressBar1->setMinimum(min); }

void Form1RoundView::setProgressStyle(int style) {
    // Qt's bar always fills smoothly; the style asked for is kept on the bar.
    form_.ProgressBar1->setProperty("trvStyle", style);
}

void Form1RoundView::setProgressValue(int value) {
    form_.ProgressBar1->setValue(value);
    countdownElapsed_ = value;
    if (PresentationWindow* p = form_.presentation()) p->countdownAt(countdownTotal_, value);
}

void Form1RoundView::setControlsEnabled(bool on) {
    for (QPushButton* b : {form_.Command1, form_.Command2, form_.Command3, form_.Command4, form_.Command5,
                           form_.Command6, form_.Command7})
        b->setEnabled(on);
    // The selector too: showing another round would replace the running
    // round's address list and participants, which live in the same fields.
    form_.Combo1->setEnabled(on);
    if (on) {
        form_.VScroll1->setEnabled(true);
        form_.VScroll2->setEnabled(true);
        // The controls come back when the round has ended, however it ended.
        if (PresentationWindow* p = form_.presentation()) p->roundEnded();
    }
}

void Form1RoundView::showUndelivered(int count) {
    form_.Undelivered->setText(uiText("送信できなかったアドレス: %1件").arg(count));
    form_.Undelivered->setVisible(count > 0);
}

void Form1RoundView::clearGrids() {
    form_.clearGrids();
    form_.Label6->clear();
    form_.Label9->clear();
    // Only a round starting empties the grids this way.
    countdownTotal_ = -1;
    if (PresentationWindow* p = form_.presentation()) p->roundStarted();
}

void Form1RoundView::showJoinedPlayers(int entries) { form_.showJoinedFromStart(entries); }

void Form1RoundView::showParticipantCount(int count) {
    setText(form_.Label6, participantCountText(count));
    setText(form_.Label9, participantCountText(count));
    if (PresentationWindow* p = form_.presentation()) p->participantsJoined(count);
}

void Form1RoundView::showRanking() {
    form_.showRankingFromStart(int(form_.m.quizRun.Ranking.size()));
    if (PresentationWindow* p = form_.presentation()) p->questionRanked();
}

void Form1RoundView::reload() { form_.Form_Load(); }

bool Form1RoundView::goOnOverDailyLimit(const RoundRecipients& most, int dailyLimit) {
    MessageBox* box = form_.m.platform.messageBox;
    return box && box->ask(overDailyLimitQuestion(most, dailyLimit).toStdString(), "始める", "やめる");
}

void Form1RoundView::catchUp(PresentationWindow& presentation) const {
    if (countdownTotal_ < 0) return;
    presentation.countdownStarted(countdownTotal_);
    presentation.countdownAt(countdownTotal_, countdownElapsed_);
}
