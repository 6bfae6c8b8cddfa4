#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ui {

// A caption as it reads on screen: the accelerator marks "&" removed.
std::string StripAccelerator(std::string_view caption);

// What Ctrl+C puts on the clipboard from a message dialog: title, message
// and captions between lines of hyphens, every line ended by CR LF.
std::string MessageCopyText(std::string_view title, std::string_view message,
                            const std::vector<std::string>& captions);

}  // namespace ui
