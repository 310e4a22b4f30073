#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventLoop.h"

// A clock that moves only when told, and an event loop whose sleeps move it:
// a countdown of minutes runs in an instant, with events posted for given
// moments handled at those moments.

class FakeClock : public Clock {
public:
    std::uint32_t now = 0;
    std::string timeOfDay = "12:00";
    WallTime wall{1796913912, 9 * 3600};   // Thu, 10 Dec 2026 23:45:12 +0900
    int tickReads = 0;

    std::uint32_t tickCount() override { ++tickReads; return now; }
    std::string localTimeHHMM() override { return timeOfDay; }
    WallTime wallTime() override { return wall; }
    void advance(std::uint32_t ms) { now += ms; }
};

class FakeEventLoop : public EventLoop {
public:
    explicit FakeEventLoop(FakeClock& clock) : clock_(clock) {}

    // Runs `fn` from inside a yield or a wait once `delayMs` have passed.
    void post(std::function<void()> fn, std::uint32_t delayMs = 0);

    // Handles every due event; then the clock moves on by yieldCostMs (the
    // time a real window takes to repaint).
    void yieldOnce() override;
    // Handles due events and returns; with none due, sleeps until the next
    // posted one or for maxMs (at most sleepLimitMs, to imitate a loop that
    // wakes early), whichever comes first, and handles what is then due.
    void waitForEvents(int maxMs) override;
    // Handles the posted events in time order until one quits `exit`, or
    // none is left (a fake loop has nothing else to wait for).
    void runUntil(LoopExit& exit) override;

    std::uint32_t yieldCostMs = 0;
    int sleepLimitMs = 1 << 30;

    int yields = 0;
    int waits = 0;
    int longestWaitMs = 0;      // the largest maxMs ever asked for
    int eventsRun = 0;
    std::size_t pending() const { return queue_.size(); }

private:
    struct Posted {
        std::uint32_t due;
        std::function<void()> fn;
    };
    bool isDue(const Posted& e) const { return std::int32_t(e.due - clock_.now) <= 0; }
    int runDue();

    FakeClock& clock_;
    std::vector<Posted> queue_;
};
