#pragma once
#include <functional>

// An interval timer with an enabled flag. Disabling and enabling again
// restarts the interval from zero.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;

    // The tick event; set by the owner of the timer.
    std::function<void()> onTimer;
};
