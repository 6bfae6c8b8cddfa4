#pragma once

#include <memory>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/records/repair_journal.h"
#include "portfolio/portfolio_worker.h"

namespace portfolio {

// The dialog's three jobs, each for the worker's thread.

// The portfolio check, its statements cancelled by the state's canceller.
Worker::Job CheckJob();
// Repairs `rows`, each loan one unit, journaled to `journal`; stops before
// the next loan once the state says so.
Worker::Job RepairJob(std::vector<loans::LoanCheck> rows,
                      std::shared_ptr<loans::JournalFile> journal);
// What repairing `rows` would change, each loan one unit rolled back,
// written nowhere; stops before the next loan once the state says so.
Worker::Job PreviewJob(std::vector<loans::LoanCheck> rows);

}  // namespace portfolio
