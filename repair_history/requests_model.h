#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <vector>

#include "loans/approval/request.h"

namespace repair_history {

// Requests for repairs that need approval, as the history (F3) and
// "Solicitudes pendientes" (F4) list them, in the order given: number,
// time (the analyst's clock, dd/mm/yyyy HH:MM:SS), who asked and from
// where, member, loan, repair, and what became of it (pending, approved by
// whom and when, rejected by whom and when with the reason). Every cell's
// whole text is its tooltip too.
class RequestsModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 8;

    explicit RequestsModel(QObject* parent = nullptr);

    void SetRequests(std::vector<loans::Request> requests);
    const std::vector<loans::Request>& Requests() const { return requests_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    std::vector<loans::Request> requests_;
    std::vector<std::array<QString, kColumns>> lines_;
};

}  // namespace repair_history
