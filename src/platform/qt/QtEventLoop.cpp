#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

void QtEventLoop::yieldOnce() {
    QCoreApplication::processEvents();
}

void QtEventLoop::runUntil(LoopExit& exit) {
    if (exit.done()) return;
    // Nothing is handled between the look above and exec(), so the quit
    // cannot come before the loop it is to end.
    QEventLoop loop;
    setWake(exit, [&loop] { loop.quit(); });
    loop.exec();
    setWake(exit, {});
}

void QtEventLoop::waitForEvents(int maxMs) {
    if (maxMs <= 0) {
        yieldOnce();
        return;
    }
    // A local timer, not a member: a handler run inside this wait may wait
    // again, and each wait needs its own wake-up.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(maxMs);
    // Blocks in the dispatcher until something arrives (at the latest the
    // wake-up), handles it and returns; the caller's loop decides whether
    // to wait again, so an early return is harmless.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
