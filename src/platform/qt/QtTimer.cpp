#include "platform/qt/QtTimer.h"

QtTimer::QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (onTimer) onTimer();
    });
}

void QtTimer::setInterval(int ms) {
    interval_ = ms < 0 ? 0 : ms;
    // A new interval counts from now.
    restart();
}

int QtTimer::interval() const {
    return interval_;
}

void QtTimer::setEnabled(bool on) {
    // Enabling a running timer changes nothing; enabling a stopped one
    // starts the interval afresh, so "disable and enable again" is how a
    // time-out is pushed back.
    if (on == enabled_) return;
    enabled_ = on;
    restart();
}

bool QtTimer::enabled() const {
    return enabled_;
}

void QtTimer::restart() {
    timer_.stop();
    if (enabled_ && interval_ > 0) timer_.start(interval_);
}
