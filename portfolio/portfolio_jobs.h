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
// at a lost connection. Where repairs need approval, files a request for
// each loan instead.
Worker::Job RepairJob(std::vector<loans::LoanCheck> rows);
// What repairing `rows` would change, each loan one unit rolled back,
// written nowhere (where repairs need approval, worked out without
// writing); stops before the next loan once the state says so.
Worker::Job PreviewJob(std::vector<loans::LoanCheck> rows);

}  // namespace portfolio
