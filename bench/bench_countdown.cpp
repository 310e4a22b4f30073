// Processor time spent by the reply countdown while it waits. The countdown
// runs on a clock six times faster than the wall clock, so one minute of
// reply time (60 steps, every one redrawing the status line and the progress
// bar of the main window) passes in ten seconds. Also measures a plain
// ten-second wait(). Not a test: run by hand and read the figures.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <cstdio>

#include "run/Waiting.h"
#include "support/ProcessTime.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/Widgets.h"

namespace {

// The wall clock, sped up.
class FastClock : public Clock {
public:
    explicit FastClock(int factor) : factor_(factor) { timer_.start(); }
    std::uint32_t tickCount() override { return std::uint32_t(timer_.elapsed() * factor_); }
    std::string localTimeHHMM() override { return "12:00"; }

private:
    QElapsedTimer timer_;
    int factor_;
};

// The countdown drawn on the main window, as a round draws it.
class Form1Countdown : public CountdownView {
public:
    explicit Form1Countdown(Form1& f) : form_(f) {}
    void setStatusText(const SjisText& text) override { setText(form_.Text7, text); }
    void setProgressMax(int max) override { form_.ProgressBar1->setMaximum(max); }
    void setProgressMin(int min) override { form_.ProgressBar1->setMinimum(min); }
    void setProgressStyle(int) override {}
    void setProgressValue(int value) override { form_.ProgressBar1->setValue(value); }

private:
    Form1& form_;
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
    Form1Countdown view(form);
    wall.restart();
    cpu = cpuSeconds();
    Countdown(world.platform, view, sjis("第1問"), 1);
    const double used = cpuSeconds() - cpu;
    const qint64 ms = wall.elapsed();
    std::printf("countdown of 1 minute at 6x (60 steps): %lld ms wall, CPU %.3f s (%.1f %% of one core)\n",
                (long long)ms, used, 100.0 * used * 1000.0 / double(ms));
    std::printf("last status: %s\n", qPrintable(form.Text7->text()));
    return 0;
}
