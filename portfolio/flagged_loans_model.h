#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <array>
#include <vector>

#include "loans/checks/portfolio_check.h"

namespace portfolio {

// The check's flagged loans as the dialog's list shows them, in the check's
// own order: member, name, loan, both balances, their difference, the
// instalments that differ, the repair and why, in words. Each cell's text
// is made once, when the rows come; each column sorts by its own key
// (ui::SortedList::kSortKeyRole), numbers as numbers. A cell's tooltip is
// its whole text, for one too narrow to show it.
class FlaggedLoansModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 9;
    static constexpr int kDifferenceColumn = 5;

    explicit FlaggedLoansModel(QObject* parent = nullptr);

    void SetRows(std::vector<loans::LoanCheck> rows);
    const std::vector<loans::LoanCheck>& Rows() const { return rows_; }
    // The row's member code and name as a filter compares them.
    const QString& SearchText(size_t row) const { return search_[row]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Cell {
        QString text;
        QVariant key;
    };
    using Line = std::array<Cell, kColumns>;

    std::vector<loans::LoanCheck> rows_;
    std::vector<Line> lines_;
    std::vector<QString> search_;
};

// A text as a filter compares it: lower case, without accents.
QString FoldedForFilter(const QString& text);

}  // namespace portfolio
