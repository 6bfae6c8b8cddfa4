#pragma once

#include <string>

namespace ui {

// The caption of the plain message boxes and of the exception report, as
// ISO8859_1 bytes. Empty until the shell names the application.
void SetApplicationTitle(std::string title);
const std::string& ApplicationTitle();

}  // namespace ui
