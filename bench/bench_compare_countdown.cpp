// The waits of a round at real speed, on the real clock and event loop, with
// the main window drawn as a round draws it: a one-minute reply countdown
// (its processor share and how much longer than a minute it runs) and a
// plain ten-second wait. Prints table rows for bench/compare.sh; the
// countdown takes a minute of wall time. Not a test.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>

#include "run/Waiting.h"
#include "support/ProcessTime.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/Widgets.h"

namespace {

// The countdown drawn on the main window; remembers when each step began.
class Form1Countdown : public CountdownView {
public:
    explicit Form1Countdown(Form1& f) : form_(f) { wall_.start(); }
    void setStatusText(const SjisText& text) override {
        starts_.push_back(wall_.nsecsElapsed());
        setText(form_.Text7, text);
    }
    void setProgressMax(int max) override { form_.ProgressBar1->setMaximum(max); }
    void setProgressMin(int min) override { form_.ProgressBar1->setMinimum(min); }
    void setProgressStyle(int) override {}
    void setProgressValue(int value) override { form_.ProgressBar1->setValue(value); }

    // The shortest and longest step, in milliseconds (from one text to the
    // next; the "N分お待ち下さい" text is followed at once by the first step's).
    std::pair<double, double> stepRange() const {
        double shortest = 1e9, longest = 0;
        for (std::size_t i = 2; i < starts_.size(); ++i) {
            const double ms = double(starts_[i] - starts_[i - 1]) / 1e6;
            shortest = std::min(shortest, ms);
            longest = std::max(longest, ms);
        }
        return {shortest, longest};
    }

private:
    Form1& form_;
    QElapsedTimer wall_;
    std::vector<qint64> starts_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestWorld world;   // the real clock and event loop
    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();
    QCoreApplication::processEvents();

    QElapsedTimer wall;
    wall.start();
    double cpu = cpuSeconds();
    wait(world.platform, 10000);
    const double waitMs = double(wall.nsecsElapsed()) / 1e6;
    const double waitShare = 100.0 * (cpuSeconds() - cpu) * 1000.0 / waitMs;

    Form1Countdown view(form);
    wall.restart();
    cpu = cpuSeconds();
    Countdown(world.platform, view, sjis("第1問"), 1);
    const double countdownMs = double(wall.nsecsElapsed()) / 1e6;
    const double countdownShare = 100.0 * (cpuSeconds() - cpu) * 1000.0 / countdownMs;
    const double drift = 100.0 * (countdownMs - 60000.0) / 60000.0;
    const auto [shortest, longest] = view.stepRange();

    std::printf("ten-second wait: %.1f ms wall; one-minute countdown: %.1f ms wall, steps %.2f to %.2f ms\n", waitMs,
                countdownMs, shortest, longest);
    std::printf("| processor share, one-minute countdown | %.3f %% | — | — | ≤ 0.5 %% of a core |\n", countdownShare);
    std::printf("| processor share, ten-second wait | %.3f %% | — | — | — |\n", waitShare);
    std::printf("| countdown drift (its length over the minute) | +%.3f %% (%.0f ms) | — | — | ≤ 0.2 %% |\n", drift,
                countdownMs - 60000.0);
    std::printf("| shortest countdown step | %.1f ms | — | — | ≥ 1000 ms |\n", shortest);
    return 0;
}
