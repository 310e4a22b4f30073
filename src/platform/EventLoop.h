#pragma once
#include <functional>

// Ends a EventLoop::runUntil from inside one of the events it handles.
class LoopExit {
public:
    void quit() {
        done_ = true;
        if (wake_) wake_();
    }
    bool done() const { return done_; }

private:
    friend class EventLoop;
    bool done_ = false;
    std::function<void()> wake_;   // set by the loop while it runs
};

// The one event loop of the user-interface thread. A running round never
// returns from its handler; it waits by handing control back to this loop.
class EventLoop {
public:
    virtual ~EventLoop() = default;
    // Handle every pending event once and return at once.
    virtual void yieldOnce() = 0;
    // Sleep on the loop until an event arrives or maxMs have passed, handling
    // whatever arrives. Lets a wait poll without keeping a processor busy.
    virtual void waitForEvents(int maxMs) = 0;
    // Handle events as they come until one of them quits `exit`; at once
    // when it is done already. A loop of its own: an event handled inside
    // may run another, which ends by its own exit.
    virtual void runUntil(LoopExit& exit) = 0;

protected:
    static void setWake(LoopExit& exit, std::function<void()> wake) { exit.wake_ = std::move(wake); }
};
