// coop-bench-lookup DATABASE [LABEL]: times whole member lookups in the
// real main window (offscreen) against the same statements through the
// bare client API (prepared fresh for each lookup, and prepared once and
// only executed), on a sample of members, and prints
// "lookup_<label>_... value unit" lines; then the member search's first
// screen ("search_<label>_..." lines).
#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench/lookup/layer_lookup.h"
#include "bench/lookup/raw_lookup.h"
#include "bench/lookup/search_screen.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "runtime/exception.h"
#include "shell/application.h"

namespace {

double CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Wall seconds of `work`; `cpu` grows by the process's CPU seconds in it,
// which a machine shared with other work disturbs far less.
double Seconds(const std::function<void()>& work, double* cpu = nullptr) {
    const double cpu_start = CpuNow();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu != nullptr) *cpu += CpuNow() - cpu_start;
    return wall;
}

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: coop-bench-lookup DATABASE [LABEL]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);  // the program's own: numbers printed with a point
    const std::string database = argv[1];
    const std::string label = argc > 2 ? argv[2] : "embedded";
    try {
        // A sample spread over the whole member table.
        std::vector<std::string> codes;
        {
            main_window::TFmain window;
            const main_window::WindowAccess access(window);
            access.Connection().SetDatabaseName(database);
            access.Connection().Open();
            db::TIBQuery all{"all"};
            all.SetDatabase(&access.Connection());
            all.SetTransaction(&access.Transaction());
            all.SQL().Add("select clt_codigo from clientes order by clt_codigo");
            all.Open();
            int row = 0;
            for (all.First(); !all.AtEnd(); all.Next(), ++row) {
                if (row % 500 == 0) codes.push_back(all.Field(0).GetString());
            }
        }

        constexpr int kRounds = 3;
        double best_window = 1e9;
        double best_paint = 1e9;
        double best_raw = 1e9;
        double best_raw_once = 1e9;
        double best_layer = 1e9;
        double best_window_cpu = 1e9;
        double best_paint_cpu = 1e9;
        double best_raw_once_cpu = 1e9;
        double best_layer_cpu = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            // The real window, shown offscreen. A lookup ends when every
            // label and grid holds its new content; painting it comes after
            // and is timed on its own.
            main_window::TFmain window;
            const main_window::WindowAccess access(window);
            access.Connection().SetDatabaseName(database);
            access.Connection().Open();
            window.show();
            QApplication::processEvents();
            // Lookups back to back, as the raw statements run: each ends
            // with its labels and grids holding the new content.
            double window_cpu = 0;
            const double dataset = Seconds(
                [&] {
                    for (const std::string& code : codes) {
                        access.CodeBox()->setText(QString::fromLatin1(code.c_str()));
                        window.edsocioExit();
                    }
                },
                &window_cpu);
            // Then the same lookups each followed by the painting it causes,
            // timed on its own.
            double paint = 0;
            double paint_cpu = 0;
            for (const std::string& code : codes) {
                access.CodeBox()->setText(QString::fromLatin1(code.c_str()));
                window.edsocioExit();
                paint += Seconds([] { QApplication::processEvents(); }, &paint_cpu);
            }
            window.close();
            best_window = std::min(best_window, dataset);
            best_paint = std::min(best_paint, paint);
            best_window_cpu = std::min(best_window_cpu, window_cpu);
            best_paint_cpu = std::min(best_paint_cpu, paint_cpu);

            bench::RawLookup raw(database);
            const double bare = Seconds([&] {
                for (const std::string& code : codes) raw.Run(code);
            });
            best_raw = std::min(best_raw, bare);

            // The least any program can do: each statement prepared at its
            // first use, then only executed.
            bench::RawLookup raw_once(database, bench::RawLookup::Preparation::kOnce);
            double raw_once_cpu = 0;
            best_raw_once = std::min(best_raw_once, Seconds(
                                                        [&] {
                                                            for (const std::string& code : codes)
                                                                raw_once.Run(code);
                                                        },
                                                        &raw_once_cpu));
            best_raw_once_cpu = std::min(best_raw_once_cpu, raw_once_cpu);

            bench::LayerLookup layer(database);
            double layer_cpu = 0;
            best_layer = std::min(best_layer, Seconds(
                                                  [&] {
                                                      for (const std::string& code : codes)
                                                          layer.Run(code);
                                                  },
                                                  &layer_cpu));
            best_layer_cpu = std::min(best_layer_cpu, layer_cpu);
        }
        const double per_window = best_window / static_cast<double>(codes.size()) * 1000;
        const double per_raw = best_raw / static_cast<double>(codes.size()) * 1000;
        Print("lookup_" + label + "_members", static_cast<double>(codes.size()), "members", 0);
        Print("lookup_" + label + "_window", per_window, "ms/lookup", 3);
        Print("lookup_" + label + "_raw", per_raw, "ms/lookup", 3);
        Print("lookup_" + label + "_ratio", per_window / per_raw, "x", 2);
        const double per_layer = best_layer / static_cast<double>(codes.size()) * 1000;
        Print("lookup_" + label + "_layer", per_layer, "ms/lookup", 3);
        Print("lookup_" + label + "_layer_ratio", per_layer / per_raw, "x", 2);
        Print("lookup_" + label + "_paint", best_paint / static_cast<double>(codes.size()) * 1000,
              "ms/lookup", 3);
        const double per_raw_once = best_raw_once / static_cast<double>(codes.size()) * 1000;
        Print("lookup_" + label + "_raw_prepared", per_raw_once, "ms/lookup", 3);
        Print("lookup_" + label + "_window_prepared_ratio", per_window / per_raw_once, "x", 2);
        Print("lookup_" + label + "_layer_prepared_ratio", per_layer / per_raw_once, "x", 2);
        // The same in process CPU time (through a server, the client's part only).
        Print("lookup_" + label + "_paint_cpu",
              best_paint_cpu / static_cast<double>(codes.size()) * 1000, "ms/lookup", 3);
        Print("lookup_" + label + "_window_prepared_cpu_ratio", best_window_cpu / best_raw_once_cpu,
              "x", 2);
        Print("lookup_" + label + "_layer_prepared_cpu_ratio", best_layer_cpu / best_raw_once_cpu,
              "x", 2);
        std::fflush(stdout);

        bench::SearchFirstScreenFigures(database, label);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-lookup: %s\n", error.what());
        return 1;
    }
    return 0;
}
