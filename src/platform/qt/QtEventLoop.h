#pragma once
#include "platform/EventLoop.h"

// The Qt event loop of the user-interface thread.
class QtEventLoop : public EventLoop {
public:
    void yieldOnce() override;
    void waitForEvents(int maxMs) override;
    void runUntil(LoopExit& exit) override;
};
