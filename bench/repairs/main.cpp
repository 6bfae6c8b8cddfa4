// coop-bench-repairs DATABASE LABEL: times both repairs through the real
// main window (offscreen) on the demo loan with 1,100 receipts, against the
// bare client API writing the same rows with one prepared statement per
// kind inside one transaction, ended by the same record, and prints
// "repair_<kind>_<label>_..." lines (`_cpu_ratio`: in this process's
// processor time, steadier on a busy machine, the embedded engine's work
// included).
// The database must be a fresh demo database; the repairs leave it as it
// was (a rebuild rewrites the same movements, a correction the same paid
// amounts).
#include <time.h>

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/repairs/repair_paths.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "shell/application.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/dialog_responder.h"
#include "ui/modal_result.h"

namespace {

// The window's and the raw path's repairs take turns, round after round,
// so that a busy machine slows both alike; the best of each counts.
constexpr int kRounds = 9;

double ProcessCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The best wall-clock time and the best processor time (this process's:
// the embedded engine's work included, the server's not) of any round.
struct Best {
    double wall = 1e300;
    double cpu = 1e300;
    void Time(const std::function<void()>& work) {
        const double cpu_start = ProcessCpuMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        wall = std::min(wall, std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
        cpu = std::min(cpu, ProcessCpuMilliseconds() - cpu_start);
    }
};

void Print(const std::string& name, double value, const char* unit) {
    std::printf("%s %.*f %s\n", name.c_str(), std::string(unit) == "x" ? 2 : 3, value, unit);
}

// Yes to every confirmation; a failure ends the run.
class YesResponder : public ui::DialogResponder {
  public:
    void Information(const std::string&) override {}
    int Confirmation(const std::string&) override { return ui::kModalYes; }
    void Error(const std::string&, const std::string& text) override {
        std::fprintf(stderr, "coop-bench-repairs: %s\n", text.c_str());
        std::exit(1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: coop-bench-repairs DATABASE LABEL\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);  // the program's own: numbers printed with a point
    const std::string database = argv[1];
    const std::string label = argv[2];
    YesResponder responder;
    ui::SetDialogResponder(&responder);
    try {
        Best window_rebuild, window_correct, window_reload, raw_rebuild, raw_correct;
        main_window::TFmain window;
        main_window::WindowAccess(window).Connection().SetDatabaseName(database);
        main_window::WindowAccess(window).Connection().Open();
        window.show();
        main_window::WindowAccess(window).CodeBox()->setText(
            QString::fromLatin1(demo::kMemberManyDocuments));
        window.edsocioExit();
        QApplication::processEvents();
        window_rebuild.Time([&] { window.btreindexarClick(); });
        window_correct.Time([&] { window.btcorregirClick(); });
        // The same rows with one prepared statement per kind, and a record
        // of the size the window's repairs left.
        const bench::RepairLoan loan =
            bench::ReadRepairLoan(database, demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        const bench::RecordSize rebuild_record = bench::LastRecordSize(database, "Reindexar");
        const bench::RecordSize correct_record = bench::LastRecordSize(database, "Corregir Tabla");
        bench::RawRepairs raw(database, /*prepare_once=*/true);
        for (int round = 0; round < kRounds; ++round) {
            window_rebuild.Time([&] { window.btreindexarClick(); });
            raw_rebuild.Time([&] { raw.Rebuild(loan, rebuild_record); });
            window_correct.Time([&] { window.btcorregirClick(); });
            raw_correct.Time([&] { raw.Correct(loan, correct_record); });
            // The window reloads the loan once per repair, after its commit
            // (the repair reads the loan itself, inside its transaction).
            window_reload.Time([&] { window.cargardatos(main_window::TFmain::LoadMode::Loan); });
        }

        const std::string prefix = "repair_";
        Print(prefix + "documents", static_cast<double>(loan.documents.size()), "rows");
        Print(prefix + "rebuild_" + label + "_window", window_rebuild.wall, "ms");
        Print(prefix + "rebuild_" + label + "_raw", raw_rebuild.wall, "ms");
        Print(prefix + "rebuild_" + label + "_ratio", window_rebuild.wall / raw_rebuild.wall, "x");
        // Through a server its processor time is not this process's.
        if (label == "embedded") {
            Print(prefix + "rebuild_" + label + "_cpu_ratio", window_rebuild.cpu / raw_rebuild.cpu,
                  "x");
        }
        // What each record holds besides its row: the undo image.
        Print(prefix + "rebuild_record_bytes", static_cast<double>(rebuild_record.image_bytes),
              "bytes");
        Print(prefix + "correct_" + label + "_window", window_correct.wall, "ms");
        Print(prefix + "correct_" + label + "_raw", raw_correct.wall, "ms");
        Print(prefix + "correct_" + label + "_ratio", window_correct.wall / raw_correct.wall, "x");
        // Through a server its processor time is not this process's.
        if (label == "embedded") {
            Print(prefix + "correct_" + label + "_cpu_ratio", window_correct.cpu / raw_correct.cpu,
                  "x");
        }
        Print(prefix + "correct_record_bytes", static_cast<double>(correct_record.image_bytes),
              "bytes");
        // The one reload each handler makes, after its commit.
        Print(prefix + "reload_" + label, window_reload.wall, "ms");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-repairs: %s\n", error.what());
        return 1;
    }
    return 0;
}
