#pragma once

// How both programs take SIGINT and SIGTERM, in one place. A signal is
// noted (and an event loop woken through a pipe) or, where the program asks
// to end at once, ends the process with 128 + the signal as a shell reports
// it, unless work that must end whole (a report being written, a loan's
// repair) defers it. The Firebird client library installs handlers of its
// own at its first connection: connecting while holding the signals back
// puts ours back over them. No Qt.

#include <functional>
#include <string>

namespace runtime {

enum class OnTermination {
    kNote,    // note it and wake the event loop, which ends the program
    kEndNow,  // write the farewell line on standard error and end at once
};

// Installs the handler for both signals. With kEndNow, `farewell` (one
// line) is written first, after a line break when `break_line_first` (a
// progress bar was being drawn).
void TakeTerminationSignals(OnTermination on, const std::string& farewell = {},
                            bool break_line_first = false);

// The signal that came (noted, or deferred), 0 when none.
int ReceivedTerminationSignal();

// A descriptor that becomes readable when a signal is noted, for an event
// loop to watch; drain it with DrainTerminationWake(). -1 when it cannot be
// made.
int TerminationWakeDescriptor();
void DrainTerminationWake();

// Runs `work` (a first connection, which starts the client library's
// threads and handlers) with both signals blocked: the library's threads
// keep them blocked, so only the program's own threads take them. The
// handler is put back over the library's before the signals are let
// through; one that came meanwhile is taken then.
void HoldingTerminationSignals(const std::function<void()>& work);

// While one lives, a signal that would end the process at once is only
// noted: the work under way ends whole first, and the program then reads
// ReceivedTerminationSignal().
class DeferredTermination {
  public:
    DeferredTermination();
    ~DeferredTermination();
    DeferredTermination(const DeferredTermination&) = delete;
    DeferredTermination& operator=(const DeferredTermination&) = delete;
};

}  // namespace runtime
