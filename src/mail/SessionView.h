#pragma once
#include <string>

#include "platform/SjisText.h"

// What a mail session shows and tells its owner: the main window during a
// round (status line Text7, ProgressBar1), the feedback window with its own
// status line, or a test.
class SessionView {
public:
    virtual ~SessionView() = default;

    // The status line.
    virtual void setStatus(const SjisText& text) = 0;
    // The dialogue has moved to the state named ("Connect", "Helo", "Retr" …).
    virtual void stateChanged(const char* name) {}
    // The progress bar of a mailing; windows without one ignore these.
    virtual void setProgressRange(int min, int max) {}
    virtual void setProgressValue(int value) {}
    virtual void setProgressStyle(int style) {}
    // A message box with OK. During a round it must not block the round.
    virtual void showMessage(const SjisText& text) = 0;
    // The server stayed silent for the whole time-out. Called just before the
    // "Time Out Err" message and sessionEnded(); the owner decides what that
    // means for its buttons (inside a round they stay disabled).
    virtual void timedOut() {}
    // The server's certificate failed its checks and its fingerprint is not
    // trusted: the owner may remember it (with what failed, in words), so the
    // operator can choose to trust it.
    virtual void certificateRefused(const SjisText& server, const SjisText& problems, const std::string& fingerprint) {}
    // The session has ended by any road. Called exactly once per start;
    // whoever waits for the end is told by the session (whenEnded).
    virtual void sessionEnded() {}
};
