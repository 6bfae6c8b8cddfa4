#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/test_database.h"

namespace test_support {

// Watches, from a server connection of its own, how many rows a client
// process's transactions have written since the watch began and not
// committed (the server's monitoring tables), and once they reach a count
// runs an action on its own thread: how a test strikes in the middle of
// a long unit of work, such as a repair, without any hook in the program. The action may kill the
// server or the client; the watch then stops.
class PendingWritesWatch {
  public:
    // `database` names the database through the server; `client_pid` is the
    // process whose attachments count (this test's own process counts
    // without the watch's connection); it must be connected already. The
    // counts before the work starts are read here, synchronously.
    PendingWritesWatch(const std::string& database, pid_t client_pid, long long writes,
                       std::function<void()> action = {});
    ~PendingWritesWatch();
    PendingWritesWatch(const PendingWritesWatch&) = delete;
    PendingWritesWatch& operator=(const PendingWritesWatch&) = delete;

    // Waits up to `seconds` for the count; true once the action has run.
    bool WaitFired(int seconds);
    bool Fired() const { return fired_; }
    // Rows written and not committed when it fired.
    long long Seen() const { return seen_; }
    // Ends the watch without firing (when the work ended first).
    void Stop();

  private:
    // Rows written so far by each open transaction of the client, by number.
    std::map<std::string, long long> Counts();
    long long Written();
    void Run();

    std::unique_ptr<RawConnection> monitor_;
    pid_t client_pid_;
    std::map<std::string, long long> baseline_;  // the counts when the watch began
    long long writes_;
    std::function<void()> action_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> fired_{false};
    std::atomic<long long> seen_{0};
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace test_support
