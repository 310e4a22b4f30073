#include "support/FakeTime.h"

#include <algorithm>
#include <utility>

void FakeEventLoop::post(std::function<void()> fn, std::uint32_t delayMs) {
    queue_.push_back({clock_.now + delayMs, std::move(fn)});
}

int FakeEventLoop::runDue() {
    int ran = 0;
    // An event may post further events; those wait for the next turn.
    std::vector<Posted> due;
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (isDue(*it)) { due.push_back(std::move(*it)); it = queue_.erase(it); }
        else ++it;
    }
    for (Posted& e : due) { e.fn(); ++ran; ++eventsRun; }
    return ran;
}

void FakeEventLoop::yieldOnce() {
    ++yields;
    runDue();
    clock_.advance(yieldCostMs);
}

void FakeEventLoop::runUntil(LoopExit& exit) {
    while (!exit.done() && !queue_.empty()) waitForEvents(sleepLimitMs);
}

void FakeEventLoop::waitForEvents(int maxMs) {
    ++waits;
    longestWaitMs = std::max(longestWaitMs, maxMs);
    if (runDue() > 0 || maxMs <= 0) return;
    std::uint32_t sleep = std::uint32_t(std::min(maxMs, sleepLimitMs));
    for (const Posted& e : queue_) sleep = std::min(sleep, e.due - clock_.now);
    clock_.advance(sleep);
    runDue();
}
