#include "support/FakeTimer.h"

void FakeTimer::setEnabled(bool on)
{
    if (on && !enabled_) ++armCount;
    enabled_ = on;
}

bool FakeTimer::fire()
{
    if (!enabled_) return false;
    if (onTimer) onTimer();
    return true;
}
