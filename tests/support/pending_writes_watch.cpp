#include "tests/support/pending_writes_watch.h"

#include <unistd.h>

#include <chrono>
#include <exception>
#include <stdexcept>

namespace test_support {

PendingWritesWatch::PendingWritesWatch(const std::string& database, pid_t client_pid,
                                       long long writes, std::function<void()> action)
    : monitor_(std::make_unique<RawConnection>(database)),
      client_pid_(client_pid),
      writes_(writes),
      action_(std::move(action)) {
    for (const std::string& id : monitor_->QueryRows(ClientTransactions())) {
        transactions_ += (transactions_.empty() ? "" : ", ") + id;
    }
    if (transactions_.empty()) {
        throw std::runtime_error("the client has no transaction open to watch");
    }
    baseline_ = Written();
    thread_ = std::thread([this] { Run(); });
}

PendingWritesWatch::~PendingWritesWatch() {
    Stop();
}

void PendingWritesWatch::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    // The connection may be to a server that is gone by now.
    try {
        monitor_.reset();
    } catch (...) {
    }
}

bool PendingWritesWatch::WaitFired(int seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait_for(lock, std::chrono::seconds(seconds), [this] { return finished_; });
    return fired_;
}

std::string PendingWritesWatch::ClientTransactions() {
    return "select t.mon$transaction_id from mon$attachments a "
           "join mon$transactions t on t.mon$attachment_id = a.mon$attachment_id "
           "where a.mon$remote_pid = " +
           std::to_string(client_pid_) + " and a.mon$attachment_id <> current_connection";
}

long long PendingWritesWatch::Written() {
    // Each query is a transaction of its own and so a fresh snapshot of the
    // monitoring tables. A commit retaining gives the transaction a new
    // number but keeps its counts: only the numbers open at the start
    // count, so that work already committed never looks pending, and the
    // counts they had then are the baseline.
    return monitor_->QueryCount(
        "select coalesce(sum(r.mon$record_inserts + r.mon$record_updates + "
        "r.mon$record_deletes), 0) from mon$transactions t "
        "join mon$record_stats r on r.mon$stat_id = t.mon$stat_id "
        "where t.mon$transaction_id in (" +
        transactions_ + ")");
}

void PendingWritesWatch::Run() {
    bool fire = false;
    try {
        while (!stop_) {
            const long long written = Written() - baseline_;
            if (written >= writes_) {
                seen_ = written;
                fire = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } catch (const std::exception&) {
        // The server went away some other way: nothing to strike.
    }
    if (fire) {
        if (action_) action_();
        fired_ = true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    done_.notify_all();
}

}  // namespace test_support
