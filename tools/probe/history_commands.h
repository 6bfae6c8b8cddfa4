#pragma once

#include <string>

namespace probe {

struct Driver;

// Presses F3; the modal repair history writes its list, then runs the next
// commands until one of them closes it.
void OpenHistory(Driver& driver, const std::string& rest);

}  // namespace probe
