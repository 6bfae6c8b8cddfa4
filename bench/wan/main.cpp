// coop-bench-wan DATABASE [ACTION...]: a member lookup, a member search and both
// repairs through a slow link of the bench's own (a relay on 127.0.0.1 in
// front of the server on port 3050), in the real main window, through the
// data layer alone, and through the bare client API with the same
// statements prepared for every use and prepared once. For each it prints
// the round trips per action (counted with no delay: they do not depend on
// it) and the milliseconds per action with the delay each way (20 ms
// unless COOP_WAN_DELAY_MS says otherwise), as "wan_... value unit" lines.
// DATABASE is the path of a fresh demo database as the server sees it; the
// repairs leave it as it was. ACTIONs (lookup, search, rebuild, correct)
// choose some; without any, all run.
#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/lookup/layer_lookup.h"
#include "bench/lookup/raw_lookup.h"
#include "bench/repairs/repair_paths.h"
#include "bench/wan/raw_prepared_lookup.h"
#include "bench/wan/search_paths.h"
#include "bench/wan/slow_link.h"
#include "customer_search/customer_search_dialog.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "shell/application.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/dialog_responder.h"
#include "ui/modal_result.h"

namespace {

constexpr int kServerPort = 3050;
// A name fragment that finds a few members, as an analyst types it.
constexpr const char* kSearchFragment = "MAR";

// Yes to every confirmation; a failure ends the run.
class YesResponder : public ui::DialogResponder {
  public:
    void Information(const std::string&) override {}
    int Confirmation(const std::string&) override { return ui::kModalYes; }
    void Error(const std::string&, const std::string& text) override {
        std::fprintf(stderr, "coop-bench-wan: %s\n", text.c_str());
        std::exit(1);
    }
};

struct Figure {
    double round_trips;
    double ms;
};

// How often an action runs: counted without delay, timed with it.
struct Repetitions {
    int counted;
    int timed;
};

class Bench {
  public:
    Bench(bench::SlowLink& link, std::chrono::milliseconds delay) : link_(link), delay_(delay) {}

    // Runs the action once to warm it (prepares, first fetches of the
    // schema), then counts its round trips and times it. The connection
    // was made before and is neither counted nor timed.
    Figure Measure(Repetitions repetitions, const std::function<void(int)>& action) {
        link_.SetDelayEachWay(std::chrono::microseconds(0));
        action(0);
        link_.ResetCount();
        for (int i = 0; i < repetitions.counted; ++i) action(i);
        const double round_trips =
            static_cast<double>(link_.RoundTrips()) / static_cast<double>(repetitions.counted);
        link_.SetDelayEachWay(delay_);
        double total = 0;
        for (int i = 0; i < repetitions.timed; ++i) {
            const auto start = std::chrono::steady_clock::now();
            action(i);
            total +=
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
        }
        link_.SetDelayEachWay(std::chrono::microseconds(0));
        return {round_trips, total / repetitions.timed};
    }

  private:
    bench::SlowLink& link_;
    std::chrono::milliseconds delay_;
};

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
    std::fflush(stdout);
}

void PrintFigure(const std::string& action, const std::string& path, const Figure& figure) {
    Print("wan_" + action + "_" + path + "_roundtrips", figure.round_trips, "roundtrips", 1);
    Print("wan_" + action + "_" + path + "_ms", figure.ms, "ms", 1);
}

// Ordinary members whose books agree, one after another.
std::string MemberCode(int i) {
    char code[8];
    std::snprintf(code, sizeof code, "%05d", 15 + i % 30);
    return code;
}

void OpenWindow(main_window::TFmain& window, const std::string& database) {
    main_window::WindowAccess(window).Connection().SetDatabaseName(database);
    main_window::WindowAccess(window).Connection().Open();
    window.show();
    QApplication::processEvents();
}

void LookUp(main_window::TFmain& window, const std::string& code) {
    main_window::WindowAccess(window).CodeBox()->setText(QString::fromLatin1(code.c_str()));
    window.edsocioExit();
    QApplication::processEvents();  // what the lookup makes the grids paint
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: coop-bench-wan DATABASE [lookup|search|rebuild|correct...]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);  // the program's own: numbers printed with a point
    YesResponder responder;
    ui::SetDialogResponder(&responder);
    const char* delay_text = std::getenv("COOP_WAN_DELAY_MS");
    const std::chrono::milliseconds delay(delay_text ? std::atoi(delay_text) : 20);
    const std::vector<std::string> chosen(argv + 2, argv + argc);
    const auto runs = [&chosen](const char* action) {
        return chosen.empty() || std::find(chosen.begin(), chosen.end(), action) != chosen.end();
    };
    try {
        bench::SlowLink link(kServerPort);
        const std::string database =
            "127.0.0.1/" + std::to_string(link.Port()) + ":" + std::string(argv[1]);
        Bench bench(link, delay);
        Print("wan_delay_each_way", static_cast<double>(delay.count()), "ms", 0);

        // A member lookup: the code typed and the focus leaving the box.
        if (runs("lookup")) {
            const Repetitions lookups{30, 10};
            Figure lookup_window, lookup_raw_fresh;
            {
                main_window::TFmain window;
                OpenWindow(window, database);
                lookup_window =
                    bench.Measure(lookups, [&](int i) { LookUp(window, MemberCode(i)); });
            }
            PrintFigure("lookup", "window", lookup_window);
            {
                bench::LayerLookup layer(database);
                PrintFigure("lookup", "layer",
                            bench.Measure(lookups, [&](int i) { layer.Run(MemberCode(i)); }));
            }
            {
                bench::RawLookup raw(database);
                lookup_raw_fresh = bench.Measure(lookups, [&](int i) { raw.Run(MemberCode(i)); });
            }
            PrintFigure("lookup", "raw_fresh", lookup_raw_fresh);
            {
                bench::RawPreparedLookup raw(database);
                PrintFigure("lookup", "raw_prepared",
                            bench.Measure(lookups, [&](int i) { raw.Run(MemberCode(i)); }));
            }
            Print("wan_lookup_roundtrips_ratio",
                  lookup_window.round_trips / lookup_raw_fresh.round_trips, "x", 2);
        }

        // A member search by a name fragment in the search dialog.
        if (runs("search")) {
            const Repetitions searches{10, 5};
            {
                main_window::TFmain window;
                OpenWindow(window, database);
                const main_window::WindowAccess access(window);
                customer_search::TFclientes dialog(access.SearchMembers(), access.SearchSource(),
                                                   access.cancelado(), &window);
                dialog.show();
                QApplication::processEvents();
                PrintFigure("search", "window", bench.Measure(searches, [&](int) {
                    dialog.ednombres->setText(QString::fromLatin1(kSearchFragment));
                    dialog.btbuscarClick();
                    QApplication::processEvents();
                }));
            }
            {
                bench::LayerSearch layer(database);
                Print("wan_search_rows", layer.Run(kSearchFragment), "rows", 0);
                PrintFigure("search", "layer",
                            bench.Measure(searches, [&](int) { layer.Run(kSearchFragment); }));
            }
            for (const bool once : {false, true}) {
                bench::RawSearch raw(database, once);
                PrintFigure("search", once ? "raw_prepared" : "raw_fresh",
                            bench.Measure(searches, [&](int) { raw.Run(kSearchFragment); }));
            }
        }

        // Both repairs of the loan with 1,100 receipts. The window's include
        // what its handlers do around the writes: the loan reloaded before
        // and after them, and the journal line.
        const Repetitions repairs{2, 1};
        const bool rebuild = runs("rebuild");
        const bool correct = runs("correct");
        if (rebuild || correct) {
            main_window::TFmain window;
            OpenWindow(window, database);
            LookUp(window, demo::kMemberManyDocuments);
            if (rebuild) {
                PrintFigure("rebuild", "window", bench.Measure(repairs, [&](int) {
                    window.btreindexarClick();
                    QApplication::processEvents();
                }));
            }
            if (correct) {
                PrintFigure("correct", "window", bench.Measure(repairs, [&](int) {
                    window.btcorregirClick();
                    QApplication::processEvents();
                }));
            }
        }
        if (rebuild || correct) {
            const bench::RepairLoan loan = bench::ReadRepairLoan(
                database, demo::kMemberManyDocuments, demo::kLoanManyDocuments);
            Print("wan_repair_documents", static_cast<double>(loan.documents.size()), "rows", 0);
            bench::LayerRepairs layer(database);
            if (rebuild) {
                PrintFigure("rebuild", "layer",
                            bench.Measure(repairs, [&](int) { layer.Rebuild(loan); }));
            }
            if (correct) {
                PrintFigure("correct", "layer",
                            bench.Measure(repairs, [&](int) { layer.Correct(loan); }));
            }
            for (const bool once : {false, true}) {
                bench::RawRepairs raw(database, once);
                const std::string path = once ? "raw_prepared" : "raw_fresh";
                if (rebuild) {
                    PrintFigure("rebuild", path,
                                bench.Measure(repairs, [&](int) { raw.Rebuild(loan); }));
                }
                if (correct) {
                    PrintFigure("correct", path,
                                bench.Measure(repairs, [&](int) { raw.Correct(loan); }));
                }
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-wan: %s\n", error.what());
        return 1;
    }
    return 0;
}
