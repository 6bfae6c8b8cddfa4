#pragma once

#include <string>

namespace probe {

struct Driver;

// Presses F2; the modal portfolio dialog's loop waits for the check to end,
// writes its list, then runs the next commands until one of them closes it.
void OpenPortfolio(Driver& driver, const std::string& rest);

}  // namespace probe
