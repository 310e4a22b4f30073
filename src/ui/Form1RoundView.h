#pragma once
#include "run/RoundView.h"

class Form1;
class PresentationWindow;

// How a round shows itself on the main window: the status line Text7, the
// countdown on ProgressBar1, the buttons and the selector, and the grids in
// the formats of the results display.
class Form1RoundView : public RoundView {
public:
    explicit Form1RoundView(Form1& form) : form_(form) {}

    void setStatusText(const SjisText& text) override;
    void setProgressMax(int max) override;
    void setProgressMin(int min) override;
    void setProgressStyle(int style) override;
    void setProgressValue(int value) override;

    void setControlsEnabled(bool on) override;
    void clearGrids() override;
    void showJoinedPlayers(int entries) override;
    void showParticipantCount(int count) override;
    void showUndelivered(int count) override;
    void showRanking() override;
    void reload() override;
    bool goOnOverDailyLimit(const RoundRecipients& most, int dailyLimit) override;

    // A presentation opened in the middle of a countdown picks it up.
    void catchUp(PresentationWindow& presentation) const;

private:
    Form1& form_;
    // The round's countdown so far: none until one starts in this round.
    int countdownTotal_ = -1;
    int countdownElapsed_ = 0;
};
