#include "db/call_watch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "db/client_library.h"

namespace db {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<int64_t> g_cancel_after_ms{CallLimits{}.cancel_after.count()};
std::atomic<int64_t> g_abort_after_ms{CallLimits{}.abort_after.count()};
// -1 until worked out from the limits and the loaded library, then 0 or 1.
std::atomic<int> g_watching{-1};
std::atomic<CallStartObserver> g_observer{nullptr};
// Set at process end: calls made after the watchdog and this thread's slot
// are destroyed (by other static objects' destructors) go unwatched.
std::atomic<bool> g_watchdog_gone{false};
thread_local bool t_slot_gone = false;

// One thread's call in progress, shared by that thread and the watchdog.
// The calling thread only bumps a counter at each start and end, so a fetch
// costs next to nothing more; the watchdog times a call from the tick at
// which it first saw it.
struct CallSlot {
    // Odd while a call runs; every start and end changes it.
    std::atomic<uint64_t> serial{0};
    std::atomic<isc_db_handle> attachment{0};
    // Set by the watchdog around a cancel: the call's end waits for it, so
    // a cancel meant for one call never reaches the next one, and the slot
    // outlives a cancel the watchdog makes without its lock.
    std::atomic<bool> cancelling{false};
    int depth = 0;  // the calling thread's own
    // Written by the calling thread under the watchdog's lock; read by the
    // watchdog under it and by the calling thread itself.
    CallCanceller* canceller = nullptr;

    // The watchdog's own.
    uint64_t seen_serial = 0;
    Clock::time_point seen_since;
    bool cancelled = false;
    Clock::time_point cancelled_at;
    bool aborted = false;
};

class Watchdog {
  public:
    ~Watchdog() {
        Stop();
        g_watchdog_gone = true;
    }

    void Register(CallSlot* slot) {
        std::lock_guard guard(lock_);
        slots_.push_back(slot);
    }
    void Unregister(CallSlot* slot) {
        std::lock_guard guard(lock_);
        slots_.erase(std::remove(slots_.begin(), slots_.end(), slot), slots_.end());
    }
    void SetCanceller(CallSlot& slot, CallCanceller* canceller) {
        std::lock_guard guard(lock_);
        slot.canceller = canceller;
    }
    // Waits (sleeping, not spinning) until the cancel planned for the
    // slot's call has been made: a cancel may wait on the network.
    void AwaitCancel(CallSlot& slot) {
        std::unique_lock guard(lock_);
        cancels_made_.wait(guard, [&slot] { return !slot.cancelling.load(); });
    }
    // Looks at the calls now rather than at the next tick.
    void Wake() {
        {
            std::lock_guard guard(lock_);
            woken_ = true;
        }
        wake_.notify_all();
    }
    void Stop() {
        std::thread thread;
        {
            std::lock_guard guard(lock_);
            ++generation_;  // the running thread's last round
            thread = std::move(thread_);
            running_ = false;
        }
        wake_.notify_all();
        if (thread.joinable()) thread.join();
    }
    void EnsureRunning() {
        if (running_.load(std::memory_order_acquire)) return;
        std::lock_guard guard(lock_);
        if (thread_.joinable()) return;
        thread_ = std::thread([this, generation = generation_] { Run(generation); });
        running_ = true;
    }

  private:
    struct PendingCancel {
        CallSlot* slot;
        isc_db_handle attachment;
        ISC_USHORT option;
    };

    void Run(uint64_t generation) {
        std::unique_lock guard(lock_);
        std::vector<PendingCancel> cancels;
        while (generation == generation_) {
            const CallLimits limits = GetCallLimits();
            // Looks often enough that a call ends within a tenth of the
            // bound after it, and rarely enough to cost nothing.
            const milliseconds tick =
                limits.cancel_after.count() > 0
                    ? std::clamp(limits.cancel_after / 10, milliseconds(20), milliseconds(1000))
                    : milliseconds(1000);
            wake_.wait_for(guard, tick, [&] { return woken_ || generation != generation_; });
            woken_ = false;
            if (generation != generation_) break;
            cancels.clear();
            Check(Clock::now(), limits, cancels);
            if (cancels.empty()) continue;
            // A cancel can wait on the network for as long as the link is
            // stalled: without the lock, so that other threads' calls still
            // start and end meanwhile.
            guard.unlock();
            for (const PendingCancel& cancel : cancels) Cancel(cancel.attachment, cancel.option);
            guard.lock();
            // Each slot may go once its call sees this.
            for (const PendingCancel& cancel : cancels) cancel.slot->cancelling.store(false);
            cancels_made_.notify_all();
        }
    }

    // Under the lock: works out which running calls to cancel now.
    void Check(Clock::time_point now, const CallLimits& limits, std::vector<PendingCancel>& out) {
        for (CallSlot* slot : slots_) {
            const uint64_t serial = slot->serial.load();
            if (serial % 2 == 0) continue;  // no call running
            const bool new_call = serial != slot->seen_serial;
            if (new_call) {
                slot->seen_serial = serial;  // another call, or progress
                slot->seen_since = now;
                slot->cancelled = false;
                slot->aborted = false;
            }
            if (!slot->cancelled && slot->canceller != nullptr && slot->canceller->Cancelled()) {
                slot->cancelled = Plan(*slot, serial, fb_cancel_raise, out);
                slot->cancelled_at = now;
                continue;
            }
            if (new_call || limits.cancel_after.count() <= 0) continue;
            if (!slot->cancelled) {
                if (now - slot->seen_since < limits.cancel_after) continue;
                slot->cancelled = Plan(*slot, serial, fb_cancel_raise, out);
                slot->cancelled_at = now;
            } else if (!slot->aborted && now - slot->cancelled_at >= limits.abort_after) {
                slot->aborted = Plan(*slot, serial, fb_cancel_abort, out);
            }
        }
    }

    // Marks the slot as being cancelled when its call still runs, which
    // then cannot end, nor its thread go, before the cancel is made.
    bool Plan(CallSlot& slot, uint64_t serial, ISC_USHORT option, std::vector<PendingCancel>& out) {
        slot.cancelling.store(true);
        const bool running = slot.serial.load() == serial;
        const isc_db_handle attachment = slot.attachment.load(std::memory_order_relaxed);
        if (running && attachment != 0) {
            out.push_back({&slot, attachment, option});
        } else {
            slot.cancelling.store(false);
            cancels_made_.notify_all();
        }
        return running;
    }

    static void Cancel(isc_db_handle attachment, ISC_USHORT option) {
        // A copy of the handle: the connection may be gone by now, and a
        // stale handle only makes the library answer "invalid handle".
        ISC_STATUS_ARRAY status = {};
        Api().fb_cancel_operation(status, &attachment, option);
    }

    std::mutex lock_;  // slots_ (and their canceller), thread_, generation_, woken_
    std::condition_variable wake_;
    std::condition_variable cancels_made_;  // a slot's cancelling flag cleared
    std::vector<CallSlot*> slots_;
    std::thread thread_;
    uint64_t generation_ = 0;
    bool woken_ = false;
    std::atomic<bool> running_{false};  // read without the lock on every call
};

Watchdog& TheWatchdog() {
    static Watchdog watchdog;
    return watchdog;
}

struct ThreadSlot {
    ThreadSlot() { TheWatchdog().Register(&slot); }
    ~ThreadSlot() {
        t_slot_gone = true;
        if (!g_watchdog_gone) TheWatchdog().Unregister(&slot);
    }
    CallSlot slot;
};

// nullptr once the thread (or the process) is ending.
CallSlot* ThisThreadsSlot() {
    if (t_slot_gone || g_watchdog_gone) return nullptr;
    thread_local ThreadSlot slot;
    return &slot.slot;
}

bool Watching() {
    int watching = g_watching.load(std::memory_order_relaxed);
    if (watching < 0) {
        watching = g_cancel_after_ms.load() > 0 && CanCancelCalls() ? 1 : 0;
        g_watching.store(watching);
    }
    return watching == 1;
}

}  // namespace

CallLimits GetCallLimits() {
    return {milliseconds(g_cancel_after_ms.load()), milliseconds(g_abort_after_ms.load())};
}

void SetCallLimits(CallLimits limits) {
    g_cancel_after_ms.store(std::max<int64_t>(0, limits.cancel_after.count()));
    g_abort_after_ms.store(std::max<int64_t>(0, limits.abort_after.count()));
    g_watching.store(-1);
}

bool CanCancelCalls() {
    return Api().fb_cancel_operation != nullptr;
}

void SetCallStartObserver(CallStartObserver observer) {
    g_observer.store(observer);
}

WatchedCall::WatchedCall(const isc_db_handle* attachment) {
    if (CallStartObserver observer = g_observer.load(std::memory_order_relaxed)) observer();
    if (!Watching()) return;
    CallSlot* const mine = ThisThreadsSlot();
    if (mine == nullptr) return;
    CallSlot& slot = *mine;
    TheWatchdog().EnsureRunning();
    if (slot.depth++ == 0) {
        slot.attachment.store(attachment != nullptr ? *attachment : 0, std::memory_order_relaxed);
        slot.serial.fetch_add(1);
        // A call started after its canceller's Cancel() woke the watchdog
        // would otherwise wait for the next tick.
        if (slot.canceller != nullptr && slot.canceller->Cancelled()) TheWatchdog().Wake();
    } else {
        slot.serial.fetch_add(2, std::memory_order_release);  // the inner call is progress
    }
    watched_ = true;
}

WatchedCall::~WatchedCall() {
    if (!watched_) return;
    CallSlot* const mine = ThisThreadsSlot();
    if (mine == nullptr) return;
    CallSlot& slot = *mine;
    if (--slot.depth > 0) return;
    slot.serial.fetch_add(1);
    // Sequentially consistent with the watchdog's flag and re-check: either
    // it sees this end and cancels nothing, or this waits for its cancel.
    if (slot.cancelling.load() && !g_watchdog_gone) TheWatchdog().AwaitCancel(slot);
}

void CallCanceller::Cancel() {
    cancelled_.store(true);
    if (!g_watchdog_gone) TheWatchdog().Wake();
}

CallCanceller::Scope::Scope(CallCanceller& canceller) {
    if (!Watching()) return;
    CallSlot* const mine = ThisThreadsSlot();
    if (mine == nullptr) return;
    TheWatchdog().EnsureRunning();
    TheWatchdog().SetCanceller(*mine, &canceller);
    joined_ = true;
}

CallCanceller::Scope::~Scope() {
    if (!joined_) return;
    if (CallSlot* const mine = ThisThreadsSlot()) TheWatchdog().SetCanceller(*mine, nullptr);
}

void StopCallWatch() {
    if (!g_watchdog_gone) TheWatchdog().Stop();
    g_watching.store(-1);  // the next library may lack the cancel entry point
}

}  // namespace db
