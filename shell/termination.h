#pragma once

namespace main_window {
class TFmain;
}

namespace shell {

// Ends the program cleanly on SIGTERM and SIGINT: the signal handler
// (runtime/termination_signals.h) only notes the signal; the event loop then
// rolls back whatever is pending, closes any dialog and the main window, and
// the loop ends. Installed again after the client library has loaded (it
// installs handlers of its own).
void EndOnTerminationSignals(main_window::TFmain& window);

// The signal that ended the program, or 0.
int TerminationSignal();

}  // namespace shell
