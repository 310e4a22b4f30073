#pragma once
#include <cstdint>
#include <functional>

#include "mail/MailSession.h"
#include "platform/Platform.h"
#include "platform/SjisText.h"

// The three ways a running round waits while the window stays alive: a timed
// delay, the countdown of the reply time, and the wait for a mail session to
// end. Each hands control to the event loop, sleeping on it so a wait of
// minutes costs no processor time, and every event that arrives meanwhile
// (socket data, timer ticks, clicks) is handled.

// What the countdown shows: the status line and the progress bar.
class CountdownView {
public:
    virtual ~CountdownView() = default;
    virtual void setStatusText(const SjisText& text) = 0;
    virtual void setProgressMax(int max) = 0;
    virtual void setProgressMin(int min) = 0;
    // The bar's style of filling; the countdown sets 1 (smooth).
    virtual void setProgressStyle(int style) = 0;
    virtual void setProgressValue(int value) = 0;
};

// The longest single sleep on the event loop while waiting, in milliseconds.
constexpr int kWaitSliceMs = 50;

// Returns once at least `ms` milliseconds have passed since the call; 0
// returns at once without touching the event loop. A round that is being
// ended (the window closes) sets `*stop`, and the wait returns at once.
void wait(Platform& p, std::uint32_t ms, const bool* stop = nullptr);

// Shows "<subject>の返信待ちです。 <minutes>分お待ち下さい。", then counts down
// minutes × 60 steps of one second each, showing the time left and moving the
// progress bar from 1000 to minutes × 60000. A step lasts one second plus the
// time taken to update the window, so the whole never takes less than the
// minutes given. It ends early only when `*stop` is set. `eachSecond`, if
// given, runs after every step: what else the round does on its clock.
void Countdown(Platform& p, CountdownView& view, const SjisText& subject, int minutes,
               const bool* stop = nullptr, const std::function<void()>& eachSecond = {});

// Returns once `session` has ended, by any road: its end quits the loop that
// waits (its own time-out guarantees that it ends, abandon() ends it at once).
void waitForSessionEnd(Platform& p, MailSession& session);
