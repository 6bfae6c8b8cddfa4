#pragma once

#include <functional>

namespace main_window {
class TFmain;
}

namespace shell {

// Ends the program cleanly on SIGTERM and SIGINT: the signal handler only
// notes the signal; the event loop then rolls back whatever is pending,
// closes any dialog and the main window, and the loop ends. Installed again
// after the client library has loaded (it installs handlers of its own).
void EndOnTerminationSignals(main_window::TFmain& window);

// The signal that ended the program, or 0.
int TerminationSignal();

// Runs `work` (creating and first showing the window, which loads the
// database engine and starts its threads) with SIGTERM and SIGINT held
// back: the engine's threads keep them blocked, so only the program's own
// thread ever takes them, and a signal that came meanwhile is taken after.
void HoldingTerminationSignals(const std::function<void()>& work);

}  // namespace shell
