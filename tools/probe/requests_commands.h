#pragma once

#include <string>

namespace probe {

struct Driver;

// Presses F4; the modal "Solicitudes pendientes" writes its list, then runs
// the next commands until one of them closes it.
void OpenRequests(Driver& driver, const std::string& rest);

}  // namespace probe
