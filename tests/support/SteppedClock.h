#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Clock.h"

// A clock for a round played under the test's control: time stands still
// while the gate is shut, and once it opens every reading moves time on by a
// step, so a countdown of minutes passes as fast as the program reads the
// clock. Mail sessions keep their real time-outs (they run on timers).
class SteppedClock : public Clock {
public:
    std::function<bool()> gate;   // none: always open
    std::uint32_t stepMs = 1000;
    std::uint32_t now = 0;

    std::uint32_t tickCount() override {
        if (!gate || gate()) now += stepMs;
        return now;
    }
    std::string localTimeHHMM() override { return "12:00"; }
    WallTime wallTime() override { return {1796913912 + std::int64_t(now / 1000), 9 * 3600}; }
};
