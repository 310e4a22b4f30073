// Processor time spent by the reply countdown while it waits. The countdown
// runs on a clock six times faster than the wall clock, so one minute of
// reply time (60 steps, every one redrawing the status line and the progress
// bar of the main window) passes in ten seconds; then once more with the
// presentation window open full-screen, which draws every step too. Also
// measures a plain ten-second wait(). Not a test: run by hand and read the
// figures.

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>

#include "run/Waiting.h"
#include "support/ProcessTime.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/Form1RoundView.h"
#include "ui/PresentationWindow.h"

namespace {

// The wall clock, sped up.
class FastClock : public Clock {
public:
    explicit FastClock(int factor) : factor_(factor) { timer_.start(); }
    std::uint32_t tickCount() override { return std::uint32_t(timer_.elapsed() * factor_); }
    std::string localTimeHHMM() override { return "12:00"; }
    WallTime wallTime() override { return {}; }

private:
    QElapsedTimer timer_;
    int factor_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestWorld world;
    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();

    QElapsedTimer wall;
    wall.start();
    double cpu = cpuSeconds();
    wait(world.platform, 10000);
    std::printf("wait(10000): %lld ms wall, CPU %.3f s\n", (long long)wall.elapsed(), cpuSeconds() - cpu);

    FastClock fast(6);
    world.useClock(fast);
    Form1RoundView view(form);   // the main window's view of a round, as START uses it
    // The share of one core a countdown of one minute takes, shown as `what`.
    const auto measure = [&](const char* what) {
        wall.restart();
        const double before = cpuSeconds();
        Countdown(world.platform, view, sjis("第1問"), 1);
        const double used = cpuSeconds() - before;
        const qint64 ms = wall.elapsed();
        const double share = 100.0 * used * 1000.0 / double(ms);
        std::printf("countdown of 1 minute at 6x (60 steps), %s: %lld ms wall, CPU %.3f s (%.2f %% of one core)\n",
                    what, (long long)ms, used, share);
        return share;
    };
    const double alone = measure("main window");
    std::printf("last status: %s\n", qPrintable(form.Text7->text()));
    form.PresentButton->click();
    if (!form.presentation()) return std::puts("the presentation window did not open"), 1;
    const double presented = measure("presentation open");
    std::printf("last countdown shown: %s\n", qPrintable(form.presentation()->Countdown->text()));
    // Six steps a second here; a real round draws one a second.
    std::printf("the presentation's share: %.2f %% of one core at 6x, %.2f %% at the speed of a round\n",
                presented - alone, (presented - alone) / 6.0);
    return 0;
}
