#pragma once
#include <QElapsedTimer>

#include "platform/Clock.h"

// Monotonic milliseconds since this clock was made, and the wall clock's
// time of day. A clock made with a speed above 1 lets its milliseconds pass
// that many times faster, so a demonstration round's one-minute reply times
// pass in seconds; the time of day stays the wall clock's.
class QtClock : public Clock {
public:
    explicit QtClock(int speed = 1);
    std::uint32_t tickCount() override;
    std::string localTimeHHMM() override;
    std::string localDateTime() override;
    WallTime wallTime() override;

private:
    QElapsedTimer started_;
    int speed_;
};
