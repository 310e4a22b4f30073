#include "platform/qt/QtClock.h"

#include <QDateTime>
#include <QTime>

QtClock::QtClock(int speed) : speed_(speed < 1 ? 1 : speed) {
    started_.start();
}

std::uint32_t QtClock::tickCount() {
    // Truncation to 32 bits wraps as the callers expect.
    return static_cast<std::uint32_t>(started_.elapsed() * speed_);
}

std::string QtClock::localDateTime() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

WallTime QtClock::wallTime() {
    const QDateTime now = QDateTime::currentDateTime();
    return {now.toSecsSinceEpoch(), now.offsetFromUtc()};
}

std::string QtClock::localTimeHHMM() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm")).toStdString();
}
