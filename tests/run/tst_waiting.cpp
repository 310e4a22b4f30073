// The waits of a running round: delays, the reply countdown and the wait for
// a mail session, on fake time (minutes in an instant) and on the real loop.
#include <QtTest>

#include "support/ProcessTime.h"
#include "support/SjisLiterals.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"
#include "run/Waiting.h"
#include "support/FakeTime.h"

namespace {

// Records what the countdown shows, in order.
struct RecordingView : CountdownView {
    QStringList texts;
    QList<int> values;
    int max = -1, min = -1, style = -1;
    QStringList calls;   // the order of the bar settings
    void setStatusText(const SjisText& t) override { texts << un(t); }
    void setProgressMax(int v) override { max = v; calls << "max"; }
    void setProgressMin(int v) override { min = v; calls << "min"; }
    void setProgressStyle(int v) override { style = v; calls << "style"; }
    void setProgressValue(int v) override { values << v; }
};

struct FakeWorld {
    FakeClock clock;
    FakeEventLoop loop{clock};
    Platform platform;
    FakeWorld() {
        platform.clock = &clock;
        platform.eventLoop = &loop;
    }
};

}  // namespace

class TestWaiting : public QObject {
    Q_OBJECT
private slots:
    void waitZeroReturnsWithoutYielding();
    void waitLastsAtLeastItsTime_data();
    void waitLastsAtLeastItsTime();
    void countdownTexts_data();
    void countdownTexts();
    void countdownStepsAreTimedFromTheirOwnStart();
    void eventsAreHandledDuringACountdown();
    void sessionEndQuitsTheWait();
    void realLoopSleepsWhileWaiting();
};

void TestWaiting::waitZeroReturnsWithoutYielding() {
    FakeWorld w;
    bool ran = false;
    w.loop.post([&] { ran = true; });
    wait(w.platform, 0);
    QCOMPARE(w.loop.yields, 0);
    QCOMPARE(w.loop.waits, 0);
    QVERIFY(!ran);
    QCOMPARE(w.clock.now, 0u);
}

void TestWaiting::waitLastsAtLeastItsTime_data() {
    QTest::addColumn<quint32>("start");
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<int>("sleepLimit");   // the loop wakes after at most this long
    QTest::newRow("1 s") << 0u << 1000u << 30;
    QTest::newRow("1 s, loop wakes every 7 ms") << 0u << 1000u << 7;
    QTest::newRow("odd length") << 5u << 1234u << 30;
    QTest::newRow("across the tick wrap") << 0xFFFFFF00u << 1000u << 30;
    QTest::newRow("across the wrap, early wakes") << 0xFFFFFFF0u << 333u << 13;
    QTest::newRow("1 ms") << 100u << 1u << 30;
}

void TestWaiting::waitLastsAtLeastItsTime() {
    QFETCH(quint32, start);
    QFETCH(quint32, ms);
    QFETCH(int, sleepLimit);
    FakeWorld w;
    w.clock.now = start;
    w.loop.sleepLimitMs = sleepLimit;
    wait(w.platform, ms);
    const std::uint32_t took = w.clock.now - start;
    QVERIFY2(took >= ms, qPrintable(QString("took %1 of %2").arg(took).arg(ms)));
    // It sleeps on the loop in short slices and never oversleeps a slice.
    QVERIFY(took < ms + std::uint32_t(kWaitSliceMs));
    QVERIFY(w.loop.longestWaitMs <= kWaitSliceMs);
    QVERIFY(w.loop.waits >= 1);
}

void TestWaiting::countdownTexts_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("last");

    const QString s = "第1問";
    QTest::newRow("0 minutes") << 0 << 0 << s + "の返信待ちです。 0分お待ち下さい。" << QString() << QString();
    QTest::newRow("1 minute") << 1 << 60 << s + "の返信待ちです。 1分お待ち下さい。"
                              << s + "の返信待ちです。 0分59秒お待ち下さい。"
                              << s + "の返信待ちです。 0分0秒お待ち下さい。";
    QTest::newRow("2 minutes") << 2 << 120 << s + "の返信待ちです。 2分お待ち下さい。"
                               << s + "の返信待ちです。 1分59秒お待ち下さい。"
                               << s + "の返信待ちです。 0分0秒お待ち下さい。";
}

void TestWaiting::countdownTexts() {
    QFETCH(int, minutes);
    QFETCH(int, steps);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, last);
    FakeWorld w;
    RecordingView view;
    Countdown(w.platform, view, sj("第1問"), minutes);

    QCOMPARE(view.texts.size(), steps + 1);
    QCOMPARE(view.texts.first(), first);
    if (steps > 0) {
        QCOMPARE(view.texts.at(1), second);
        QCOMPARE(view.texts.last(), last);
    }
    QCOMPARE(view.max, minutes * 60000);
    QCOMPARE(view.min, 0);
    QCOMPARE(view.style, 1);
    QCOMPARE(view.calls, (QStringList{"max", "min", "style"}));
    QCOMPARE(view.values.size(), steps);
    for (int k = 0; k < steps; ++k) QCOMPARE(view.values.at(k), (k + 1) * 1000);
    // The whole takes at least the minutes given; with no time lost to
    // repainting, exactly that.
    QCOMPARE(w.clock.now, std::uint32_t(minutes * 60000));
    if (minutes == 2) {
        QCOMPARE(view.texts.at(60), QString("第1問の返信待ちです。 1分0秒お待ち下さい。"));
        QCOMPARE(view.texts.at(61), QString("第1問の返信待ちです。 0分59秒お待ち下さい。"));
    }
}

void TestWaiting::countdownStepsAreTimedFromTheirOwnStart() {
    // Each repaint costs 30 ms: every step still waits its full second after
    // it, so a minute's countdown takes 60 × 1030 ms.
    FakeWorld w;
    w.loop.yieldCostMs = 30;
    w.loop.sleepLimitMs = 9;   // and the loop wakes early all the time
    RecordingView view;
    Countdown(w.platform, view, "S", 1);
    QCOMPARE(view.values.size(), 60);
    QVERIFY2(w.clock.now >= 60u * 1030u, qPrintable(QString::number(w.clock.now)));
    QVERIFY(w.clock.now < 60u * 1030u + 60u * std::uint32_t(kWaitSliceMs));
    QVERIFY(w.loop.yields >= 60);
}

void TestWaiting::eventsAreHandledDuringACountdown() {
    FakeWorld w;
    RecordingView view;
    QStringList seen;
    // A click on the grid's scroll bar half-way, and socket data near the end.
    w.loop.post([&] { seen << "click at " + view.texts.last(); }, 30000);
    w.loop.post([&] { seen << "data at " + view.texts.last(); }, 59500);
    Countdown(w.platform, view, "Q", 1);
    QCOMPARE(seen, (QStringList{"click at Qの返信待ちです。 0分30秒お待ち下さい。",
                                "data at Qの返信待ちです。 0分0秒お待ち下さい。"}));
    QCOMPARE(view.texts.size(), 61);
    QCOMPARE(w.loop.pending(), std::size_t(0));
}

void TestWaiting::sessionEndQuitsTheWait() {
    // The end quits the wait as it comes: what follows it is not waited for.
    FakeWorld w;
    LoopExit exit;
    int handled = 0;
    w.loop.post([&] { ++handled; }, 100);
    w.loop.post([&] { ++handled; exit.quit(); }, 3000);
    w.loop.post([&] { ++handled; }, 5000);
    w.loop.runUntil(exit);
    QCOMPARE(handled, 2);
    QCOMPARE(w.clock.now, 3000u);

    // Already ended: nothing is handled.
    FakeWorld done;
    bool ran = false;
    done.loop.post([&] { ran = true; });
    done.loop.runUntil(exit);
    QVERIFY(!ran);

    // The program's own loop sleeps until the quit, a wait inside a wait
    // ends by its own quit, and a quit from outside ends only its own.
    QtEventLoop loop;
    LoopExit outer, inner;
    QStringList order;
    QTimer::singleShot(50, [&] {
        order << "inner begins";
        QTimer::singleShot(100, [&] { inner.quit(); });
        loop.runUntil(inner);
        order << "inner ends";
        QTimer::singleShot(50, [&] { outer.quit(); });
    });
    const double cpu0 = cpuSeconds();
    loop.runUntil(outer);
    QCOMPARE(order, (QStringList{"inner begins", "inner ends"}));
    QVERIFY(cpuSeconds() - cpu0 < 0.1);
}

void TestWaiting::realLoopSleepsWhileWaiting() {
    QtClock clock;
    QtEventLoop loop;
    Platform p;
    p.clock = &clock;
    p.eventLoop = &loop;

    bool fired = false;
    QTimer::singleShot(300, [&] { fired = true; });
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    wait(p, 1000);
    const double cpu = cpuSeconds() - cpu0;
    const qint64 took = wall.elapsed();

    QVERIFY2(took >= 1000, qPrintable(QString::number(took)));
    QVERIFY(fired);   // a timer event was handled inside the wait
    QVERIFY2(cpu < 0.2, qPrintable(QString("CPU %1 s for a 1 s wait").arg(cpu)));
}

QTEST_GUILESS_MAIN(TestWaiting)
#include "tst_waiting.moc"
