#pragma once
#include <QAbstractTableModel>
#include <QString>
#include <memory>

#include "run/RoundResults.h"

// The results table: one row per participant in ranking order, the columns
// 順位, 名前, アドレス, 点数, 正解数, 正解率 and, per question, the answer
// given and its mark. Sorting goes by SortRole, which holds numbers where
// the column is a number, so 10 sorts after 9.
class ResultsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Rank, Name, Address, Points, Correct, Percent, FixedColumns };
    static constexpr int SortRole = Qt::UserRole;

    explicit ResultsTableModel(QObject* parent = nullptr);

    void setResults(std::shared_ptr<const RoundResults> results);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // What the cell at `row` (ranking position) and `column` shows.
    static QString cellText(const RoundResults& results, int row, int column);
    static QString headerText(int column);

private:
    std::shared_ptr<const RoundResults> results_;
};
