// The main window's commands.
#include "tools/probe/window_commands.h"

#include <sys/resource.h>

#include <QPushButton>
#include <QTest>

#include "tools/probe/driver.h"
#include "tools/probe/gestures.h"
#include "tools/probe/history_commands.h"
#include "tools/probe/portfolio_commands.h"
#include "tools/probe/process_memory.h"
#include "tools/probe/requests_commands.h"
#include "tools/probe/search_commands.h"
#include "tools/probe/state_json.h"
#include "ui/modal_result.h"

namespace probe {
namespace {

using main_window::WindowAccess;
using WindowHandler = void (*)(Driver&, const std::string& rest);

void Quit(Driver& driver, const std::string&) {
    driver.quit = true;
}

void Dump(Driver& driver, const std::string&) {
    driver.Settle();
    driver.Write(WindowState(driver));
}

void Code(Driver& driver, const std::string& rest) {
    QLineEdit* box = driver.window.CodeBox();
    driver.form.activateWindow();
    box->setFocus(Qt::OtherFocusReason);
    driver.Settle();
    box->setText(QString::fromUtf8(rest.c_str()));
    QTest::keyClick(box, Qt::Key_Tab);
    driver.Settle();
}

void Loan(Driver& driver, const std::string& rest) {
    long row = 0;
    if (!ReadRow(rest, row)) return driver.Error("loan needs a row number: " + rest);
    if (!ClickRow(*driver.window.GridOf(WindowAccess::Grid::Loans), row)) {
        return driver.Error("loan row not in view: " + rest);
    }
    driver.Settle();
}

void Press(Driver& driver, const std::string& rest) {
    QPushButton* button = driver.window.Button(rest);
    if (button == nullptr) return driver.Error("no such button: " + rest);
    QTest::mouseClick(button, Qt::LeftButton);
    driver.Settle();
}

// Not part of the test protocol: a picture for a report.
void Shot(Driver& driver, const std::string& rest) {
    driver.Settle();
    if (!driver.form.grab().save(QString::fromUtf8(rest.c_str()), "PNG")) {
        driver.Error("could not write " + rest);
    }
}

void SearchNotOpen(Driver& driver, const std::string&) {
    driver.Error("the search dialog is not open");
}

void PortfolioNotOpen(Driver& driver, const std::string&) {
    driver.Error("the portfolio dialog is not open");
}

constexpr Command<WindowHandler> kWindowCommands[] = {
    {"quit", Quit},
    {"dump", Dump},
    {"code", Code},
    {"loan", Loan},
    {"answer", Answer},
    {"press", Press},
    {"memory", Memory},
    {"search", OpenSearch},
    {"portfolio", OpenPortfolio},
    {"history", OpenHistory},
    {"requests", OpenRequests},
    {"shot", Shot},
    {"find", SearchNotOpen},
    {"pick", SearchNotOpen},
    {"leave", SearchNotOpen},
    {"choose", PortfolioNotOpen},
    {"export", PortfolioNotOpen},
    {"sort", PortfolioNotOpen},
};

}  // namespace

void ExecuteInWindow(Driver& driver, const std::string& line) {
    if (!TryInWindow(driver, line)) driver.Error("unknown command: " + line);
}

bool TryInWindow(Driver& driver, const std::string& line) {
    const CommandLine command(line);
    const WindowHandler* handler = FindCommand(kWindowCommands, command.name);
    if (handler == nullptr) return false;
    (*handler)(driver, command.rest);
    return true;
}

void Answer(Driver& driver, const std::string& rest) {
    if (rest == "yes")
        driver.responder.answer = ui::kModalYes;
    else if (rest == "no")
        driver.responder.answer = ui::kModalNo;
    else if (rest == "close")
        driver.responder.answer = ui::kModalCancel;
    else
        driver.Error("answer yes, no or close: " + rest);
}

// A long run reads its memory and clock between commands; the boxes shown
// are counted by kind and forgotten, so that the driver's own record does
// not grow with the run.
void Memory(Driver& driver, const std::string&) {
    const ProcessMemory memory = ReadProcessMemory();
    QJsonObject out;
    out["rss_kb"] = static_cast<double>(memory.resident_kb);
    out["peak_kb"] = static_cast<double>(memory.peak_resident_kb);
    out["allocated_kb"] = static_cast<double>(memory.allocated_kb);
    out["ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - driver.started)
            .count();
    // Processor time as well: on a busy machine the clock measures the
    // other processes too.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    out["cpu_ms"] = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    QJsonObject boxes{{"info", 0}, {"confirm", 0}, {"error", 0}};
    for (const auto& [kind, text] : driver.responder.messages) {
        const QString key = QString::fromLatin1(kind.c_str());
        boxes[key] = boxes[key].toInt() + 1;
    }
    driver.responder.messages.clear();
    out["boxes"] = boxes;
    driver.Write(QJsonObject{{"memory", out}});
}

}  // namespace probe
