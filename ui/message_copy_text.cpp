#include "ui/message_copy_text.h"

namespace ui {

std::string StripAccelerator(std::string_view caption) {
    std::string out;
    for (char c : caption) {
        if (c != '&') out += c;
    }
    return out;
}

std::string MessageCopyText(std::string_view title, std::string_view message,
                            const std::vector<std::string>& captions) {
    const std::string rule = std::string(27, '-') + "\r\n";
    std::string out = rule;
    out.append(title).append("\r\n").append(rule);
    out.append(message).append("\r\n").append(rule);
    for (const std::string& caption : captions) out += StripAccelerator(caption) + "   ";
    out += "\r\n" + rule;
    return out;
}

}  // namespace ui
