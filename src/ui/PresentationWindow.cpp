#include "ui/PresentationWindow.h"

#include <QAbstractAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/qt/Charset.h"
#include "run/RoundSetup.h"
#include "ui/JapaneseFont.h"
#include "ui/PresentationTexts.h"
#include "ui/ResultsCharts.h"
#include "ui/ResultsTexts.h"
#include "ui/ValueLabel.h"
#include "ui/Widgets.h"

namespace {

using namespace PresentationTexts;

enum Page { kLivePage = 0, kFinalPage = 1 };

// Heights of the podium's steps, first, second and third, in type units.
constexpr double kStepHeight[] = {7.0, 5.0, 3.5};
const QColor kStepColour[] = {QColor(0xd4, 0xa0, 0x17), QColor(0xa8, 0xa9, 0xad), QColor(0xb0, 0x6d, 0x3a)};

QFont sized(const QWidget* w, double px, bool bold = false) {
    QFont f = w->font();
    f.setPixelSize(std::max(1, int(px)));
    f.setBold(bold);
    return f;
}

// The chart's words at the size of the rest of the screen's type.
void enlarge(QChart* chart, const QFont& font) {
    QFont title = font;
    title.setBold(true);
    title.setPixelSize(font.pixelSize() * 5 / 4);
    chart->setTitleFont(title);
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(font);
        axis->setTitleFont(font);
        // The screen is wide enough for 無回答 whole; the axis would cut it.
        axis->setTruncateLabels(false);
    }
    for (QAbstractSeries* s : chart->series())
        if (auto* bars = qobject_cast<QBarSeries*>(s))
            for (QBarSet* set : bars->barSets()) set->setLabelFont(font);
}

// `page` with `main` on the left and, on the right, `count` lines of the
// ranking from place `first` on, made into `rows`.
QWidget* besideRankList(QWidget* page, QWidget* main, QLabel** rows, std::size_t count, int first) {
    auto* list = new QWidget(page);
    list->setAccessibleName(uiText(kRankingName));
    auto* lines = new QVBoxLayout(list);
    // The face's own line spacing (ample in a Japanese face) keeps the lines
    // apart; the layout adds none, so ten lines fit a short screen.
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(0);
    for (std::size_t i = 0; i < count; ++i) {
        rows[i] = new ValueLabel(uiText(kRowName).arg(first + int(i)), list);
        lines->addWidget(rows[i]);
    }
    lines->addStretch();
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(main, 3);
    layout->addWidget(list, 2);
    return page;
}

QString rankRow(const ResultRow& row) {
    return uiText(kRow).arg(row.rank).arg(Charset::toQt(row.name)).arg(row.points);
}

}  // namespace

PresentationWindow::PresentationWindow(const Module1& module1, QWidget* parent)
    : QWidget(parent, Qt::Window), m_(module1) {
    buildControls();
}

PresentationWindow::~PresentationWindow() = default;

void PresentationWindow::buildControls() {
    setWindowTitle(uiText(kWindow));
    setAccessibleName(uiText(kWindow));
    QPalette page = palette();
    page.setColor(QPalette::Window, Qt::white);
    page.setColor(QPalette::WindowText, Qt::black);
    setPalette(page);
    setAutoFillBackground(true);
    // Every line of the room's screen in one face, its digits and Latin
    // letters included, bold in that face's own bold.
    QFont type = font();
    type.setFamily(japaneseFamily(type));
    setFont(type);

    Title = new ValueLabel(uiText(kTitleName), this);
    Joined = new ValueLabel(uiText(kJoinedName), this);
    Joined->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Stage = new ValueLabel(uiText(kStageName), this);
    Countdown = new ValueLabel(uiText(kCountdownName), this);
    Countdown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Pages = new QStackedWidget(this);
    Pages->addWidget(buildLivePage());
    Pages->addWidget(buildFinalPage());
    TieRule = captionLabel(uiText(ResultsTexts::kTieRule), this);
    TieRule->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TieRule->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(Title, 1);
    top->addWidget(Joined);
    auto* stage = new QHBoxLayout;
    stage->addWidget(Stage, 1);
    stage->addWidget(Countdown);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(stage);
    layout->addWidget(Pages, 1);
    layout->addWidget(TieRule);
    scaleType();
}

QWidget* PresentationWindow::buildLivePage() {
    auto* live = new QWidget(this);
    Answers = new QChartView(live);
    Answers->setRenderHint(QPainter::Antialiasing);
    Answers->hide();   // until a question has been ranked
    return besideRankList(live, Answers, Ranking.data(), Ranking.size(), 1);
}

QWidget* PresentationWindow::buildFinalPage() {
    auto* final = new QWidget(this);
    auto* podium = new QWidget(final);
    podium->setAccessibleName(uiText(kPodiumName));
    auto* steps = new QHBoxLayout(podium);
    // Second, first, third from the left, as podiums stand.
    for (std::size_t place : {1u, 0u, 2u}) {
        Podium[place] = new ValueLabel(uiText(kPodiumPlaceName).arg(place + 1), podium);
        Podium[place]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        auto* step = new QLabel(uiText(kPlace).arg(place + 1), podium);
        step->setObjectName(QStringLiteral("step%1").arg(place + 1));
        step->setAlignment(Qt::AlignCenter);
        step->setAutoFillBackground(true);
        QPalette colour = step->palette();
        colour.setColor(QPalette::Window, kStepColour[place]);
        step->setPalette(colour);
        step->setAccessibleName(step->text());
        auto* column = new QVBoxLayout;
        column->addStretch();
        column->addWidget(Podium[place]);
        column->addWidget(step);
        steps->addLayout(column, 1);
    }
    return besideRankList(final, podium, Places.data(), Places.size(), 1 + int(Podium.size()));
}

// Nothing in the window takes keys: Esc reaches it wherever the focus is.
void PresentationWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PresentationWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scaleType();
}

void PresentationWindow::scaleType() {
    // A Japanese face spaces its lines wider than a Latin one: at a 32nd of
    // the height, the title, the stage and ten lines of the ranking still
    // leave room on the shortest screen. Were they taller than the window,
    // the window would grow, and its type with it, past the screen.
    const double unit = std::max(height(), 300) / 32.0;
    Title->setFont(sized(this, 1.6 * unit, true));
    Joined->setFont(sized(this, 1.6 * unit));
    Stage->setFont(sized(this, 3.5 * unit, true));
    Countdown->setFont(sized(this, 3.5 * unit, true));
    for (QLabel* row : Ranking) row->setFont(sized(this, 1.3 * unit));
    for (QLabel* row : Places) row->setFont(sized(this, 1.3 * unit));
    TieRule->setFont(sized(this, 0.9 * unit));
    for (std::size_t place = 0; place < Podium.size(); ++place) {
        Podium[place]->setFont(sized(this, (place == 0 ? 2.0 : 1.6) * unit, true));
        auto* step = findChild<QLabel*>(QStringLiteral("step%1").arg(place + 1));
        step->setFont(sized(this, 2.5 * unit, true));
        step->setFixedHeight(int(kStepHeight[place] * unit));
    }
    // The axis names six choices and two kinds of no answer side by side.
    if (Answers->chart()) enlarge(Answers->chart(), sized(this, 0.9 * unit));
}

void PresentationWindow::setStage(const QString& text) { Stage->setText(text); }

void PresentationWindow::showTitle(const SjisText& round) {
    Title->setText(uiText(kTitle).arg(Charset::toQt(round)));
}

// ---- Opening ----------------------------------------------------------------

void PresentationWindow::showStoredRound(const SjisText& round) {
    ranked_.reset();
    Countdown->clear();
    if (round.empty()) {
        showTitle(m_.quizRun.RoundNumber);
        Joined->clear();
        setStage(uiText(kBeforeStart));
        showLiveResults(RoundResults{}, 0);
        return;
    }
    const RoundResults results = loadRoundResults(*m_.platform.files, round);
    showTitle(round);
    if (results.participants() == 0) {
        Joined->clear();
        setStage(uiText(kNoResults));
        showLiveResults(RoundResults{}, 0);
        return;
    }
    Joined->setText(uiText(kJoined).arg(results.participants()));
    showFinal(results);
}

void PresentationWindow::showRunningRound() {
    const QuizRun& run = m_.quizRun;
    showTitle(run.RoundNumber);
    const int participants = run.participants.ParticipantCount;
    if (participants > 0) participantsJoined(participants); else Joined->clear();
    Countdown->clear();
    const int q = run.CurrentQuestion;
    setStage(q > 0 ? uiText(kQuestion).arg(q) : uiText(kInviting));
    // The questions before the one being played have been ranked; past the
    // last one, the closing mail is going out.
    const int ranked = std::max(0, q - 1);
    if (ranked == 0) {
        ranked_.reset();
        showLiveResults(RoundResults{}, 0);
        return;
    }
    ranked_ = buildRoundResults(run, m_.questionSet, ranked);
    if (ranked == QuestionCountOf(m_.questionSet).value_or(0))
        showFinal(*ranked_);
    else
        showLiveResults(*ranked_, ranked);
}

// ---- The round's updates ----------------------------------------------------

void PresentationWindow::roundStarted() {
    ranked_.reset();
    showTitle(m_.quizRun.RoundNumber);
    Joined->clear();
    Countdown->clear();
    setStage(uiText(kBeforeStart));
    showLiveResults(RoundResults{}, 0);
}

void PresentationWindow::participantsJoined(int count) { Joined->setText(uiText(kJoined).arg(count)); }

void PresentationWindow::countdownStarted(int totalMs) {
    const int q = m_.quizRun.CurrentQuestion;
    // Past the last question (caught up after the round's last countdown)
    // the final ranking stays.
    if (q > QuestionCountOf(m_.questionSet).value_or(0)) return;
    setStage(q > 0 ? uiText(kQuestion).arg(q) : uiText(kInviting));
    showRemaining(totalMs);
}

void PresentationWindow::countdownAt(int totalMs, int elapsedMs) {
    if (Pages->currentIndex() == kLivePage) showRemaining(totalMs - elapsedMs);
}

void PresentationWindow::showRemaining(int ms) {
    if (ms <= 0) {
        Countdown->setText(uiText(kClosed));
        return;
    }
    const int seconds = (ms + 999) / 1000;
    Countdown->setText(uiText(kCountdown).arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void PresentationWindow::questionRanked() {
    const int question = m_.quizRun.CurrentQuestion;
    ranked_ = buildRoundResults(m_.quizRun, m_.questionSet, question);
    Countdown->setText(uiText(kClosed));
    showLiveResults(*ranked_, question);
}

void PresentationWindow::roundEnded() {
    Countdown->clear();
    const int questions = QuestionCountOf(m_.questionSet).value_or(0);
    // The questions ranked are those the results were worked out for.
    if (ranked_ && ranked_->questionCount > 0 && ranked_->questionCount == questions)
        showFinal(*ranked_);
    else
        setStage(uiText(kEnded));
}

// ---- Pages --------------------------------------------------------------------

void PresentationWindow::showLiveResults(const RoundResults& results, int question) {
    Pages->setCurrentIndex(kLivePage);
    showAnswers(results, question);
    for (std::size_t i = 0; i < Ranking.size(); ++i)
        Ranking[i]->setText(i < results.rows.size() ? rankRow(results.rows[i]) : QString());
    showTieRule(results);
}

void PresentationWindow::showTieRule(const RoundResults& results) { TieRule->setVisible(results.hasTies()); }

void PresentationWindow::showAnswers(const RoundResults& results, int question) {
    Answers->setVisible(question > 0);
    if (question <= 0) return;
    QChart* old = Answers->chart();
    Answers->setChart(makeResultsChart(ResultsChart::Answers, results, question));
    delete old;   // the view lets go of the chart it had without deleting it
    scaleType();
    Answers->setAccessibleName(chartName(ResultsChart::Answers, results, question));
    Answers->viewport()->setAccessibleName(Answers->accessibleName());
    Answers->setAccessibleDescription(chartAlternative(ResultsChart::Answers, results, question));
}

void PresentationWindow::showFinal(const RoundResults& results) {
    setStage(uiText(kFinal));
    Countdown->clear();
    Pages->setCurrentIndex(kFinalPage);
    for (std::size_t place = 0; place < Podium.size(); ++place) {
        const bool filled = place < results.rows.size();
        const ResultRow* row = filled ? &results.rows[place] : nullptr;
        Podium[place]->setText(row ? uiText(kPlayer).arg(Charset::toQt(row->name)).arg(row->points) : QString());
    }
    for (std::size_t i = 0; i < Places.size(); ++i) {
        const std::size_t at = i + Podium.size();
        Places[i]->setText(at < results.rows.size() ? rankRow(results.rows[at]) : QString());
    }
    showTieRule(results);
}
