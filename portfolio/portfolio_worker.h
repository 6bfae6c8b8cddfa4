#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/call_watch.h"
#include "loans/checks/portfolio_check.h"
#include "loans/history/run_history.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/reports/repair_preview.h"

class QThread;

namespace db {
class TIBDatabase;
class TIBTransaction;
}  // namespace db

namespace portfolio {

// What the dialog and the job under way share: the counts its progress
// bar reads, and the dialog's requests to end early.
struct JobState {
    std::atomic<int> permille{0};
    std::atomic<int> loans_done{0};  // of a repair run
    std::atomic<bool> stop{false};   // a repair run stops before its next loan
    db::CallCanceller canceller;     // the check's statement under way
};

// What a job leaves: the check's findings or the repairs' (a preview's
// too), or, with neither, the failure's message (empty when cancelled).
struct JobOutcome {
    std::unique_ptr<loans::CheckResult> check;
    std::unique_ptr<loans::BulkResult> repairs;
    // A preview's lines, made loan by loan as the run went.
    std::vector<loans::PreviewLine> preview;
    std::string failure;
    // The check's: whether repairs need a supervisor's approval.
    bool approval = false;
    // A finished check's run, where the database keeps a history of runs:
    // as stored, and every stored run; or why it could not be stored.
    bool has_history = false;
    std::optional<loans::RecordedRun> recorded;
    std::vector<loans::StoredRun> runs;
    std::string history_failure;
};

// The dialog's work off the GUI thread: one job at a time, each on a
// thread and a connection of its own, so that nothing of the data layer is
// shared with the GUI thread. The thread is this object's: it is waited
// for, never left behind, and whoever goes first (the job or the dialog)
// leaves the other nothing dangling.
class Worker : public QObject {
  public:
    // Sets up a fresh connection the way the program connects.
    using ConnectionSetup = std::function<void(db::TIBDatabase&, db::TIBTransaction&)>;
    // Runs on the worker's thread, on its connection (set up, not opened).
    using Job = std::function<JobOutcome(db::TIBDatabase&, JobState&)>;
    // Told on the GUI thread, once the job's thread has ended.
    using Ended = std::function<void(JobOutcome)>;

    Worker(ConnectionSetup setup, Ended ended);
    // Stops the job under way, as StopAndWait.
    ~Worker() override;

    // Starts `job`; none may be running.
    void Run(Job job);
    // From Run until the end is told.
    bool Running() const { return thread_ != nullptr; }
    // The job under way, or the last one.
    const JobState& State() const;
    // A repair run ends before its next loan.
    void Stop();
    // The check's statement under way is cancelled.
    void Cancel();
    // Both, then waits for the thread to end; the end is then never told.
    void StopAndWait();

  private:
    struct Shared;

    void ThreadEnded();

    ConnectionSetup setup_;
    Ended ended_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<QThread> thread_;
    unsigned runs_ = 0;  // threads started, to tell a stale end from the current one
};

}  // namespace portfolio
