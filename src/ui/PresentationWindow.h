#pragma once
#include <QWidget>
#include <array>
#include <optional>

#include "model/Module1.h"
#include "run/RoundResults.h"

class QChartView;
class QLabel;
class QStackedWidget;

// The window "発表": the round for a room, full-screen on a screen of its own
// in large type. While a round plays it shows the question being asked and
// its countdown and, once that question's answers are fetched and ranked,
// how they were answered and the top ten; after the round the final ranking
// with a podium for the first three. It never asks for anything itself: the
// round's own updates reach it through the main window (see the calls
// below), so it costs nothing between them. Esc closes it.
class PresentationWindow : public QWidget {
    Q_OBJECT
public:
    explicit PresentationWindow(const Module1& module1, QWidget* parent = nullptr);
    ~PresentationWindow() override;

    // Opened with no round playing: the stored results of `round` with the
    // podium, or, for a round not yet played (empty `round`: the current
    // one), its title alone.
    void showStoredRound(const SjisText& round);
    // Opened while a round plays: what it has reached so far.
    void showRunningRound();

    // The round's updates, as the main window receives them.
    void roundStarted();
    void participantsJoined(int count);
    // A countdown of `totalMs` starts, for the invitation or for the
    // question being played; `elapsedMs` of it have passed.
    void countdownStarted(int totalMs);
    void countdownAt(int totalMs, int elapsedMs);
    // The question being played has been fetched, scored and ranked.
    void questionRanked();
    void roundEnded();

    QLabel* Title;
    QLabel* Stage;
    QLabel* Countdown;
    QLabel* Joined;
    QLabel* TieRule;            // why players level on points have ranks of their own
    QStackedWidget* Pages;      // the round being played, or its end
    QChartView* Answers;        // the last ranked question's answers
    std::array<QLabel*, 10> Ranking{};   // the top ten beside them
    std::array<QLabel*, 3> Podium{};     // first, second, third
    std::array<QLabel*, 7> Places{};     // fourth to tenth below the podium

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    QWidget* buildLivePage();
    QWidget* buildFinalPage();
    // Type sized to the screen: `unit` pixels is a 32nd of its height.
    void scaleType();
    void setStage(const QString& text);
    void showTitle(const SjisText& round);
    void showLiveResults(const RoundResults& results, int question);
    void showFinal(const RoundResults& results);
    void showAnswers(const RoundResults& results, int question);
    void showTieRule(const RoundResults& results);
    void showRemaining(int ms);

    const Module1& m_;
    // The results up to the last question ranked in the round playing.
    std::optional<RoundResults> ranked_;
};
