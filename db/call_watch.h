#pragma once

// No client call waits for ever: a watchdog thread ends a call that gets no
// answer from the server, so a stopped server or a stalled link costs the
// user a bounded wait, then the lost connection's message. No Qt.

#include <ibase.h>

#include <atomic>
#include <chrono>

namespace db {

// How long one client call may wait. Each call is timed on its own, from
// when the watchdog first sees it (at most a tenth of the bound late): an
// action of thousands of quick calls, such as a repair of a loan with 1,100
// receipts or the portfolio check, never comes near the bound; one call
// without an answer does.
struct CallLimits {
    // Then the call is cancelled (fb_cancel_raise). A server that is alive
    // but slow stops the statement; the call ends with "operation was
    // cancelled" and the connection stays usable.
    std::chrono::milliseconds cancel_after{30'000};
    // This long after the cancel, a call still waiting has a server that
    // does not answer at all: the client side of the link is closed
    // (fb_cancel_abort) and the call ends with the client library's
    // lost-connection error.
    std::chrono::milliseconds abort_after{5'000};
};
CallLimits GetCallLimits();
// A zero cancel_after turns the watch off.
void SetCallLimits(CallLimits limits);

// True when the client library can end another thread's call
// (fb_cancel_operation). Without it the watch is off: calls wait as long as
// the network lets them.
bool CanCancelCalls();

// Told on the calling thread, before every client call the layer makes
// (fetches included), so it must be cheap. The window shows its wait
// cursor from here. nullptr: nobody is told.
using CallStartObserver = void (*)();
void SetCallStartObserver(CallStartObserver observer);

// Marks the client calls made while it lives as one call in progress on the
// attachment (nullptr or a zero handle: none yet, as for the attach itself,
// which only the connect timeout bounds). Nested marks on one thread count
// as progress of the outer one.
class WatchedCall {
  public:
    explicit WatchedCall(const isc_db_handle* attachment);
    ~WatchedCall();
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

  private:
    bool watched_ = false;
};

// Lets one thread stop the client calls of others at once, such as the
// statements of a long check its user cancels. While a thread holds a
// Scope of it, its watched calls running when Cancel() is called, or
// started after, are cancelled (fb_cancel_raise) by the watchdog thread:
// Cancel() itself makes no client call, so it never waits on the network.
// Works while the watch is on (CanCancelCalls() and a non-zero bound); the
// cancelled calls raise the engine's "operation was cancelled".
class CallCanceller {
  public:
    CallCanceller() = default;
    CallCanceller(const CallCanceller&) = delete;
    CallCanceller& operator=(const CallCanceller&) = delete;

    void Cancel();  // any thread
    bool Cancelled() const { return cancelled_.load(); }

    // Must end before the canceller goes. Leave it before the cleanup
    // calls (rollback, detach), which must not be cancelled.
    class Scope {
      public:
        explicit Scope(CallCanceller& canceller);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        bool joined_ = false;
    };

  private:
    std::atomic<bool> cancelled_{false};
};

// Runs `call`, one client call, as a watched call on `attachment`.
template <typename Call>
auto Watched(const isc_db_handle* attachment, Call&& call) {
    const WatchedCall watch(attachment);
    return call();
}

// Ends the watchdog thread, waiting for it (before the client library is
// released). It starts again with the next watched call.
void StopCallWatch();

}  // namespace db
