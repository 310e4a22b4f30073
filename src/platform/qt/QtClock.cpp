#include "platform/qt/QtClock.h"

#include <QTime>

QtClock::QtClock() {
    started_.start();
}

std::uint32_t QtClock::tickCount() {
    // Truncation to 32 bits wraps as the callers expect.
    return static_cast<std::uint32_t>(started_.elapsed());
}

std::string QtClock::localTimeHHMM() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm")).toStdString();
}
