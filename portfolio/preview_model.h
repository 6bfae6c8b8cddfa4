#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <array>
#include <vector>

#include "loans/reports/repair_preview.h"

namespace portfolio {

// "Vista previa" as a table: per loan, why it is flagged, the ledger rows
// that would go and come (document, kind, date, amount and interest), each
// instalment whose paid amounts move and both balances, old -> new. A line
// that is no ledger row holds its words in the document's column, which
// the view stretches over the row's rest (Spanned).
class PreviewModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 8;
    static constexpr int kTextColumn = 3;

    explicit PreviewModel(QObject* parent = nullptr);

    void SetLines(std::vector<loans::PreviewLine> lines);
    // Whether row `row` holds words across its columns from kTextColumn on.
    bool Spanned(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    struct Line {
        std::array<QString, kColumns> cells;
        bool spanned = false;
        bool emphasised = false;  // a reason or an outcome
    };
    std::vector<Line> lines_;
};

}  // namespace portfolio
