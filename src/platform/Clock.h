#pragma once
#include <cstdint>
#include <string>

// The moment mail is dated with: seconds since 1970-01-01 00:00 UTC, and how
// far the machine's local time is ahead of UTC at that moment.
struct WallTime {
    std::int64_t secondsSinceEpoch = 0;
    int utcOffsetSeconds = 0;
};

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
    // The calendar time now, unaffected by any speed-up of tickCount.
    virtual WallTime wallTime() = 0;
};
