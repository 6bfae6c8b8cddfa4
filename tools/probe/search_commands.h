#pragma once

#include <string>

namespace probe {

struct Driver;

// Double-clicks the code box; the modal search dialog's loop then runs the
// next commands until one of them closes it.
void OpenSearch(Driver& driver, const std::string& rest);

}  // namespace probe
