#include "tools/probe/probe.h"

#include "main_window/main_window.h"
#include "portfolio/portfolio_access.h"
#include "tools/probe/driver.h"
#include "tools/probe/portfolio_commands.h"
#include "tools/probe/window_commands.h"

namespace probe {

void RecordingResponder::Information(const std::string& text) {
    messages.emplace_back("info", text);
}

int RecordingResponder::Confirmation(const std::string& text) {
    messages.emplace_back("confirm", text);
    return answer;
}

void RecordingResponder::Error(const std::string&, const std::string& text) {
    messages.emplace_back("error", text);
}

std::optional<std::string> RecordingResponder::TextInput(const std::string&,
                                                         const std::string& prompt) {
    messages.emplace_back("input", prompt);
    std::optional<std::string> given;
    given.swap(text_answer);
    return given;
}

Probe::Probe(main_window::TFmain& window, RecordingResponder& responder, Source source, Sink sink)
    : driver_(std::make_unique<Driver>(window, responder, std::move(source), std::move(sink))) {}

Probe::~Probe() = default;

void Probe::RunAll() {
    driver_->quit = false;
    std::string line;
    while (driver_->NextCommand(driver_->form, line)) {
        if (portfolio::TFcartera* dialog = portfolio::PortfolioAccess::OpenOn(driver_->form)) {
            ExecuteInPortfolio(*driver_, *dialog, line);
        } else {
            ExecuteInWindow(*driver_, line);
        }
    }
}

}  // namespace probe
