#include "ui/ResultsTableModel.h"

#include "platform/qt/Charset.h"
#include "run/RunTexts.h"
#include "ui/ResultsTexts.h"
#include "ui/Widgets.h"

namespace {

// Column 6 + 2(q-1) is question q's answer, the next one its mark.
int questionOf(int column) { return (column - ResultsTableModel::FixedColumns) / 2 + 1; }
bool isMarkColumn(int column) { return (column - ResultsTableModel::FixedColumns) % 2 == 1; }

QString answerText(const AnswerCell& a) {
    switch (a.kind) {
    case AnswerKind::Choice: return QString::number(a.choice);
    case AnswerKind::Unreadable: return uiText(ResultsTexts::kUnreadable);
    case AnswerKind::NoAnswerLine: return uiText(ResultsTexts::kNoAnswerLine);
    case AnswerKind::Unanswered: return uiText(ResultsTexts::kUnanswered);
    }
    return {};
}

// Choices first in their order, then what chose none, silence last.
int answerOrder(const AnswerCell& a) {
    switch (a.kind) {
    case AnswerKind::Choice: return a.choice;
    case AnswerKind::Unreadable: return 100;
    case AnswerKind::NoAnswerLine: return 101;
    case AnswerKind::Unanswered: return 102;
    }
    return 103;
}

// Right before wrong, a reply without a mark last.
int markOrder(const AnswerCell& a) {
    if (a.mark.empty()) return 2;
    return a.mark == RunTexts::kRight ? 0 : 1;
}

}  // namespace

ResultsTableModel::ResultsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsTableModel::setResults(std::shared_ptr<const RoundResults> results) {
    beginResetModel();
    results_ = std::move(results);
    endResetModel();
}

int ResultsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !results_ ? 0 : results_->participants();
}

int ResultsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !results_ ? 0 : FixedColumns + 2 * results_->questionCount;
}

QString ResultsTableModel::headerText(int column) {
    switch (column) {
    case Rank: return uiText(ResultsTexts::kRank);
    case Name: return uiText(ResultsTexts::kName);
    case Address: return uiText(ResultsTexts::kAddress);
    case Points: return uiText(ResultsTexts::kPoints);
    case Correct: return uiText(ResultsTexts::kCorrect);
    case Percent: return uiText(ResultsTexts::kPercent);
    default:
        return uiText(isMarkColumn(column) ? ResultsTexts::kMarkColumn : ResultsTexts::kAnswerColumn)
            .arg(questionOf(column));
    }
}

QString ResultsTableModel::cellText(const RoundResults& results, int row, int column) {
    const ResultRow& r = results.rows[std::size_t(row)];
    switch (column) {
    case Rank: return QString::number(r.rank);
    case Name: return Charset::toQt(r.name);
    case Address: return Charset::toQt(r.address);
    case Points: return QString::number(r.points);
    case Correct: return QString::number(r.correct);
    case Percent: return uiText(ResultsTexts::kPercentCell).arg(r.percent);
    default: {
        const AnswerCell& a = r.answers[std::size_t(questionOf(column) - 1)];
        return isMarkColumn(column) ? Charset::toQt(a.mark) : answerText(a);
    }
    }
}

QVariant ResultsTableModel::data(const QModelIndex& index, int role) const {
    if (!results_ || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const int column = index.column();
    const ResultRow& r = results_->rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return cellText(*results_, index.row(), column);
    case Qt::TextAlignmentRole:
        return column == Name || column == Address ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                   : QVariant(Qt::AlignCenter);
    case SortRole:
        switch (column) {
        case Rank: return r.rank;
        case Name: return Charset::toQt(r.name);
        case Address: return Charset::toQt(r.address);
        case Points: return r.points;
        case Correct: return r.correct;
        case Percent: return r.percent;
        default: {
            const AnswerCell& a = r.answers[std::size_t(questionOf(column) - 1)];
            return isMarkColumn(column) ? markOrder(a) : answerOrder(a);
        }
        }
    default:
        return {};
    }
}

QVariant ResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    return headerText(section);
}
