#pragma once

// SIGINT and SIGTERM end the check on the spot, with 130 or 143 as a shell
// reports them. Nothing is written before the report, and the report goes
// in whole or not at all, so ending at once loses nothing; only while the
// report is being written does a signal wait for the write to end. The
// client library installs handlers of its own at its first connection
// (their shutdown races the program's exit): ours replace them.

#include <functional>

namespace revision {

// From now on, either signal ends the process at once.
void EndOnSignals(bool progress_shown);

// Runs `connect` with both signals held back, then puts the handlers back
// over the library's; a signal that came meanwhile ends the process then.
void ConnectHoldingSignals(const std::function<void()>& connect);

// While it lives, a signal only is noted: the report being written is
// finished first.
class WritingReport {
  public:
    WritingReport();
    ~WritingReport();
    WritingReport(const WritingReport&) = delete;
    WritingReport& operator=(const WritingReport&) = delete;
    // The signal that came while writing, 0 when none.
    static int Noted();
};

// While it lives, a signal only is noted, for the repairs to stop between
// loans: a loan's transaction is never cut off half way by the program.
class RepairingLoans {
  public:
    RepairingLoans();
    ~RepairingLoans();
    RepairingLoans(const RepairingLoans&) = delete;
    RepairingLoans& operator=(const RepairingLoans&) = delete;
    // True once a signal came.
    static bool StopAsked();
};

}  // namespace revision
