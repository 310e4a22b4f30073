// How long a question's mail to 250 players takes through a provider that
// takes 60 messages a minute from one account: the private Postfix's
// throttled listener, started with MAILSERVERS_THROTTLE=60, counts per 6 s,
// which is a minute of the round's clock here (it runs at ten times the
// speed, retry pauses and pacing with it). Prints, for the program's pace
// unset (as fast as the server takes them, the rest put off and tried
// again) and set to the provider's 60, the time until the last message was
// taken, against the limit's own rate (250 messages at 60 a minute) and the
// fastest the throttle allows (60 at once, then 60 at each new minute).
// Not a test: start the servers and run by hand; nothing else may use them.

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>

#include "demo/RealServers.h"
#include "mail/Transport.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

#include "SecondQuestion.h"

namespace {

constexpr int kPlayers = 250;
constexpr int kLimitPerMinute = 60;
constexpr int kSpeedUp = 10;

static_assert(kPlayers <= RealServers::playerCount);

// The round's clock at ten times the speed of the wall's.
class FastClock : public Clock {
public:
    FastClock() { wall_.start(); }
    std::uint32_t tickCount() override { return std::uint32_t(wall_.elapsed() * kSpeedUp); }
    std::string localTimeHHMM() override { return "12:00"; }
    WallTime wallTime() override { return {1796913912, 9 * 3600}; }

private:
    QElapsedTimer wall_;
};

struct Run {
    qint64 lastTakenMs = 0;
    int putOff = 0, delivered = 0;
};

Run sendThrottled(int perMinute) {
    Run run;
    QString error;
    if (!RealServers::emptyAllMailboxes(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return run;
    }
    // A fresh minute of the throttle for each run.
    QThread::msleep(RealServers::throttleUnitMs + 500);

    TestWorld world;
    FastClock clock;
    world.useClock(clock);
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    const OutgoingMail question = prepareSecondQuestion(
        m, kPlayers, [](int i) { return RealServers::playerAddress(i + 1).toStdString(); });
    m.transport.SmtpPort = storedPort(RealServers::throttledPort);
    m.transport.MessagesPerMinute = std::int16_t(perMinute);
    RoundMail& mail = form.roundMail();
    mail.onMailEvent = [&](const MailEvent& e) { run.putOff += e.kind == MailEvent::Kind::PutOff ? 1 : 0; };

    QElapsedTimer wall;
    wall.start();
    const MailingReport first = mail.send(question, true, {"Q", 30 * 60 * 1000});
    run.putOff += int(first.deferred.size());
    while (mail.owesMail()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        mail.retryDue();
    }
    run.lastTakenMs = wall.elapsed();
    for (int i = 0; i < kPlayers; ++i)
        run.delivered += RealServers::waitForMessages(RealServers::playerAddress(i + 1), 1, 10000) ? 1 : 0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString reason = RealServers::unavailableReason();
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        return 1;
    }
    const double minuteMs = RealServers::throttleUnitMs;
    const double atRate = kPlayers * minuteMs / kLimitPerMinute;
    const double fastest = ((kPlayers + kLimitPerMinute - 1) / kLimitPerMinute - 1) * minuteMs;
    std::printf("%d question mails, provider's limit %d a minute (a minute = %.0f ms here)\n", kPlayers,
                kLimitPerMinute, minuteMs);
    std::printf("limit's own rate: %.0f ms; fastest the throttle allows: %.0f ms\n", atRate, fastest);
    bool ok = true;
    for (const int pace : {0, kLimitPerMinute}) {
        const Run r = sendThrottled(pace);
        std::printf("pace %3d a minute: last taken after %lld ms (%.2fx the limit's rate), %d put off, "
                    "%d of %d delivered\n",
                    pace, (long long)r.lastTakenMs, r.lastTakenMs / atRate, r.putOff, r.delivered, kPlayers);
        ok = ok && r.delivered == kPlayers;
    }
    return ok ? 0 : 1;
}
