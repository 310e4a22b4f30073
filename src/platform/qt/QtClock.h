#pragma once
#include <QElapsedTimer>

#include "platform/Clock.h"

// Monotonic milliseconds since this clock was made, and the wall clock's
// time of day.
class QtClock : public Clock {
public:
    QtClock();
    std::uint32_t tickCount() override;
    std::string localTimeHHMM() override;

private:
    QElapsedTimer started_;
};
