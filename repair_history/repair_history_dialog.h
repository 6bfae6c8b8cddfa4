#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "loans/approval/request.h"
#include "loans/records/record_store.h"

class QLabel;
class QPushButton;
class QTableView;
namespace ui {
class RememberedLayout;
class SortedList;
}  // namespace ui

namespace repair_history {

class HistoryAccess;
class RepairRecordsModel;
class RequestsModel;

// "Historial de reparaciones": the records of one member's loan, newest
// first, from the database's table (every analyst's) or this computer's
// journal, as a line above the list says. "Deshacer" hands the current
// row's record to the window, which puts the loan back as the record holds
// it; the list is then read again. Only a repair that was made, left
// something to undo and was not undone since offers it. Where the database
// keeps requests for approval, a second list below shows the loan's, and
// what became of each (pending, approved by whom and when, rejected with
// the reason).
// Tests, the window test driver and the monkey reach its insides through
// HistoryAccess.
class TFhistorial : public QDialog {
  public:
    // Undoes the record; true once done (a refusal or failure raises, and
    // is shown).
    using Undo = std::function<bool(const loans::RepairRecord&)>;
    // The loan's requests, oldest first; none given where the database
    // keeps none.
    using Requests = std::function<std::vector<loans::Request>()>;

    TFhistorial(std::string member, int32_t loan, loans::RecordStore& records, Undo undo,
                QWidget* parent = nullptr, Requests requests = {});

  private:
    friend class HistoryAccess;

    // Reads the records again and lists the loan's.
    void Reload();
    // The records in the order the list shows them.
    const std::vector<loans::RepairRecord>& Shown() const;
    // Undoes the current row's record; false when there is nothing to undo.
    bool UndoCurrent();
    void SetButtons();

    QLabel* lbprestamo;
    QLabel* lborigen;
    QTableView* gridhistorial;
    QPushButton* btdeshacer;
    QPushButton* btcerrar;
    QLabel* lbsolicitudes;
    QTableView* gridsolicitudes;

    RepairRecordsModel* records_;
    RequestsModel* requests_;
    Requests read_requests_;
    ui::SortedList* listed_;
    // Made after the first listing, whose widths are the defaults.
    ui::RememberedLayout* remembered_ = nullptr;
    std::string member_;
    int32_t loan_;
    loans::RecordStore& records_store_;
    Undo undo_;
};

// True when the record can be undone: made, with an image of what it
// changed (kept, or at hand).
bool Undoable(const loans::RepairRecord& record);

}  // namespace repair_history
