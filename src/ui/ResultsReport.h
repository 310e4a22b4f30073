#pragma once
#include <QByteArray>
#include <QDate>

#include "run/RoundResults.h"

// The one-page report of a round (A4, PDF): its title, the day it was held
// and the day the report was made, the ranking's top twenty, and the four
// charts, the answers chart for `question`.
inline constexpr int kReportTopRanks = 20;
QByteArray resultsReportPdf(const RoundResults& results, int question, const QDate& held, const QDate& made);
