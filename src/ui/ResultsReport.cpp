#include "ui/ResultsReport.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

#include "platform/qt/Charset.h"
#include "ui/PdfTextMap.h"
#include "ui/ResultsCharts.h"
#include "ui/ResultsTableModel.h"
#include "ui/ResultsTexts.h"
#include "ui/Widgets.h"

namespace {

using namespace ResultsTexts;

QFont fontOf(qreal points, bool bold = false) {
    QFont f = QGuiApplication::font();
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(uiText(kDateFormat)) : QStringLiteral("-");
}

// The ranking's first rows: 順位, 名前, 点数, 正解数, 正解率 as the results
// table writes them. Addresses stay off a page meant to be handed round.
void drawTopRanks(QPainter& p, const QRectF& area, const RoundResults& r) {
    static constexpr ResultsTableModel::Column kColumns[] = {ResultsTableModel::Rank, ResultsTableModel::Name,
                                                             ResultsTableModel::Points, ResultsTableModel::Correct,
                                                             ResultsTableModel::Percent};
    static constexpr qreal kWidths[] = {0.1, 0.45, 0.15, 0.15, 0.15};
    const qreal rowHeight = area.height() / (kReportTopRanks + 1);
    auto row = [&](int i, auto text, bool bold) {
        p.setFont(fontOf(9, bold));
        qreal x = area.left();
        for (std::size_t c = 0; c < std::size(kColumns); ++c) {
            const qreal w = area.width() * kWidths[c];
            const QRectF cell(x, area.top() + i * rowHeight, w, rowHeight);
            const auto align = kColumns[c] == ResultsTableModel::Name ? Qt::AlignLeft : Qt::AlignHCenter;
            p.drawText(cell.adjusted(2, 0, -2, 0), int(align | Qt::AlignVCenter),
                       p.fontMetrics().elidedText(text(kColumns[c]), Qt::ElideRight, int(cell.width() - 4)));
            x += w;
        }
    };
    row(0, [](int column) { return ResultsTableModel::headerText(column); }, true);
    p.drawLine(QPointF(area.left(), area.top() + rowHeight), QPointF(area.right(), area.top() + rowHeight));
    const int shown = std::min(r.participants(), kReportTopRanks);
    for (int i = 0; i < shown; ++i)
        row(i + 1, [&](int column) { return ResultsTableModel::cellText(r, i, column); }, false);
    if (shown == 0) {
        p.setFont(fontOf(10));
        p.drawText(area.adjusted(0, rowHeight, 0, 0), int(Qt::AlignLeft | Qt::AlignTop), uiText(kNoResults));
    }
}

}  // namespace

QByteArray resultsReportPdf(const RoundResults& r, int question, const QDate& held, const QDate& made) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        const QString heading = uiText(kHeading).arg(Charset::toQt(r.round));
        QPdfWriter pdf(&buffer);
        pdf.setTitle(heading);
        pdf.setCreator(QStringLiteral("TRIVORN"));
        // One unit a point: the fonts below are sized as on paper.
        pdf.setResolution(72);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                      QPageLayout::Millimeter));
        QPainter p(&pdf);
        const QRectF page(0, 0, pdf.width(), pdf.height());
        qreal y = 0;
        auto line = [&](const QString& text, qreal points, bool bold, qreal height) {
            p.setFont(fontOf(points, bold));
            p.drawText(QRectF(0, y, page.width(), height), int(Qt::AlignLeft | Qt::AlignVCenter), text);
            y += height;
        };
        line(heading, 18, true, 30);
        line(uiText(kHeldOn).arg(dateText(held)) + QStringLiteral("　") + uiText(kMadeOn).arg(dateText(made)), 10,
             false, 18);
        y += 6;
        line(uiText(kTopRanks).arg(kReportTopRanks), 11, true, 18);
        const qreal tableHeight = 12.0 * (kReportTopRanks + 1);
        drawTopRanks(p, QRectF(0, y, page.width(), tableHeight), r);
        y += tableHeight + 12;

        // The four charts two by two in what is left, each laid out larger
        // than its place so that its lettering comes out small and sharp.
        const qreal w = page.width() / 2, h = (page.height() - y) / 2;
        int i = 0;
        for (ResultsChart which : kResultsCharts) {
            const QRectF target(w * (i % 2), y + h * (i / 2), w, h);
            const QSize layout = (target.size() * 1.6).toSize();
            drawResultsChart(p, target.adjusted(3, 3, -3, -3), layout, which, r, question);
            ++i;
        }
    }
    return withIdeographsInTextMaps(buffer.data());
}
