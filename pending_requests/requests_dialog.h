#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "loans/approval/approvals.h"

class QLabel;
class QPushButton;
class QTableView;

namespace portfolio {
class PreviewModel;
}
namespace repair_history {
class RequestsModel;
}

namespace pending_requests {

class RequestsAccess;

// "Solicitudes pendientes" (F4): every open request for a repair that
// needs approval, oldest first (who asked, when, from where, the member,
// the loan, the repair), and under the list what the current one would
// change, as the supervisor approves it: the ledger rows that would go and
// come, each instalment's paid amounts, both balances. "Aprobar" hands the
// request to the window, which makes the repair; "Rechazar" asks for the
// reason. The server decides who may do either; the list is then read
// again. Tests and the window test driver reach its insides through
// RequestsAccess.
class TFsolicitudes : public QDialog {
  public:
    // Approves the request; true once done (a refusal or failure raises,
    // and is shown).
    using Approve = std::function<bool(const loans::Request&)>;

    TFsolicitudes(loans::Approvals& approvals, Approve approve, QWidget* parent = nullptr);

  private:
    friend class RequestsAccess;

    void Reload();
    void ShowCurrent();
    void SetButtons();
    // The request of the current row; nothing when there is none.
    std::optional<loans::Request> Current() const;
    bool ApproveCurrent();
    bool RejectCurrent();

    QLabel* lbpendientes;
    QTableView* gridsolicitudes;
    QTableView* gridprevia;
    QPushButton* btaprobar;
    QPushButton* btrechazar;
    QPushButton* btcerrar;

    repair_history::RequestsModel* requests_;
    portfolio::PreviewModel* preview_;
    loans::Approvals& approvals_;
    Approve approve_;
};

}  // namespace pending_requests
