#pragma once
#include <cstdint>
#include <string>

// Time as the run sees it. Tests substitute a clock that runs faster or is
// advanced by hand, so a countdown of minutes passes in seconds.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed start; only differences are used, with
    // unsigned 32-bit arithmetic, so the wrap after 49 days does no harm.
    virtual std::uint32_t tickCount() = 0;
    // The local time of day as "HH:MM", 24-hour clock, e.g. "09:05".
    virtual std::string localTimeHHMM() = 0;
    // The local date and time as "YYYY-MM-DD HH:MM:SS", for logs; a clock
    // that keeps no date gives its time of day.
    virtual std::string localDateTime() { return localTimeHHMM(); }
};
