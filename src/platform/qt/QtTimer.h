#pragma once
#include <QTimer>

#include "platform/Timer.h"

// An interval timer over QTimer. Interval 0 never ticks, even when enabled
// (a bare QTimer would fire on every pass of the event loop).
class QtTimer : public Timer {
public:
    QtTimer();
    void setInterval(int ms) override;
    int interval() const override;
    void setEnabled(bool on) override;
    bool enabled() const override;

private:
    void restart();

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = false;
};
