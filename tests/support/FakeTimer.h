#pragma once
#include "platform/Timer.h"

// A timer that ticks only when the test says so. It counts how often it was
// armed, so a test can see that an arrival restarted the interval.
class FakeTimer : public Timer {
public:
    void setInterval(int ms) override { interval_ = ms; }
    int interval() const override { return interval_; }
    void setEnabled(bool on) override;
    bool enabled() const override { return enabled_; }

    // Fires onTimer if the timer is enabled (a disabled timer never ticks).
    // True when it fired.
    bool fire();

    int armCount = 0;   // transitions from disabled to enabled

private:
    int interval_ = 0;
    bool enabled_ = false;
};
