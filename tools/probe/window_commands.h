#pragma once

#include <string>

namespace probe {

struct Driver;

// Runs one command line in the main window.
void ExecuteInWindow(Driver& driver, const std::string& line);
// The same; false, running nothing, when the window takes no such command.
bool TryInWindow(Driver& driver, const std::string& line);

// Commands the dialogs take as the window does.
void Answer(Driver& driver, const std::string& rest);
void Memory(Driver& driver, const std::string& rest);

}  // namespace probe
