#pragma once
#include "mail/SessionView.h"

class Form1;

// How the mail sessions of a round show themselves on the main window: the
// status line Text7, ProgressBar1, and message boxes that never hold up
// the round.
class Form1SessionView : public SessionView {
public:
    explicit Form1SessionView(Form1& form) : form_(form) {}

    void setStatus(const SjisText& text) override;
    void setProgressRange(int min, int max) override;
    void setProgressValue(int value) override;
    void setProgressStyle(int style) override;
    void showMessage(const SjisText& text) override;
    // A time-out inside a round leaves Command1..Command7 disabled: they come
    // back when the round ends, so no second START can run inside the first.
    void timedOut() override {}
    void certificateRefused(const SjisText& server, const SjisText& problems,
                            const std::string& fingerprint) override;

private:
    Form1& form_;
};
