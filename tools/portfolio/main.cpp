// revision-cartera: the portfolio check from the command line. Finds db.ini
// and logs in like the program, or takes the database name as argument;
// writes the flagged loans as CSV to standard output or to --csv FILE.
// Exit code 0: no loan flagged; 1: some are; 2: an error (message on
// standard error).
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "formats/latin1.h"
#include "loans/connection_profile.h"
#include "loans/portfolio_report.h"
#include "loans/report_file.h"
#include "runtime/exception.h"
#include "shell/config_file.h"
#include "shell/db_ini.h"
#include "tools/portfolio/interruption.h"

namespace {

constexpr const char* kUsage =
    "uso: revision-cartera [--csv ARCHIVO] [BASE_DE_DATOS]\n"
    "     revision-cartera --help | --version\n"
    "  Revisa todos los prestamos y lista los que necesitan Reindexar o Corregir Tabla.\n"
    "  Sin BASE_DE_DATOS usa la ultima linea del primer db.ini que encuentre en: la\n"
    "  carpeta actual, ~/.config/analisis-socios/, /etc/analisis-socios/.\n"
    "  Entra con ISC_USER, ISC_PASSWORD e ISC_ROLE si estan definidas, si no con\n"
    "  conexion.ini (buscado en esos mismos lugares; solo su dueno puede leerlo),\n"
    "  si no con el usuario de siempre.\n"
    "  Salida: 0 sin diferencias, 1 con prestamos listados, 2 error.\n";

// A bar redrawn in place; only worth drawing on a terminal.
class ProgressBar {
  public:
    explicit ProgressBar(bool shown) : shown_(shown) {}
    ~ProgressBar() { Finish(); }
    bool Update(double done) {
        if (!shown_) return true;
        const int percent = static_cast<int>(done * 100);
        if (percent == last_) return true;
        last_ = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        std::fprintf(stderr, "\rRevisando cartera [%s%s] %3d%%",
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), percent);
        std::fflush(stderr);
        return true;
    }
    void Finish() {
        if (shown_ && last_ >= 0) std::fputc('\n', stderr);
        shown_ = false;
    }

  private:
    bool shown_;
    int last_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    const bool progress_shown = isatty(STDERR_FILENO) == 1;
    revision::EndOnSignals(progress_shown);
    std::string csv_file;
    std::string database_name;
    bool have_name = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--csv" && i + 1 < argc && argv[i + 1][0] != '\0') {
            csv_file = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "-v" || arg == "--version") {
            std::cout << "revision-cartera " COOP_VERSION "\n";
            return 0;
        } else if ((arg.size() > 1 && arg[0] == '-') || have_name) {
            std::cerr << kUsage;
            return 2;
        } else {
            database_name = arg;
            have_name = true;
        }
    }
    try {
        if (!have_name) {
            try {
                database_name =
                    shell::ReadDatabaseName(shell::FindConfigFile(shell::ConfigFilePlaces()));
            } catch (const runtime::Exception& error) {
                throw runtime::Exception("db.ini: " + error.Message());
            }
        }
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction unused("IBTransaction1");
        loans::ConfigureProgramConnection(database, unused, database_name);
        revision::ConnectHoldingSignals([&database] { database.Open(); });

        ProgressBar bar(progress_shown);
        const loans::CheckResult result =
            loans::RunCheck(database, [&bar](double done) { return bar.Update(done); });
        bar.Finish();
        const std::vector<loans::LoanCheck> flagged = result.Flagged();

        const revision::WritingReport writing;
        if (csv_file.empty()) {
            loans::WriteCsv(
                std::cout, flagged,
                isatty(STDOUT_FILENO) == 1 ? loans::CsvTarget::kTerminal : loans::CsvTarget::kFile);
            std::cout.flush();
            if (!std::cout) throw runtime::Exception("No se pudo escribir la salida");
        } else {
            loans::WriteWholeFile(csv_file,
                                  [&flagged](std::ostream& out) { loans::WriteCsv(out, flagged); });
        }
        // Interrupted while the report was written: it is whole, and the
        // exit code still tells of the signal.
        if (const int signal_number = revision::WritingReport::Noted()) return 128 + signal_number;
        std::cerr << result.loans.size() << " prestamos revisados, " << flagged.size()
                  << " con diferencias\n";
        return flagged.empty() ? 0 : 1;
    } catch (const std::exception& error) {
        // The program's texts are Latin-1; a terminal today reads UTF-8.
        std::cerr << "revision-cartera: " << formats::Latin1ToUtf8(error.what()) << '\n';
        return 2;
    }
}
