#include "portfolio/portfolio_jobs.h"

#include <chrono>
#include <exception>
#include <iterator>

#include "db/ib_database.h"
#include "loans/approval/approvals.h"
#include "loans/history/run_history.h"
#include "loans/records/record_store.h"

namespace portfolio {
namespace {

// Stores a finished check's run where the database keeps a history, and
// reads the runs back for the chart. A failure here leaves the check's
// findings as they are; the dialog says it beside the chart.
void KeepRun(db::TIBDatabase& database, const loans::CheckResult& result,
             std::chrono::milliseconds duration, JobOutcome& outcome) {
    try {
        if (!loans::HasRunHistory(database)) return;
        outcome.has_history = true;
        loans::CheckRun run;
        run.finished = true;
        run.checked = result.loans.size();
        run.flagged = result.Flagged();
        run.duration = duration;
        outcome.recorded = loans::RecordRun(database, run, loans::ThisWorkstation());
        outcome.runs = loans::ReadRuns(database);
    } catch (const std::exception& error) {
        outcome.history_failure = error.what();
        if (outcome.history_failure.empty()) outcome.history_failure = "Error";
    }
}

}  // namespace

Worker::Job CheckJob() {
    return [](db::TIBDatabase& database, JobState& state) {
        loans::CheckOptions options;
        options.canceller = &state.canceller;
        JobOutcome outcome;
        outcome.approval = loans::Approvals(database).Required();
        const auto started = std::chrono::steady_clock::now();
        outcome.check = std::make_unique<loans::CheckResult>(loans::RunCheck(
            database,
            [&state](double done) {
                state.permille = static_cast<int>(done * 1000);
                return true;
            },
            options));
        KeepRun(database, *outcome.check,
                std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - started),
                outcome);
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
        JobOutcome outcome;
        // Each loan's rows become its lines as it ends; only the lines stay.
        const auto add = [&outcome](const loans::LoanRepair& entry) {
            std::vector<loans::PreviewLine> more = loans::PreviewLines(entry);
            outcome.preview.insert(outcome.preview.end(), std::make_move_iterator(more.begin()),
                                   std::make_move_iterator(more.end()));
        };
        loans::BulkOptions options;
        options.simulate = true;
        // The analysts may not write the books where repairs need approval.
        options.plan = loans::Approvals(database).Required();
        options.stop = [&state] { return state.stop.load(); };
        options.done = [&state, &add](const loans::LoanRepair& entry, size_t done, size_t total) {
            add(entry);
            state.loans_done = static_cast<int>(done);
            state.permille = static_cast<int>(done * 1000 / (total == 0 ? 1 : total));
        };
        outcome.repairs =
            std::make_unique<loans::BulkResult>(loans::RepairMany(database, rows, options));
        for (const loans::LoanRepair& entry : outcome.repairs->unreached) add(entry);
        return outcome;
    };
}

}  // namespace portfolio
