#include "bench/lookup/search_screen.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "bench/lookup/raw_lookup.h"
#include "customer_search/customer_search_dialog.h"
#include "db/sql_preprocessor.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"

namespace bench {
namespace {

constexpr int kSearches = 20;
constexpr int kRounds = 3;

double Milliseconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
}

}  // namespace

void SearchFirstScreenFigures(const std::string& database, const std::string& label) {
    double best_dialog = 1e9;
    double best_fetch = 1e9;
    double best_once = 1e9;
    double best_fresh = 1e9;
    int rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        main_window::TFmain window;
        const main_window::WindowAccess access(window);
        access.Connection().SetDatabaseName(database);
        access.Connection().Open();
        window.show();
        QApplication::processEvents();
        customer_search::TFclientes dialog(access.SearchMembers(), access.SearchSource(),
                                           access.cancelado(), &window);
        dialog.show();  // showing empties the six boxes
        QApplication::processEvents();
        double dialog_total = 0;
        double fetch_total = 0;
        for (int i = 0; i < kSearches; ++i) {
            const auto start = std::chrono::steady_clock::now();
            dialog.btbuscarClick();
            fetch_total += Milliseconds(start);
            QApplication::processEvents();  // the grid paints its new rows
            dialog_total += Milliseconds(start);
        }
        rows = access.SearchMembers().FetchedRowCount();
        const std::string sql = db::PreprocessSql(access.SearchMembers().SQL().Text()).text;
        dialog.close();
        best_dialog = std::min(best_dialog, dialog_total / kSearches);
        best_fetch = std::min(best_fetch, fetch_total / kSearches);
        if (rows < dialog.gridclt->VisibleRowCount())
            throw std::runtime_error("the search grid shows fewer rows than fit on its screen");

        // The same statement and rows through the bare API.
        for (auto preparation : {RawLookup::Preparation::kOnce, RawLookup::Preparation::kFresh}) {
            RawLookup raw(database, preparation);
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kSearches; ++i) raw.FirstRows(sql.c_str(), rows);
            const double each = Milliseconds(start) / kSearches;
            double& best = preparation == RawLookup::Preparation::kOnce ? best_once : best_fresh;
            best = std::min(best, each);
        }
    }
    const std::string prefix = "search_" + label + "_first_screen";
    Print(prefix + "_rows", rows, "rows", 0);
    Print(prefix, best_dialog, "ms", 3);
    Print(prefix + "_fetch", best_fetch, "ms", 3);
    Print(prefix + "_raw", best_once, "ms", 3);
    Print(prefix + "_raw_fresh", best_fresh, "ms", 3);
    Print(prefix + "_ratio", best_dialog / best_once, "x", 2);
    Print(prefix + "_fresh_ratio", best_dialog / best_fresh, "x", 2);
}

}  // namespace bench
