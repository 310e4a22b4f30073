// Waiting on the Qt event loop: it must sleep, wake for what arrives, and
// survive being entered again from a handler.
#include <QtTest>

#include "platform/qt/QtEventLoop.h"
#include "support/ProcessTime.h"

class TestEventLoop : public QObject {
    Q_OBJECT
private slots:
    void pollingForOneSecondUsesLittleProcessorTime_data();
    void pollingForOneSecondUsesLittleProcessorTime();
    void quietWaitLastsItsTime();
    void waitWakesForAnEventAndHandlesIt();
    void waitHandlesPostedEvents();
    void yieldOnceHandlesPendingEvents();
    void waitInsideAHandlerOfAWait();
};

// The way a countdown waits: short waits until a deadline.
void TestEventLoop::pollingForOneSecondUsesLittleProcessorTime_data() {
    QTest::addColumn<int>("sliceMs");
    QTest::newRow("50 ms slices") << 50;
    QTest::newRow("10 ms slices") << 10;
    QTest::newRow("one wait") << 1000;
}

void TestEventLoop::pollingForOneSecondUsesLittleProcessorTime() {
    QFETCH(int, sliceMs);
    QtEventLoop loop;
    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    while (wall.elapsed() < 1000) loop.waitForEvents(sliceMs);
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY2(cpu < 0.2, qPrintable(QStringLiteral("%1 s of processor time").arg(cpu)));
}

void TestEventLoop::quietWaitLastsItsTime() {
    QtEventLoop loop;
    QElapsedTimer wall;
    wall.start();
    loop.waitForEvents(300);
    const qint64 took = wall.elapsed();
    QVERIFY2(took >= 250 && took < 1500, qPrintable(QString::number(took)));
}

void TestEventLoop::waitWakesForAnEventAndHandlesIt() {
    QtEventLoop loop;
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    QElapsedTimer wall;
    wall.start();
    while (!fired && wall.elapsed() < 3000) loop.waitForEvents(2000);
    QVERIFY(fired);
    QVERIFY2(wall.elapsed() < 1000, qPrintable(QString::number(wall.elapsed())));
}

void TestEventLoop::waitHandlesPostedEvents() {
    QtEventLoop loop;
    QObject receiver;
    int calls = 0;
    QMetaObject::invokeMethod(&receiver, [&] { ++calls; }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(&receiver, [&] { ++calls; }, Qt::QueuedConnection);
    QElapsedTimer wall;
    wall.start();
    loop.waitForEvents(1000);
    QCOMPARE(calls, 2);
    QVERIFY2(wall.elapsed() < 500, qPrintable(QString::number(wall.elapsed())));
}

void TestEventLoop::yieldOnceHandlesPendingEvents() {
    QtEventLoop loop;
    QObject receiver;
    bool called = false;
    QMetaObject::invokeMethod(&receiver, [&] { called = true; }, Qt::QueuedConnection);
    QElapsedTimer wall;
    wall.start();
    loop.yieldOnce();
    QVERIFY(called);
    loop.yieldOnce();   // nothing pending: returns at once
    QVERIFY(wall.elapsed() < 200);
}

// A handler run during a wait may wait itself (a session handler inside a
// countdown); both waits end properly and each sees its events.
void TestEventLoop::waitInsideAHandlerOfAWait() {
    QtEventLoop loop;
    bool innerDone = false, outerSawLater = false;
    QTimer::singleShot(20, [&] {
        QElapsedTimer inner;
        inner.start();
        while (inner.elapsed() < 200) loop.waitForEvents(50);
        innerDone = true;
    });
    QTimer::singleShot(100, [&] { outerSawLater = true; });
    QElapsedTimer wall;
    wall.start();
    while (!(innerDone && outerSawLater) && wall.elapsed() < 3000) loop.waitForEvents(50);
    QVERIFY(innerDone);
    QVERIFY(outerSawLater);
    QVERIFY(wall.elapsed() < 1500);
}

QTEST_GUILESS_MAIN(TestEventLoop)
#include "tst_event_loop.moc"
