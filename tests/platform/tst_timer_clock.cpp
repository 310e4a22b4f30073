// The interval timer and the clock over Qt.
#include <QtTest>

#include "platform/qt/QtClock.h"
#include "platform/qt/QtTimer.h"

namespace {
// Milliseconds from now at which each tick arrived.
struct TickLog {
    QElapsedTimer since;
    QList<qint64> at;
    void attach(QtTimer& t) {
        since.start();
        t.onTimer = [this] { at << since.elapsed(); };
    }
};
}  // namespace

class TestTimerClock : public QObject {
    Q_OBJECT
private slots:
    void startsDisabled();
    void ticksEveryIntervalWhileEnabled();
    void disableStopsTicks();
    void disableAndEnableRestartsTheInterval();
    void enablingARunningTimerKeepsItsSchedule();
    void newIntervalCountsFromNow();
    void intervalZeroNeverTicks();
    void tickHandlerMayRestartItsTimer();
    void tickCountFollowsRealTime();
    void localTimeIsHoursAndMinutes();
};

void TestTimerClock::startsDisabled() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(10);
    QVERIFY(!t.enabled());
    QCOMPARE(t.interval(), 10);
    QTest::qWait(100);
    QVERIFY(log.at.isEmpty());
}

// A slow machine may delay ticks, never bring them early.
void TestTimerClock::ticksEveryIntervalWhileEnabled() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(100);
    t.setEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(log.at.size() >= 4, 3000);
    QVERIFY2(log.at.first() >= 95, qPrintable(QString::number(log.at.first())));
    for (qsizetype i = 1; i < log.at.size(); ++i)
        QVERIFY2(log.at[i] - log.at[i - 1] >= 80, qPrintable(QString::number(log.at[i] - log.at[i - 1])));
    QVERIFY(t.enabled());   // stays enabled after ticking
}

void TestTimerClock::disableStopsTicks() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(50);
    t.setEnabled(true);
    QTRY_VERIFY(!log.at.isEmpty());
    t.setEnabled(false);
    const qsizetype ticks = log.at.size();
    QTest::qWait(200);
    QCOMPARE(log.at.size(), ticks);
}

// The sessions push their time-out back this way on every reply.
void TestTimerClock::disableAndEnableRestartsTheInterval() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(300);
    t.setEnabled(true);
    QTest::qWait(200);
    t.setEnabled(false);
    t.setEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(!log.at.isEmpty(), 2000);
    QVERIFY2(log.at.first() >= 480, qPrintable(QString::number(log.at.first())));
}

void TestTimerClock::enablingARunningTimerKeepsItsSchedule() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(600);
    t.setEnabled(true);
    QTest::qWait(400);
    t.setEnabled(true);   // a restart would put the tick at 1000 ms or later
    QTRY_VERIFY_WITH_TIMEOUT(!log.at.isEmpty(), 3000);
    QVERIFY2(log.at.first() < 900, qPrintable(QString::number(log.at.first())));
}

void TestTimerClock::newIntervalCountsFromNow() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setInterval(300);
    t.setEnabled(true);
    QTest::qWait(200);
    t.setInterval(300);
    QTRY_VERIFY_WITH_TIMEOUT(!log.at.isEmpty(), 2000);
    QVERIFY2(log.at.first() >= 480, qPrintable(QString::number(log.at.first())));
}

// A bare QTimer with interval 0 would fire on every pass of the loop.
void TestTimerClock::intervalZeroNeverTicks() {
    QtTimer t;
    TickLog log;
    log.attach(t);
    t.setEnabled(true);
    QTest::qWait(100);
    t.setInterval(0);
    QTest::qWait(100);
    QVERIFY(log.at.isEmpty());
    QVERIFY(t.enabled());
    t.setInterval(30);
    QTRY_VERIFY(!log.at.isEmpty());
}

void TestTimerClock::tickHandlerMayRestartItsTimer() {
    QtTimer t;
    int ticks = 0;
    t.onTimer = [&] {
        ++ticks;
        t.setEnabled(false);
        if (ticks < 3) t.setEnabled(true);
    };
    t.setInterval(20);
    t.setEnabled(true);
    QTRY_COMPARE(ticks, 3);
    QTest::qWait(100);
    QCOMPARE(ticks, 3);
    QVERIFY(!t.enabled());
}

void TestTimerClock::tickCountFollowsRealTime() {
    QtClock clock;
    QElapsedTimer outer;
    outer.start();
    const std::uint32_t first = clock.tickCount();
    QElapsedTimer inner;
    inner.start();
    QTest::qWait(250);
    const qint64 atLeast = inner.elapsed();
    const std::uint32_t passed = clock.tickCount() - first;
    const qint64 atMost = outer.elapsed();
    QVERIFY2(qint64(passed) >= atLeast - 1 && qint64(passed) <= atMost + 1,
             qPrintable(QStringLiteral("%1 not within %2..%3").arg(passed).arg(atLeast).arg(atMost)));
}

void TestTimerClock::localTimeIsHoursAndMinutes() {
    QtClock clock;
    const QString before = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    const QString shown = QString::fromStdString(clock.localTimeHHMM());
    const QString after = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    QVERIFY(QRegularExpression(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]$")).match(shown).hasMatch());
    QVERIFY2(shown == before || shown == after, qPrintable(shown));
}

QTEST_GUILESS_MAIN(TestTimerClock)
#include "tst_timer_clock.moc"
