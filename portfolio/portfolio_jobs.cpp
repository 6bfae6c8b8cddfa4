#include "portfolio/portfolio_jobs.h"

#include "db/ib_database.h"
#include "loans/approval/approvals.h"
#include "loans/records/record_store.h"

namespace portfolio {

Worker::Job CheckJob() {
    return [](db::TIBDatabase& database, JobState& state) {
        loans::CheckOptions options;
        options.canceller = &state.canceller;
        JobOutcome outcome;
        outcome.approval = loans::Approvals(database).Required();
        outcome.check = std::make_unique<loans::CheckResult>(loans::RunCheck(
            database,
            [&state](double done) {
                state.permille = static_cast<int>(done * 1000);
                return true;
            },
            options));
        return outcome;
    };
}

Worker::Job RepairJob(std::vector<loans::LoanCheck> rows) {
    return [rows = std::move(rows)](db::TIBDatabase& database, JobState& state) {
        loans::BulkOptions options;
        options.stop = [&state] { return state.stop.load(); };
        options.done = [&state](const loans::LoanRepair&, size_t done, size_t total) {
            state.loans_done = static_cast<int>(done);
            state.permille = static_cast<int>(done * 1000 / (total == 0 ? 1 : total));
        };
        JobOutcome outcome;
        loans::Approvals approvals(database);
        if (approvals.Required()) {
            outcome.approval = true;
            outcome.repairs = std::make_unique<loans::BulkResult>(
                loans::RequestMany(database, approvals, rows, options));
            return outcome;
        }
        // Before anything is written: repairs that could not be recorded
        // are not made.
        loans::RecordStore records(database);
        records.ReadyToWrite();
        options.records = &records;
        options.database_name = database.DatabaseName();
        outcome.repairs =
            std::make_unique<loans::BulkResult>(loans::RepairMany(database, rows, options));
        return outcome;
    };
}

Worker::Job PreviewJob(std::vector<loans::LoanCheck> rows) {
    return [rows = std::move(rows)](db::TIBDatabase& database, JobState& state) {
        loans::BulkOptions options;
        options.simulate = true;
        // The analysts may not write the books where repairs need approval.
        options.plan = loans::Approvals(database).Required();
        options.stop = [&state] { return state.stop.load(); };
        options.done = [&state](const loans::LoanRepair&, size_t done, size_t total) {
            state.loans_done = static_cast<int>(done);
            state.permille = static_cast<int>(done * 1000 / (total == 0 ? 1 : total));
        };
        JobOutcome outcome;
        outcome.repairs =
            std::make_unique<loans::BulkResult>(loans::RepairMany(database, rows, options));
        return outcome;
    };
}

}  // namespace portfolio
