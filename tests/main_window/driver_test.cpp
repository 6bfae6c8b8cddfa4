// The window test driver's own rules: what each of its contexts refuses.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <vector>

#include "tests/main_window/window_fixture.h"

namespace {

// Each context of the driver (window, search dialog, portfolio dialog)
// refuses a command it does not take in its own words, once, and runs on.
// Beside the open portfolio dialog the window's commands reach the window.
TEST_F(WindowTest, TheDriverRefusesEachCommandItDoesNotTakeInTheWordsOfItsContext) {
    Start();
    const std::string in_search =
        "the search dialog is open: use find, pick, leave, answer or dump";
    const std::string in_portfolio =
        "the portfolio dialog is open: use choose, enter, sort, select, repair, preview, filter, "
        "repairs, export, leave, dump or a command of the window";
    const struct {
        std::vector<std::string> commands;
        std::string refusal;
    } cases[] = {
        {{"find {}"}, "the search dialog is not open"},
        {{"pick 0"}, "the search dialog is not open"},
        {{"leave"}, "the search dialog is not open"},
        {{"choose 0"}, "the portfolio dialog is not open"},
        {{"export out.csv"}, "the portfolio dialog is not open"},
        {{"sort 0"}, "the portfolio dialog is not open"},
        {{"enter"}, "unknown command: enter"},
        {{"press Fmain"}, "no such button: Fmain"},
        {{"answer maybe"}, "answer yes, no or close: maybe"},
        {{"search", "code 00001", "leave"}, in_search},
        {{"search", "shot x.png", "leave"}, in_search},
        {{"search", "portfolio", "leave"}, "unknown command: portfolio"},
        {{"search", "find {\"nada\": \"x\"}", "leave"}, "unknown search box: nada"},
        {{"portfolio", "nada", "leave"}, in_portfolio},
        {{"portfolio", "pick 0", "leave"}, "the search dialog is not open"},
        {{"portfolio", "repairs algunas", "leave"},
         "repairs todas, reindexar or corregir: algunas"},
        {{"portfolio", "choose 100000", "leave"}, "choose needs a row of the list: 100000"},
        {{"history"}, "the repair history did not open"},  // no loan shown
    };
    for (const auto& c : cases) {
        commands_.assign(c.commands.begin(), c.commands.end());
        output_.clear();
        probe_->RunAll();
        std::vector<std::string> refusals;
        for (const std::string& line : output_) {
            const QJsonObject out = QJsonDocument::fromJson(line.c_str()).object();
            if (out.contains("error")) refusals.push_back(Text(out["error"]));
        }
        EXPECT_EQ(refusals, std::vector<std::string>{c.refusal}) << c.commands[0];
        EXPECT_TRUE(window_->isVisible()) << c.commands[0];
    }
    // Nothing refused reached the window.
    const QJsonObject state = Do({});
    EXPECT_EQ(Text(state["edsocio"]), "");
    EXPECT_TRUE(Grid(state, "DBGrid1")["rows"].toArray().isEmpty());
}

}  // namespace
