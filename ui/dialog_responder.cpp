#include "ui/dialog_responder.h"

#include "ui/window_responder.h"

namespace ui {

namespace {
WindowResponder window_responder;
DialogResponder* installed = nullptr;
}  // namespace

DialogResponder& CurrentDialogResponder() {
    return installed ? *installed : window_responder;
}

void SetDialogResponder(DialogResponder* responder) {
    installed = responder;
}

void ShowMessage(const std::string& text) {
    CurrentDialogResponder().Information(text);
}

int MessageDlgConfirm(const std::string& text) {
    return CurrentDialogResponder().Confirmation(text);
}

bool DialogResponder::PrintSetup(QPrinter&) {
    return false;
}

bool PrintSetup(QPrinter& printer) {
    return CurrentDialogResponder().PrintSetup(printer);
}

std::optional<std::string> DialogResponder::TextInput(const std::string&, const std::string&) {
    return std::nullopt;
}

std::optional<std::string> AskText(const std::string& title, const std::string& prompt) {
    return CurrentDialogResponder().TextInput(title, prompt);
}

}  // namespace ui
