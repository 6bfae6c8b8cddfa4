#include "tests/support/pending_writes_watch.h"

#include <unistd.h>

#include <chrono>
#include <exception>
#include <map>
#include <stdexcept>

namespace test_support {

PendingWritesWatch::PendingWritesWatch(const std::string& database, pid_t client_pid,
                                       long long writes, std::function<void()> action)
    : monitor_(std::make_unique<RawConnection>(database)),
      client_pid_(client_pid),
      writes_(writes),
      action_(std::move(action)) {
    if (monitor_->QueryCount("select count(*) from mon$attachments where mon$remote_pid = " +
                             std::to_string(client_pid_) +
                             " and mon$attachment_id <> current_connection") == 0) {
        throw std::runtime_error("the client has no connection to watch");
    }
    for (const auto& [id, count] : Counts()) baseline_[id] = count;
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

std::map<std::string, long long> PendingWritesWatch::Counts() {
    // Each query is a transaction of its own and so a fresh snapshot of the
    // monitoring tables. A committed transaction leaves them, so work
    // already committed never looks pending.
    std::map<std::string, long long> counts;
    for (const std::string& row : monitor_->QueryRows(
             "select t.mon$transaction_id, r.mon$record_inserts + r.mon$record_updates + "
             "r.mon$record_deletes from mon$attachments a "
             "join mon$transactions t on t.mon$attachment_id = a.mon$attachment_id "
             "join mon$record_stats r on r.mon$stat_id = t.mon$stat_id "
             "where a.mon$remote_pid = " +
             std::to_string(client_pid_) + " and a.mon$attachment_id <> current_connection")) {
        const size_t bar = row.find('|');
        counts[row.substr(0, bar)] = std::stoll(row.substr(bar + 1));
    }
    return counts;
}

long long PendingWritesWatch::Written() {
    // What the client's open transactions wrote since the watch began: a
    // transaction started since (each repair's own) counts from zero.
    long long written = 0;
    for (const auto& [id, count] : Counts()) {
        const auto known = baseline_.find(id);
        written += count - (known == baseline_.end() ? 0 : known->second);
    }
    return written;
}

void PendingWritesWatch::Run() {
    bool fire = false;
    try {
        while (!stop_) {
            const long long written = Written();
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
