#include "portfolio/portfolio_worker.h"

#include <QThread>
#include <mutex>

#include "db/ib_database.h"
#include "db/ib_transaction.h"

namespace portfolio {

// The job's thread holds it too: the outcome passes from one thread to the
// other under the lock, which also orders everything the job did before
// it against what the GUI thread does after.
struct Worker::Shared {
    JobState state;
    std::mutex lock;
    JobOutcome outcome;  // under the lock, once the job has returned
};

Worker::Worker(ConnectionSetup setup, Ended ended)
    : setup_(std::move(setup)), ended_(std::move(ended)), shared_(std::make_shared<Shared>()) {}

Worker::~Worker() {
    StopAndWait();
}

void Worker::Run(Job job) {
    if (thread_) return;
    shared_ = std::make_shared<Shared>();
    thread_.reset(QThread::create([shared = shared_, setup = setup_, job = std::move(job)] {
        JobOutcome outcome;
        try {
            // Gone, connection and all, before the outcome is handed over.
            db::TIBDatabase database("PortfolioDatabase");
            db::TIBTransaction transaction("PortfolioDefault");
            setup(database, transaction);
            outcome = job(database, shared->state);
        } catch (const loans::ECheckCancelled&) {
            outcome = {};
        } catch (const std::exception& error) {
            outcome = {};
            outcome.failure = error.what();
            if (outcome.failure.empty()) outcome.failure = "Error";
        }
        std::lock_guard lock(shared->lock);
        shared->outcome = std::move(outcome);
    }));
    // Queued: the signal comes from the job's thread as it ends. One that
    // comes after its thread was stopped and waited for is stale.
    connect(thread_.get(), &QThread::finished, this, [this, run = ++runs_] {
        if (run == runs_) ThreadEnded();
    });
    thread_->start();
}

void Worker::ThreadEnded() {
    if (!thread_) return;  // stopped and waited for
    thread_->wait();
    JobOutcome outcome;
    {
        std::lock_guard lock(shared_->lock);
        outcome = std::move(shared_->outcome);
    }
    thread_.reset();
    ended_(std::move(outcome));
}

const JobState& Worker::State() const {
    return shared_->state;
}

void Worker::Stop() {
    shared_->state.stop = true;
}

void Worker::Cancel() {
    shared_->state.canceller.Cancel();
}

void Worker::StopAndWait() {
    if (!thread_) return;
    Stop();
    Cancel();
    thread_->wait();
    ++runs_;
    {
        // The job's last writes happen before what follows.
        std::lock_guard lock(shared_->lock);
        shared_->outcome = {};
    }
    thread_.reset();
}

}  // namespace portfolio
