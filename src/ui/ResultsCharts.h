#pragma once
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include "run/RoundResults.h"

class QChart;
class QGraphicsScene;
class QPainter;

// The four charts of a round's results, made afresh from its numbers for the
// window, for a picture file and for the report alike, with the words a
// screen reader says for each.
enum class ResultsChart {
    Answers,      // one question: how many chose each choice, the right one marked
    ShareRight,   // every question: the share of participants who got it right
    Points,       // how the participants' points spread
    Turnout,      // invited, joined, replied to the last question
};
inline constexpr ResultsChart kResultsCharts[] = {ResultsChart::Answers, ResultsChart::ShareRight,
                                                  ResultsChart::Points, ResultsChart::Turnout};

// A new chart (the caller owns it). `question` (1..Q) is the answers chart's.
QChart* makeResultsChart(ResultsChart which, const RoundResults& results, int question);

// The chart's short name, as a screen reader announces it.
QString chartName(ResultsChart which, const RoundResults& results, int question);
// Its text alternative: every number it draws, in words.
QString chartAlternative(ResultsChart which, const RoundResults& results, int question);
// The name its picture file is offered under, ".png" included.
QString chartFileName(ResultsChart which, const RoundResults& results, int question);

// A new chart in `scene` (which owns it), laid out at `size`
// (device-independent pixels) as a window of that size would show it.
QChart* layOutResultsChart(QGraphicsScene& scene, QSize size, ResultsChart which, const RoundResults& results,
                           int question);
// The chart laid out at `size` (device-independent pixels) and drawn into
// `target` of `painter`, scaled to fit: a picture, or a part of a PDF page.
void drawResultsChart(QPainter& painter, const QRectF& target, QSize size, ResultsChart which,
                      const RoundResults& results, int question);
// The chart as a picture of `size` pixels on white.
QImage resultsChartImage(ResultsChart which, const RoundResults& results, int question, QSize size);
