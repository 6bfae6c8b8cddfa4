#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <vector>

#include "pending_requests/requests_dialog.h"

namespace pending_requests {

// The one way into "Solicitudes pendientes" for those that drive or check
// it from outside (the window test driver, tests): its controls by the
// role they play.
class RequestsAccess {
  public:
    explicit RequestsAccess(TFsolicitudes& dialog) : dialog_(dialog) {}

    // The dialog the main window `window` has open, or null.
    static TFsolicitudes* OpenOn(const QWidget& window) {
        for (QObject* child : window.children()) {
            if (auto* dialog = dynamic_cast<TFsolicitudes*>(child)) return dialog;
        }
        return nullptr;
    }

    TFsolicitudes& Dialog() const { return dialog_; }
    QLabel* Count() const { return dialog_.lbpendientes; }
    QTableView* List() const { return dialog_.gridsolicitudes; }
    QTableView* Preview() const { return dialog_.gridprevia; }
    QPushButton* Approve() const { return dialog_.btaprobar; }
    QPushButton* Reject() const { return dialog_.btrechazar; }
    QPushButton* Close() const { return dialog_.btcerrar; }
    bool ApproveCurrent() const { return dialog_.ApproveCurrent(); }
    bool RejectCurrent() const { return dialog_.RejectCurrent(); }

  private:
    TFsolicitudes& dialog_;
};

}  // namespace pending_requests
