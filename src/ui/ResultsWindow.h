#pragma once
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "run/RoundResults.h"
#include "ui/ResultsCharts.h"

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class ResultsTableModel;

// The window "結果": one round's results, every participant in a table that
// sorts by any column (the ranking order first), the four charts, and the
// round saved as CSV, as pictures and as a one-page PDF report. It shows the
// round the main window names, read from that round's stored files, and
// keeps nothing of the round being played.
class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    // Asks where to save: the dialog's title, the path it proposes (in the
    // data folder, named for the round) and the file type; an empty answer
    // saves nothing. Tests answer in place of the operator.
    using SaveDialog =
        std::function<QString(QWidget* parent, const QString& title, const QString& proposed, const QString& filter)>;
    // The data folder, as the main window gets it (system text, ending in
    // the separator).
    using FolderSource = std::function<std::string()>;

    ResultsWindow(Platform& platform, FolderSource dataFolder, QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Reads round `round`'s files and shows its results.
    void showRound(const SjisText& round);
    // Off while a round is played: a save dialog would hold the round up.
    void setSavingEnabled(bool on);
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

    const RoundResults& results() const { return *results_; }
    // The question the answers chart shows (1..Q; 0 when there is none).
    int shownQuestion() const;
    void showQuestion(int question);

    // Each asks for a path and saves; false when nothing was saved.
    bool saveCsv();
    bool saveChart(ResultsChart which);
    bool savePdf();

    QLabel* Heading;
    QLabel* Summary;
    QLabel* TieRule;   // why players level on points have ranks of their own
    QTabWidget* Pages;
    QTableView* Table;
    QComboBox* QuestionBox;     // the answers chart's question
    std::array<QChartView*, 4> Charts{};         // in the order of kResultsCharts
    std::array<QPushButton*, 4> SaveChartButtons{};
    QPushButton* SaveCsvButton;
    QPushButton* SavePdfButton;
    QPushButton* CloseButton;

    // The table as shown, sorted as the operator chose.
    QSortFilterProxyModel* sortedTable() const { return sorted_; }

private:
    void buildControls();
    void showCharts();
    void showChart(ResultsChart which);
    QString askPath(const char* title, const QString& fileName, const char* filter);
    bool store(const QString& path, const QByteArray& bytes);
    QString dataFolder() const;
    // The name the table and the report are offered under, without its type.
    QString tableFileName() const;

    Platform& platform_;
    FolderSource dataFolder_;
    SaveDialog saveDialog_;
    std::shared_ptr<const RoundResults> results_;
    ResultsTableModel* model_;
    QSortFilterProxyModel* sorted_;
};
