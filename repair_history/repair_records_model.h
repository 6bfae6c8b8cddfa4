#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "loans/records/repair_record.h"

namespace repair_history {

// One loan's records as the history lists them, newest first: time (the
// analyst's clock, dd/mm/yyyy HH:MM:SS), user, computer, repair, outcome
// (rolled back, with the server's words as its tooltip; undone later, and
// when; unconfirmed; or made), both receivable balances and the rows
// written. Every cell's whole text is its tooltip too. Each cell's text is
// made once, when the records come.
class RepairRecordsModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 8;

    explicit RepairRecordsModel(QObject* parent = nullptr);

    // The loan's records, oldest first (as they are kept).
    void SetRecords(const std::vector<loans::RepairRecord>& oldest_first);
    // Newest first, as listed.
    const std::vector<loans::RepairRecord>& Records() const { return records_; }
    // Whether the listed record at `row` was undone by a later one.
    bool Undone(size_t row) const { return row < lines_.size() && lines_[row].undone; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Line {
        std::array<QString, kColumns> texts;
        QString outcome_tip;  // the server's words, for a record rolled back
        bool undone = false;
    };

    std::vector<loans::RepairRecord> records_;
    std::vector<Line> lines_;
};

}  // namespace repair_history
