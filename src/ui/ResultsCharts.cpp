#include "ui/ResultsCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "platform/qt/Charset.h"
#include "ui/ResultsTexts.h"
#include "ui/Widgets.h"

namespace {

using namespace ResultsTexts;

// The right choice stands out from the others.
const QColor kBarColour(0x4a, 0x7e, 0xbb);
const QColor kRightColour(0x2e, 0x9e, 0x4f);

bool hasQuestion(const RoundResults& r, int q) { return q >= 1 && q <= r.questionCount; }

// Bars of one chart: label and value each.
struct Bars {
    QStringList labels;
    QList<qreal> values;
    int marked = -1;   // the bar drawn in the right answer's colour
};

// On the axis, where room is short, and as a screen reader says it.
enum class Wording { Axis, Spoken };

QString choiceLabel(const QuestionTally& t, int choice, Wording wording) {
    if (choice != t.correctChoice) return QString::number(choice);
    return uiText(wording == Wording::Axis ? kCorrectChoice : kCorrectSpoken).arg(choice);
}

QString pointsLabel(const PointsBin& bin, Wording wording) {
    if (bin.low == bin.high)
        return wording == Wording::Axis ? QString::number(bin.low) : uiText(kPointsBin).arg(bin.low);
    return uiText(wording == Wording::Axis ? kPointsRangeShort : kPointsRange).arg(bin.low).arg(bin.high);
}

Bars barsOf(ResultsChart which, const RoundResults& r, int question, Wording wording) {
    Bars bars;
    switch (which) {
    case ResultsChart::Answers: {
        if (!hasQuestion(r, question)) break;
        const QuestionTally& t = r.questions[std::size_t(question - 1)];
        for (int c = 1; c <= int(t.perChoice.size()); ++c) {
            if (c == t.correctChoice) bars.marked = int(bars.labels.size());
            bars.labels << choiceLabel(t, c, wording);
            bars.values << t.perChoice[std::size_t(c - 1)];
        }
        bars.labels << uiText(kInvalid) << uiText(kUnanswered);
        bars.values << t.invalid() << t.unanswered;
        break;
    }
    case ResultsChart::ShareRight:
        for (int q = 1; q <= r.questionCount; ++q) {
            bars.labels << QString::number(q);
            bars.values << r.percentRight(q);
        }
        break;
    case ResultsChart::Points:
        for (const PointsBin& bin : r.histogram) {
            bars.labels << pointsLabel(bin, wording);
            bars.values << bin.count;
        }
        break;
    case ResultsChart::Turnout:
        bars.labels << uiText(kInvited) << uiText(kJoined) << uiText(kFinished);
        bars.values << r.turnout.invited << r.turnout.joined << r.turnout.finished;
        break;
    }
    return bars;
}

QString titleOf(ResultsChart which, const RoundResults& r, int question) {
    if (which == ResultsChart::Answers && hasQuestion(r, question)) {
        const QuestionTally& t = r.questions[std::size_t(question - 1)];
        return uiText(kAnswersTitle).arg(question).arg(t.answered()).arg(t.unanswered);
    }
    return chartName(which, r, question);
}

// The ticks of a count axis up to `top`: whole people, 1, 2, 5, 10, … per
// tick, at most about six ticks.
int countStep(qreal top) {
    for (int decade = 1;; decade *= 10)
        for (int s : {1, 2, 5})
            if (s * decade * 6 >= top) return s * decade;
}

// A value axis from 0 to at least `least`, a tick every `step`.
QValueAxis* valueAxis(int least, int step) {
    auto* axis = new QValueAxis;
    axis->setRange(0, least);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%d"));
    return axis;
}

// The chart's words and numbers whole, wherever the chart is laid out (the
// window at any scale, a picture, a page): once the chart knows where its
// bars go, the bars' names stand upright where they fit side by side and
// slant where they do not, and the value axis reaches high enough above
// the highest bar for its number to stand clear of the bar's edge. Each
// change lays the chart out again, which calls this again; it settles at
// once, since neither change alters the width the names have.
void keepLabelsWhole(QChart* chart, QAbstractAxis* names, const QStringList& shown, QValueAxis* values,
                     const QBarSet* set, bool valuesShown, qreal highest, int step, int least) {
    names->setTruncateLabels(false);
    QObject::connect(chart, &QChart::plotAreaChanged, names, [=](const QRectF& plot) {
        if (plot.width() <= 0 || plot.height() <= 0 || shown.isEmpty()) return;
        const QFontMetricsF type(names->labelsFont());
        qreal widest = 0;
        for (const QString& name : shown) widest = std::max(widest, type.horizontalAdvance(name));
        // A little space between two names.
        const int angle = widest + type.averageCharWidth() <= plot.width() / shown.size() ? 0 : -45;
        if (names->labelsAngle() != angle) names->setLabelsAngle(angle);

        if (!valuesShown) return;
        // The number above a bar takes its line's height and a little more.
        const qreal share = QFontMetricsF(set->labelFont()).height() * 1.4 / plot.height();
        if (share >= 0.8) return;
        const qreal needed = highest / (1.0 - share);
        const int upper = std::max(least, int(std::ceil(needed / step)) * step);
        if (int(values->max()) != upper) values->setRange(0, upper);
    });
}

// Up to twenty questions each get a label; more get one every ten.
QAbstractAxis* questionAxis(const QStringList& labels) {
    if (labels.size() <= 20) {
        auto* axis = new QBarCategoryAxis;
        axis->append(labels);
        axis->setTitleText(uiText(kQuestionAxis));
        return axis;
    }
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-0.5);
    for (int i = 0; i < labels.size(); ++i)
        if (i == 0 || (i + 1) % 10 == 0) axis->append(labels[i], i);
    axis->setRange(-0.5, labels.size() - 0.5);
    axis->setTitleText(uiText(kQuestionAxis));
    return axis;
}

}  // namespace

QChart* makeResultsChart(ResultsChart which, const RoundResults& results, int question) {
    auto* chart = new QChart;
    chart->setTitle(titleOf(which, results, question));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    const Bars bars = barsOf(which, results, question, Wording::Axis);
    if (bars.values.isEmpty()) return chart;

    auto* set = new QBarSet(chart->title());
    set->append(bars.values);
    set->setColor(kBarColour);
    set->setSelectedColor(kRightColour);
    if (bars.marked >= 0) set->selectBar(bars.marked);
    set->setLabelColor(Qt::black);
    auto* series = new QBarSeries;
    series->append(set);
    // A hundred questions still get bars that can be told apart.
    series->setBarWidth(0.8);
    series->setLabelsVisible(bars.values.size() <= 20);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    chart->addSeries(series);

    const qreal highest = *std::max_element(bars.values.begin(), bars.values.end());
    QAbstractAxis* x = nullptr;
    QValueAxis* y = nullptr;
    // A percentage runs to 100 and a count to a whole tick above the highest
    // bar, or higher where the bar's number needs the room.
    const int step = which == ResultsChart::ShareRight ? 20 : countStep(highest);
    const int least = which == ResultsChart::ShareRight ? 100 : std::max(step, int(std::ceil(highest / step)) * step);
    y = valueAxis(least, step);
    if (which == ResultsChart::ShareRight) {
        x = questionAxis(bars.labels);
        y->setTitleText(uiText(kPercentAxis));
    } else {
        auto* categories = new QBarCategoryAxis;
        categories->append(bars.labels);
        if (which == ResultsChart::Answers) categories->setTitleText(uiText(kChoiceAxis));
        if (which == ResultsChart::Points) categories->setTitleText(uiText(kPointsAxis));
        // Ten ranges of points or twelve bars of answers share a small chart.
        QFont font = categories->labelsFont();
        if (bars.labels.size() > 4) font.setPointSizeF(font.pointSizeF() * 0.85);
        categories->setLabelsFont(font);
        x = categories;
    }
    const QStringList names = qobject_cast<QCategoryAxis*>(x) ? static_cast<QCategoryAxis*>(x)->categoriesLabels()
                                                              : bars.labels;
    keepLabelsWhole(chart, x, names, y, set, series->isLabelsVisible(), highest, step, least);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    return chart;
}

QString chartName(ResultsChart which, const RoundResults& results, int question) {
    switch (which) {
    case ResultsChart::Answers:
        return hasQuestion(results, question) ? uiText(kAnswersName).arg(question) : uiText(kAnswersNone);
    case ResultsChart::ShareRight: return uiText(kShareTitle);
    case ResultsChart::Points: return uiText(kPointsTitle);
    case ResultsChart::Turnout: return uiText(kTurnoutTitle);
    }
    return {};
}

QString chartAlternative(ResultsChart which, const RoundResults& r, int question) {
    const QString name = chartName(which, r, question);
    const Bars bars = barsOf(which, r, question, Wording::Spoken);
    if (bars.values.isEmpty() || (which == ResultsChart::Points && r.participants() == 0))
        return uiText(kNothingAlt).arg(name);
    QStringList items;
    switch (which) {
    case ResultsChart::Answers: {
        const QuestionTally& t = r.questions[std::size_t(question - 1)];
        const auto& texts = r.choiceTexts[std::size_t(question - 1)];
        for (int c = 1; c <= int(t.perChoice.size()); ++c)
            items << uiText(kChoicePeople)
                         .arg(choiceLabel(t, c, Wording::Spoken), Charset::toQt(texts[std::size_t(c - 1)]))
                         .arg(t.perChoice[std::size_t(c - 1)]);
        items << uiText(kPeople).arg(uiText(kInvalid)).arg(t.invalid());
        items << uiText(kPeople).arg(uiText(kUnanswered)).arg(t.unanswered);
        return uiText(kAnswersAlt).arg(question).arg(items.join(uiText(kListSeparator))).arg(t.answered())
            .arg(t.unanswered);
    }
    case ResultsChart::ShareRight:
        for (int q = 1; q <= r.questionCount; ++q)
            items << uiText(kShareItem).arg(q).arg(r.percentRight(q)).arg(r.questions[std::size_t(q - 1)].right)
                         .arg(r.participants());
        return uiText(kShareAlt).arg(items.join(uiText(kListSeparator)));
    case ResultsChart::Points:
    case ResultsChart::Turnout:
        for (int i = 0; i < bars.labels.size(); ++i)
            items << uiText(kPeople).arg(bars.labels[i]).arg(int(bars.values[i]));
        return uiText(which == ResultsChart::Points ? kPointsAlt : kTurnoutAlt).arg(items.join(uiText(kListSeparator)));
    }
    return {};
}

QString chartFileName(ResultsChart which, const RoundResults& results, int question) {
    const QString round = Charset::toQt(results.round);
    QString stem;
    switch (which) {
    case ResultsChart::Answers: stem = uiText(kAnswersFile).arg(round).arg(question); break;
    case ResultsChart::ShareRight: stem = uiText(kShareFile).arg(round); break;
    case ResultsChart::Points: stem = uiText(kPointsFile).arg(round); break;
    case ResultsChart::Turnout: stem = uiText(kTurnoutFile).arg(round); break;
    }
    return stem + QStringLiteral(".png");
}

QChart* layOutResultsChart(QGraphicsScene& scene, QSize size, ResultsChart which, const RoundResults& results,
                           int question) {
    QChart* chart = makeResultsChart(which, results, question);
    scene.addItem(chart);   // the scene owns it from here
    chart->resize(size);
    // The chart places its axes and bars when its layout request arrives;
    // fitting its labels to that place asks for one more.
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::sendPostedEvents(chart, QEvent::LayoutRequest);
        if (chart->layout()) chart->layout()->activate();
    }
    scene.setSceneRect(QRectF(QPointF(0, 0), QSizeF(size)));
    return chart;
}

void drawResultsChart(QPainter& painter, const QRectF& target, QSize size, ResultsChart which,
                      const RoundResults& results, int question) {
    // A scene of its own, never shown: the chart is laid out at `size` as a
    // window of that size would show it, then drawn scaled into `target`.
    QGraphicsScene scene;
    layOutResultsChart(scene, size, which, results, question);
    scene.render(&painter, target, scene.sceneRect());
}

QImage resultsChartImage(ResultsChart which, const RoundResults& results, int question, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawResultsChart(painter, QRectF(QPointF(0, 0), QSizeF(size)), size, which, results, question);
    return image;
}
