#pragma once

#include "ui/dialog_responder.h"

namespace ui {

// The responder that shows real windows.
class WindowResponder : public DialogResponder {
  public:
    void Information(const std::string& text) override;
    int Confirmation(const std::string& text) override;
    void Error(const std::string& title, const std::string& text) override;
    bool PrintSetup(QPrinter& printer) override;
    std::optional<std::string> TextInput(const std::string& title,
                                         const std::string& prompt) override;
};

}  // namespace ui
