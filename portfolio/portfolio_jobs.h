#pragma once

#include <memory>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "portfolio/portfolio_worker.h"

namespace portfolio {

// The dialog's three jobs, each for the worker's thread.

// The portfolio check, its statements cancelled by the state's canceller.
Worker::Job CheckJob();
// Repairs `rows`, each loan one unit, recorded where the worker's database
// keeps its records (its table, or this computer's journal, opened before
// the first loan); stops before the next loan once the state says so, or
// at a lost connection.
Worker::Job RepairJob(std::vector<loans::LoanCheck> rows);
// What repairing `row` would change, written nowhere.
Worker::Job PreviewJob(loans::LoanCheck row);

}  // namespace portfolio
