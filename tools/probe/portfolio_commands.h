#pragma once

#include <string>

namespace portfolio {
class TFcartera;
}

namespace probe {

struct Driver;

// Presses F2 (over an open dialog: it checks again), waits for the check
// to end and writes the dialog's list. While the dialog is open, beside
// the window, commands go to it (ExecuteInPortfolio).
void OpenPortfolio(Driver& driver, const std::string& rest);

// Runs one command line while the portfolio dialog is open: its own
// commands, else the main window's, which stays usable beside it.
void ExecuteInPortfolio(Driver& driver, portfolio::TFcartera& dialog, const std::string& line);

}  // namespace probe
