#include "ui/ResultsWindow.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSaveFile>
#include <QShortcut>
#include <QStackedWidget>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "model/FileNames.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "ui/ButtonKeys.h"
#include "ui/ResultsCsv.h"
#include "ui/ResultsReport.h"
#include "ui/ResultsTableModel.h"
#include "ui/ResultsTexts.h"
#include "ui/ValueLabel.h"
#include "ui/Widgets.h"
#include "ui/WindowPlacement.h"

namespace {

using namespace ResultsTexts;

// A picture of a chart is this large, whatever the window's size.
constexpr QSize kChartPicture(1000, 640);

QString askWithFileDialog(QWidget* parent, const QString& title, const QString& proposed, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}

int chartIndex(ResultsChart which) { return int(which); }

}  // namespace

ResultsWindow::ResultsWindow(Platform& platform, FolderSource dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      platform_(platform),
      dataFolder_(std::move(dataFolder)),
      saveDialog_(askWithFileDialog),
      results_(std::make_shared<RoundResults>()) {
    buildControls();
    // Room for the table's first columns and for the four charts at once.
    resize(960, 680);
    // Opened from the main window, it first stands over it, where the
    // operator is looking, rather than wherever the window system finds room.
    WindowPlacement::manage(this, WindowPlacement::FirstPlace::OverParent);
}

ResultsWindow::~ResultsWindow() = default;

void ResultsWindow::buildControls() {
    setWindowTitle(uiText(kWindow));
    setAccessibleName(uiText(kWindow));

    Heading = new QLabel(this);
    makeHeading(Heading);
    Heading->setAccessibleName(uiText(kHeadingName));
    Summary = new ValueLabel(uiText(kSummaryName), this);
    TieRule = captionLabel(uiText(kTieRule), this);
    makeSmallPrint(TieRule);

    // The table: every participant, sorted by the column clicked; the
    // ranking's own order (the model's) until then.
    model_ = new ResultsTableModel(this);
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(ResultsTableModel::SortRole);
    Table = new QTableView(this);
    Table->setModel(sorted_);
    Table->setAccessibleName(uiText(kTablePage));
    Table->setSortingEnabled(true);
    Table->sortByColumn(ResultsTableModel::Rank, Qt::AscendingOrder);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setAlternatingRowColors(true);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setDefaultSectionSize(72);
    Table->setMinimumSize(480, 200);

    // The charts, two by two, the answers chart with its question above it;
    // they scroll where the screen is too small for all four.
    QuestionBox = new QComboBox(this);
    nameComboBox(QuestionBox, uiText(kQuestionChoiceName));
    QLabel* questionCaption = captionLabel(uiText(kQuestionChoice), this, QuestionBox);
    auto* grid = new QGridLayout;
    for (ResultsChart which : kResultsCharts) {
        const int i = chartIndex(which);
        auto* view = new QChartView(this);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(320, 210);
        Charts[std::size_t(i)] = view;
        auto* save = new QPushButton(uiText(kSaveImage), this);
        SaveChartButtons[std::size_t(i)] = save;
        connect(save, &QPushButton::clicked, this, [this, which] { saveChart(which); });

        auto* cell = new QVBoxLayout;
        if (which == ResultsChart::Answers) {
            auto* choose = new QHBoxLayout;
            choose->addWidget(questionCaption);
            choose->addWidget(QuestionBox);
            choose->addStretch();
            cell->addLayout(choose);
        }
        cell->addWidget(view, 1);
        cell->addWidget(save, 0, Qt::AlignRight);
        grid->addLayout(cell, i / 2, i % 2);
    }
    QWidget* charts = scrollPage(grid, uiText(kChartsPage), this);
    connect(QuestionBox, &QComboBox::activated, this, [this](int index) { showQuestion(index + 1); });

    Pages = new QTabWidget(this);
    Pages->setAccessibleName(uiText(kPages));
    Pages->addTab(Table, uiText(kTablePage));
    Pages->addTab(charts, uiText(kChartsPage));
    // The pane that holds the pages is read out as a part of its own.
    for (QWidget* pane : Pages->findChildren<QStackedWidget*>(Qt::FindDirectChildrenOnly))
        pane->setAccessibleName(uiText(kPages));

    SaveCsvButton = new QPushButton(uiText(kSaveCsv), this);
    SavePdfButton = new QPushButton(uiText(kSavePdf), this);
    CloseButton = new QPushButton(uiText(kClose), this);
    for (QPushButton* b : {SaveCsvButton, SavePdfButton, CloseButton}) b->setAccessibleName(b->text());
    connect(SaveCsvButton, &QPushButton::clicked, this, [this] { saveCsv(); });
    connect(SavePdfButton, &QPushButton::clicked, this, [this] { savePdf(); });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SaveCsvButton);
    buttons->addWidget(SavePdfButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);

    auto* page = new QVBoxLayout(this);
    page->addWidget(Heading);
    page->addWidget(Summary);
    page->addWidget(TieRule);
    page->addWidget(Pages, 1);
    page->addLayout(buttons);
    giveButtonsTheirKeys(this);
}

void ResultsWindow::showRound(const SjisText& round) {
    results_ = std::make_shared<const RoundResults>(loadRoundResults(*platform_.files, round));
    const RoundResults& r = *results_;
    Heading->setText(uiText(kHeading).arg(Charset::toQt(r.round)));
    Summary->setText(r.participants() == 0
                         ? uiText(kNoResults)
                         : uiText(kSummary).arg(r.participants()).arg(r.questionCount).arg(r.totalPoints));
    TieRule->setVisible(r.hasTies());
    model_->setResults(results_);
    // The ranking's order again, whatever the last round was sorted by.
    Table->sortByColumn(ResultsTableModel::Rank, Qt::AscendingOrder);
    for (int c = ResultsTableModel::Rank; c < ResultsTableModel::FixedColumns; ++c) Table->resizeColumnToContents(c);

    const int keep = shownQuestion();
    QuestionBox->clear();
    for (int q = 1; q <= r.questionCount; ++q) QuestionBox->addItem(uiText(kQuestionItem).arg(q));
    QuestionBox->setCurrentIndex(keep >= 1 && keep <= r.questionCount ? keep - 1 : (r.questionCount > 0 ? 0 : -1));
    showCharts();
}

int ResultsWindow::shownQuestion() const { return QuestionBox->currentIndex() + 1; }

void ResultsWindow::showQuestion(int question) {
    if (question < 1 || question > results_->questionCount) return;
    QuestionBox->setCurrentIndex(question - 1);
    showChart(ResultsChart::Answers);
}

void ResultsWindow::showCharts() {
    for (ResultsChart which : kResultsCharts) showChart(which);
}

void ResultsWindow::showChart(ResultsChart which) {
    QChartView* view = Charts[std::size_t(chartIndex(which))];
    QChart* old = view->chart();
    view->setChart(makeResultsChart(which, *results_, shownQuestion()));
    delete old;   // the view lets go of the chart it had without deleting it
    view->setAccessibleName(chartName(which, *results_, shownQuestion()));
    view->viewport()->setAccessibleName(view->accessibleName());
    view->setAccessibleDescription(chartAlternative(which, *results_, shownQuestion()));
    view->setToolTip(view->accessibleDescription());
    SaveChartButtons[std::size_t(chartIndex(which))]->setAccessibleName(
        uiText(kSaveImageName).arg(view->accessibleName()));
}

void ResultsWindow::setSavingEnabled(bool on) {
    for (QPushButton* b : SaveChartButtons) b->setEnabled(on);
    SaveCsvButton->setEnabled(on);
    SavePdfButton->setEnabled(on);
}

// ---- Saving --------------------------------------------------------------

QString ResultsWindow::dataFolder() const {
    return dataFolder_ ? Charset::toQt(dataFolder_()) : QString();
}

QString ResultsWindow::askPath(const char* title, const QString& fileName, const char* filter) {
    const QString folder = dataFolder();
    const QString proposed = folder.isEmpty() ? fileName : QDir(folder).filePath(fileName);
    return saveDialog_ ? saveDialog_(this, uiText(title), proposed, uiText(filter)) : QString();
}

bool ResultsWindow::store(const QString& path, const QByteArray& bytes) {
    // Written whole or not at all: a file left half-written would open as
    // a table cut short.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
    const QString why = uiText(kNotSaved).arg(QDir::toNativeSeparators(path), file.errorString());
    platform_.messageBox->showUtf8(why.toStdString());
    return false;
}

QString ResultsWindow::tableFileName() const { return uiText(kTableFile).arg(Charset::toQt(results_->round)); }

bool ResultsWindow::saveCsv() {
    const QString path = askPath(kCsvDialog, tableFileName() + QStringLiteral(".csv"), kCsvFilter);
    return !path.isEmpty() && store(path, csvBytes(*sorted_));
}

bool ResultsWindow::saveChart(ResultsChart which) {
    const QString path = askPath(kImageDialog, chartFileName(which, *results_, shownQuestion()), kImageFilter);
    if (path.isEmpty()) return false;
    const QImage image = resultsChartImage(which, *results_, shownQuestion(), kChartPicture);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return store(path, png);
}

bool ResultsWindow::savePdf() {
    const QString path = askPath(kPdfDialog, tableFileName() + QStringLiteral(".pdf"), kPdfFilter);
    if (path.isEmpty()) return false;
    // The day the round was held is the day its results were stored.
    const QString resultsFile = Charset::toQt(roundFileName(FileNames::kResultsPrefix, results_->round));
    const QFileInfo stored(QDir(dataFolder()).filePath(resultsFile));
    const QDate held = stored.exists() ? stored.lastModified().date() : QDate();
    return store(path, resultsReportPdf(*results_, shownQuestion(), held, QDate::currentDate()));
}
