#pragma once

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
};
