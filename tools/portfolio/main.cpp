// revision-cartera: the portfolio check from the command line. Finds db.ini
// and logs in like the program, or takes the database name as argument;
// writes the flagged loans as CSV to standard output or to --csv FILE, and
// as a workbook to --xlsx FILE.
// Exit code 0: no loan flagged; 1: some are; 2: an error (message on
// standard error). With --reparar it repairs the flagged loans, one line
// per loan (--simular: what would change, nothing written); --deshacer ID
// undoes one recorded repair. Where repairs need approval
// (sql/aprobacion.sql) both file requests instead; --solicitudes lists the
// open ones, --aprobar ID and --rechazar ID --motivo TEXTO resolve one.
// --registrar stores the check's run in the database's history and says
// what changed since the last one; --historial prints the stored runs.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "config/config_file.h"
#include "config/db_ini.h"
#include "db/call_watch.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "formats/latin1.h"
#include "loans/approval/approvals.h"
#include "loans/history/run_history.h"
#include "loans/history/run_report.h"
#include "loans/records/journal_import.h"
#include "loans/records/record_table.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/reports/portfolio_report.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/report_file.h"
#include "loans/rules/connection_profile.h"
#include "loans/rules/repair_statements.h"
#include "runtime/exception.h"
#include "runtime/termination_signals.h"

namespace {

// UTF-8, as standard output is read.
constexpr const char* kUsage =
    "uso: revision-cartera [--csv ARCHIVO] [--xlsx ARCHIVO] [BASE_DE_DATOS]\n"
    "     revision-cartera --reparar [--simular] [--csv ARCHIVO] [--xlsx ARCHIVO]\n"
    "                      [BASE_DE_DATOS]\n"
    "     revision-cartera --deshacer ID [BASE_DE_DATOS]\n"
    "     revision-cartera --importar-diario [BASE_DE_DATOS]\n"
    "     revision-cartera --solicitudes [BASE_DE_DATOS]\n"
    "     revision-cartera --aprobar ID [BASE_DE_DATOS]\n"
    "     revision-cartera --rechazar ID --motivo TEXTO [BASE_DE_DATOS]\n"
    "     revision-cartera --registrar [--csv ARCHIVO] [--xlsx ARCHIVO]\n"
    "                      [BASE_DE_DATOS]\n"
    "     revision-cartera --historial [--csv ARCHIVO] [BASE_DE_DATOS]\n"
    "     revision-cartera --help | --version\n"
    "  Revisa todos los pr\u00e9stamos y lista los que necesitan Reindexar o Corregir\n"
    "  Tabla, como CSV en la salida est\u00e1ndar o en el ARCHIVO de --csv (campos\n"
    "  separados por comas, decimales con punto); --xlsx escribe adem\u00e1s la lista\n"
    "  como libro de Excel.\n"
    "  --reparar repara cada pr\u00e9stamo listado en una transacci\u00f3n propia, tras\n"
    "  revisarlo de nuevo, y escribe una l\u00ednea por pr\u00e9stamo; --simular muestra lo\n"
    "  que cambiar\u00eda sin escribir nada. --deshacer devuelve el pr\u00e9stamo a como\n"
    "  estaba antes de la reparaci\u00f3n ID del registro de reparaciones, si nadie lo\n"
    "  cambi\u00f3 despu\u00e9s.\n"
    "  El registro est\u00e1 en la tabla REPARACIONES de la base de datos\n"
    "  (sql/reparaciones.sql) o, si no la tiene, en un archivo de este equipo;\n"
    "  --importar-diario copia a la tabla los registros de este equipo de esa base de\n"
    "  datos (los ya copiados no se repiten).\n"
    "  Si la base de datos pide aprobaci\u00f3n (sql/aprobacion.sql), --reparar y\n"
    "  --deshacer no escriben nada en los libros: registran una solicitud por\n"
    "  pr\u00e9stamo, con lo que cambiar\u00eda. --solicitudes lista las abiertas con\n"
    "  lo que cambiar\u00eda cada una; --aprobar hace la reparaci\u00f3n de la solicitud ID\n"
    "  (un supervisor que no la pidi\u00f3; si el pr\u00e9stamo cambi\u00f3 desde la solicitud,\n"
    "  no se aprueba) y --rechazar la rechaza con su motivo.\n"
    "  --registrar guarda la revisi\u00f3n en el historial de la base de datos (tabla\n"
    "  REVISIONES, sql/revisiones.sql) y dice cu\u00e1ntos pr\u00e9stamos son nuevos y\n"
    "  cu\u00e1ntos se resolvieron desde la \u00faltima revisi\u00f3n terminada; --historial\n"
    "  lista las revisiones guardadas, como tabla o como CSV en el ARCHIVO de --csv.\n"
    "  Sin BASE_DE_DATOS usa la \u00faltima l\u00ednea del primer db.ini que encuentre en:\n"
    "  la carpeta actual, ~/.config/analisis-socios/, /etc/analisis-socios/.\n"
    "  Entra con ISC_USER, ISC_PASSWORD e ISC_ROLE si est\u00e1n definidas; si no, con\n"
    "  conexion.ini (buscado en esos mismos lugares; solo su due\u00f1o puede leerlo);\n"
    "  si no, con el usuario de siempre.\n"
    "  Salida: 0 sin diferencias, 1 con pr\u00e9stamos listados, 2 error; con --reparar,\n"
    "  0 todos reparados u omitidos, 1 alguno fallido, 2 si se perdi\u00f3 la conexi\u00f3n\n"
    "  (los restantes no se intentan); con --deshacer, 0 deshecha, 1 rechazada; con\n"
    "  solicitudes, 0 todas registradas u omitidas, 1 alguna rechazada o fallida;\n"
    "  --solicitudes, 0 sin solicitudes abiertas, 1 con alguna; --aprobar y\n"
    "  --rechazar, 0 hecho, 1 rechazado, 2 error; --registrar, 2 tambi\u00e9n si la\n"
    "  revisi\u00f3n no se pudo guardar; 130 o 143 interrumpida por una se\u00f1al.\n";

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
    bool Update(const char* what, size_t done, size_t total) {
        if (!shown_) return true;
        constexpr int kWidth = 40;
        const size_t filled = total == 0 ? kWidth : done * kWidth / total;
        std::fprintf(stderr, "\r%s [%s%s] %zu/%zu", what, std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str(), done, total);
        std::fflush(stderr);
        last_ = 0;
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

// Program texts are Latin-1; standard output is read as UTF-8. A server's
// message stays on its loan's line.
std::string Shown(const std::string& latin1) {
    std::string text = formats::Latin1ToUtf8(latin1);
    for (char& ch : text) {
        if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
    }
    return text;
}

// What a simulated unit would change, under its loan's line.
void PrintChanges(const loans::RepairOutcome& outcome) {
    for (const std::string& line : loans::ChangeLines(outcome)) {
        std::cout << "  " << Shown(line) << '\n';
    }
}

const char* ResultWord(loans::LoanResult result, bool simulate) {
    switch (result) {
        case loans::LoanResult::kRepaired:
            return simulate ? "se reparar\u00eda" : "reparado";
        case loans::LoanResult::kSkipped:
            return "omitido: ya no tiene diferencias";
        case loans::LoanResult::kFailed:
            return "fallido: ";
        case loans::LoanResult::kNotReached:
            return "no alcanzado";
        case loans::LoanResult::kRequested:
            return simulate ? "se solicitar\u00eda"
                            : "solicitud registrada: requiere aprobaci\u00f3n";
        case loans::LoanResult::kRefused:
            return "rechazado: ";
    }
    return "";
}

void PrintLoan(const loans::LoanRepair& entry, bool simulate) {
    const bool made = entry.result == loans::LoanResult::kRepaired ||
                      entry.result == loans::LoanResult::kRequested;
    const std::vector<loans::RepairKind>& repairs = made ? entry.outcome.repairs : entry.asked;
    const bool told =
        entry.result == loans::LoanResult::kFailed || entry.result == loans::LoanResult::kRefused;
    std::cout << Shown(entry.check.member) << ' ' << entry.check.loan << ' '
              << loans::RepairNames(repairs) << ": " << ResultWord(entry.result, simulate)
              << (told ? Shown(entry.message) : "");
    if (entry.result == loans::LoanResult::kRequested) {
        std::cout << " (solicitud " << entry.request << ")";
    }
    std::cout << '\n';
    if (simulate && made) PrintChanges(entry.outcome);
}

// Files a request for each flagged loan (or, simulated, works out what
// each would change); the exit code.
int RequestFlagged(db::TIBDatabase& database, loans::Approvals& approvals,
                   const std::vector<loans::LoanCheck>& flagged, bool progress_shown) {
    ProgressBar bar(progress_shown);
    const runtime::DeferredTermination filing;  // between loans only
    loans::BulkOptions options;
    options.stop = [] { return runtime::ReceivedTerminationSignal() != 0; };
    options.done = [&](const loans::LoanRepair& entry, size_t done, size_t total) {
        bar.Finish();
        PrintLoan(entry, false);
        std::cout.flush();
        bar = ProgressBar(progress_shown);
        bar.Update("Registrando solicitudes", done, total);
    };
    const loans::BulkResult result = loans::RequestMany(database, approvals, flagged, options);
    bar.Finish();
    for (const loans::LoanRepair& entry : result.unreached) PrintLoan(entry, false);
    std::cout.flush();
    std::cerr << Shown(loans::FiledCountText(result.requested)) << ", " << result.skipped
              << " omitidos, " << result.refused << " rechazados, " << result.failed
              << " fallidos, " << result.not_reached << " no alcanzados\n";
    if (!result.connection_lost.empty()) {
        throw runtime::Exception(
            "se perdi\xf3 la conexi\xf3n con la base de datos (" + result.connection_lost + "); " +
            std::to_string(result.requested) + " solicitudes registradas, los " +
            std::to_string(result.not_reached) + " restantes no se intentaron");
    }
    if (const int signal_number = runtime::ReceivedTerminationSignal()) {
        std::cerr << "revision-cartera: interrumpida\n";
        return 128 + signal_number;
    }
    return result.failed > 0 || result.refused > 0 || result.not_reached > 0 ? 1 : 0;
}

// Repairs the flagged loans; the exit code.
int RepairFlagged(db::TIBDatabase& database, const std::vector<loans::LoanCheck>& flagged,
                  bool simulate, bool progress_shown) {
    // Where repairs need approval, the analyst's connection may not write
    // the books: requests instead, and a simulation writes nothing at all.
    loans::Approvals approvals(database);
    if (approvals.Required() && !simulate) {
        return RequestFlagged(database, approvals, flagged, progress_shown);
    }
    // Before anything is written: repairs that could not be recorded are
    // not made.
    std::unique_ptr<loans::RecordStore> records;
    if (!simulate) {
        records = std::make_unique<loans::RecordStore>(database);
        records->ReadyToWrite();
    }
    ProgressBar bar(progress_shown);
    const runtime::DeferredTermination repairing;  // between loans only
    loans::BulkOptions options;
    options.simulate = simulate;
    options.plan = approvals.Required();
    options.records = records.get();
    options.database_name = database.DatabaseName();
    options.stop = [] { return runtime::ReceivedTerminationSignal() != 0; };
    options.done = [&](const loans::LoanRepair& entry, size_t done, size_t total) {
        bar.Finish();
        PrintLoan(entry, simulate);
        std::cout.flush();
        bar = ProgressBar(progress_shown);
        bar.Update("Reparando", done, total);
    };
    const loans::BulkResult result = loans::RepairMany(database, flagged, options);
    bar.Finish();
    for (const loans::LoanRepair& entry : result.unreached) PrintLoan(entry, simulate);
    std::cout.flush();
    std::cerr << result.repaired << (simulate ? " se reparar\u00edan, " : " reparados, ")
              << result.skipped << " omitidos, " << result.failed << " fallidos, "
              << result.not_reached << " no alcanzados\n";
    if (!result.journal_failure.empty()) {
        throw runtime::Exception(result.journal_failure);
    }
    if (!result.connection_lost.empty()) {
        throw runtime::Exception("se perdi\xf3 la conexi\xf3n con la base de datos (" +
                                 result.connection_lost + "); " + std::to_string(result.repaired) +
                                 " reparados, los " + std::to_string(result.not_reached) +
                                 " restantes no se intentaron");
    }
    if (const int signal_number = runtime::ReceivedTerminationSignal()) {
        std::cerr << "revision-cartera: interrumpida\n";
        return 128 + signal_number;
    }
    return result.failed > 0 || result.not_reached > 0 ? 1 : 0;
}

// Files a request for undoing the recorded repair `id`; the exit code.
int RequestUndo(db::TIBDatabase& database, loans::RecordStore& records, loans::Approvals& approvals,
                const std::string& id) {
    loans::RepairUnit unit(database);
    const loans::Filed filed = approvals.RequestUndo(unit, records, id);
    switch (filed.result) {
        case loans::Filed::Result::kFiled:
            std::cout << Shown(filed.request.member) << ' ' << filed.request.loan
                      << " Deshacer: solicitud registrada: requiere aprobaci\u00f3n (solicitud "
                      << filed.request.id << ")\n";
            return 0;
        case loans::Filed::Result::kNothing:
            std::cout << "Deshacer: rechazado: no cambiar\u00eda nada\n";
            return 1;
        case loans::Filed::Result::kRefused:
            std::cout << "Deshacer: rechazado: " << Shown(filed.message) << '\n';
            return 1;
        case loans::Filed::Result::kFailed:
            try {
                std::rethrow_exception(filed.failure);
            } catch (const loans::EUndoRefused& refused) {
                std::cout << "Deshacer: rechazado: " << Shown(refused.Message()) << '\n';
                return 1;
            }
    }
    return 2;
}

// Undoes the recorded repair `id`; the exit code.
int UndoRepair(db::TIBDatabase& database, const std::string& id) {
    loans::RecordStore records(database);
    const runtime::DeferredTermination undoing;
    loans::Approvals approvals(database);
    if (approvals.Required()) return RequestUndo(database, records, approvals, id);
    loans::RepairUnit unit(database);
    loans::ConfirmedUnit confirmed;
    confirmed.database = database.DatabaseName();
    const loans::RecordedUnit undone = loans::UndoRecord(unit, records, id, confirmed);
    if (undone.result == loans::RecordedUnit::Result::kFailed) {
        try {
            std::rethrow_exception(undone.failure);
        } catch (const loans::EUndoRefused& refused) {
            std::cout << Shown(undone.record.member) << ' ' << undone.record.loan
                      << " Deshacer: rechazado: " << Shown(refused.Message()) << '\n';
        } catch (const loans::EAlreadyUndone& refused) {
            std::cout << "Deshacer: rechazado: " << Shown(refused.Message()) << '\n';
        }
        if (!undone.record_failure.empty()) throw runtime::Exception(undone.record_failure);
        return 1;
    }
    std::cout << Shown(undone.outcome.loan.member) << ' ' << undone.outcome.loan.loan
              << " Deshacer: deshecho (" << undone.outcome.id << ")\n";
    if (!undone.settled.empty()) std::cout << Shown(undone.settled) << '\n';
    if (!undone.record_failure.empty()) throw runtime::Exception(undone.record_failure);
    if (const int signal_number = runtime::ReceivedTerminationSignal()) return 128 + signal_number;
    return 0;
}

// People read their own clock, with the whole year.
std::string LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &parts);
    return text;
}

// The database keeps no requests: nothing to list or resolve.
void RequireRequests(const loans::Approvals& approvals) {
    if (!approvals.Kept()) {
        throw runtime::Exception(
            "esta base de datos no lleva solicitudes de aprobacion (sql/aprobacion.sql)");
    }
}

// Lists the open requests, each with what it would change; the exit code.
int ListRequests(db::TIBDatabase& database) {
    loans::Approvals approvals(database);
    RequireRequests(approvals);
    const std::vector<loans::Request> pending = approvals.Pending();
    for (const loans::Request& listed : pending) {
        const std::optional<loans::Request> request = approvals.Find(listed.id);
        if (!request) continue;  // gone meanwhile: a request is never removed, but be safe
        std::cout << request->id << ' ' << LocalTime(request->time) << ' ' << Shown(request->user)
                  << ' ' << Shown(request->member) << ' ' << request->loan << ' '
                  << Shown(request->repair);
        if (!request->undoes.empty()) std::cout << ' ' << Shown(request->undoes);
        std::cout << '\n';
        PrintChanges(loans::OutcomeOf(*request));
    }
    std::cout.flush();
    std::cerr << pending.size() << " solicitudes abiertas\n";
    return pending.empty() ? 0 : 1;
}

// A request's number as given on the command line; nothing when it is none.
std::optional<int32_t> RequestNumber(const std::string& text) {
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number <= 0) {
        return std::nullopt;
    }
    return number;
}

// Approves the request; the exit code.
int ApproveRequest(db::TIBDatabase& database, int32_t id) {
    loans::Approvals approvals(database);
    RequireRequests(approvals);
    loans::RecordStore records(database);
    records.ReadyToWrite();
    const runtime::DeferredTermination approving;
    loans::RepairUnit unit(database);
    loans::ConfirmedUnit confirmed;
    confirmed.database = database.DatabaseName();
    loans::RecordedUnit done;
    try {
        done = approvals.Approve(unit, records, id, confirmed);
    } catch (const loans::ERequestRefused& refused) {
        std::cout << "Aprobar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
        return 1;
    } catch (const loans::EAlreadyUndone& refused) {
        std::cout << "Aprobar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
        return 1;
    }
    if (done.result == loans::RecordedUnit::Result::kFailed) {
        try {
            std::rethrow_exception(done.failure);
        } catch (const loans::ERequestRefused& refused) {
            std::cout << "Aprobar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
            return 1;
        } catch (const loans::EUndoRefused& refused) {
            std::cout << "Aprobar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
            return 1;
        } catch (const loans::EAlreadyUndone& refused) {
            std::cout << "Aprobar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
            return 1;
        }
    }
    std::cout << Shown(done.outcome.loan.member) << ' ' << done.outcome.loan.loan << ' '
              << Shown(done.record.repair) << ": aprobada (solicitud " << id << ", registro "
              << done.outcome.id << ")\n";
    if (!done.settled.empty()) std::cout << Shown(done.settled) << '\n';
    if (!done.record_failure.empty()) throw runtime::Exception(done.record_failure);
    if (const int signal_number = runtime::ReceivedTerminationSignal()) return 128 + signal_number;
    return 0;
}

// Rejects the request with its reason; the exit code.
int RejectRequest(db::TIBDatabase& database, int32_t id, const std::string& reason) {
    loans::Approvals approvals(database);
    RequireRequests(approvals);
    const runtime::DeferredTermination rejecting;
    try {
        approvals.Reject(id, reason);
    } catch (const loans::ERequestRefused& refused) {
        std::cout << "Rechazar " << id << ": rechazado: " << Shown(refused.Message()) << '\n';
        return 1;
    }
    std::cout << "Solicitud " << id << " rechazada: " << Shown(reason) << '\n';
    return 0;
}

// Copies this computer's journal records of the database into its table;
// the exit code.
int ImportJournal(db::TIBDatabase& database) {
    const runtime::DeferredTermination importing;  // one transaction, whole or nothing
    const loans::ImportCounts counts = loans::ImportJournal(database, loans::JournalPath());
    std::cout << counts.copied << " registros copiados, " << counts.present << " ya estaban, "
              << counts.other_database << " de otra base de datos, " << counts.not_copied
              << " no copiados (revertidos o sin base de datos)\n";
    return 0;
}

// The flagged loans as the plain check below writes them: the workbook
// first (when it cannot be written, nothing else is), then the CSV to the
// file or to standard output; each whole, a signal meanwhile only noted.
void WriteList(const std::vector<loans::LoanCheck>& flagged, const std::string& csv_file,
               const std::string& xlsx_file) {
    const runtime::DeferredTermination writing;
    if (!xlsx_file.empty()) loans::WriteWorkbook(xlsx_file, flagged);
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
}

// While it lives, a signal cancels the check's statements under way, so
// that the check stops at once and its run can still be stored, as
// unfinished.
class CancelOnSignal {
  public:
    explicit CancelOnSignal(db::CallCanceller& canceller)
        : thread_([this, &canceller] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  if (runtime::ReceivedTerminationSignal() != 0) {
                      canceller.Cancel();
                      return;
                  }
                  wake_.wait_for(lock, std::chrono::milliseconds(20));
              }
          }) {}
    ~CancelOnSignal() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    CancelOnSignal(const CancelOnSignal&) = delete;
    CancelOnSignal& operator=(const CancelOnSignal&) = delete;

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the rest is made
};

const char* const kNoHistory =
    "La base de datos no tiene el historial de revisiones (tablas REVISIONES y "
    "REVISIONES_PRESTAMOS): ejecute sql/revisiones.sql como dice revision-cartera(1)";

// Stores `run` (a signal meanwhile only noted) and prints what it says.
void StoreRun(db::TIBDatabase& database, const loans::CheckRun& run) {
    const runtime::DeferredTermination storing;
    const loans::RecordedRun recorded = loans::RecordRun(database, run, loans::ThisWorkstation());
    for (const std::string& line : loans::RecordedRunLines(recorded)) {
        std::cerr << Shown(line) << '\n';
    }
}

// The check stored in the history (--registrar); the exit code. A run that
// a signal or a failure stopped is stored as unfinished when the database
// can still be reached, and never as finished.
int CheckAndRecord(db::TIBDatabase& database, const std::string& csv_file,
                   const std::string& xlsx_file, bool progress_shown) {
    if (!loans::HasRunHistory(database)) throw runtime::Exception(kNoHistory);
    const auto started = std::chrono::steady_clock::now();
    const auto elapsed = [&started] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
    };
    loans::CheckRun run;
    std::optional<loans::CheckResult> result;
    {
        const runtime::DeferredTermination checking;
        db::CallCanceller canceller;
        loans::CheckOptions options;
        options.canceller = &canceller;
        ProgressBar bar(progress_shown);
        try {
            const CancelOnSignal cancel(canceller);
            result = loans::RunCheck(
                database,
                [&bar](double done) {
                    return runtime::ReceivedTerminationSignal() == 0 && bar.Update(done);
                },
                options);
        } catch (const loans::ECheckCancelled&) {
            // Stopped by a signal: stored as unfinished below.
        } catch (...) {
            bar.Finish();
            run.duration = elapsed();
            try {
                StoreRun(database, run);
            } catch (...) {
                // The check's own failure says what went wrong.
            }
            throw;
        }
    }
    run.duration = elapsed();
    if (!result) {
        StoreRun(database, run);
        std::cerr << "revision-cartera: interrumpida\n";
        return 128 + runtime::ReceivedTerminationSignal();
    }
    const std::vector<loans::LoanCheck> flagged = result->Flagged();
    WriteList(flagged, csv_file, xlsx_file);
    std::cerr << result->loans.size() << " pr\u00e9stamos revisados, " << flagged.size()
              << " con diferencias\n";
    // A signal before the run is stored makes it unfinished: the exit code
    // says the run was interrupted, and so does the history.
    run.finished = runtime::ReceivedTerminationSignal() == 0;
    run.checked = result->loans.size();
    run.flagged = flagged;
    StoreRun(database, run);
    if (const int signal_number = runtime::ReceivedTerminationSignal()) return 128 + signal_number;
    return flagged.empty() ? 0 : 1;
}

// The stored runs (--historial), as a table or as CSV to `csv_file`.
int PrintHistory(db::TIBDatabase& database, const std::string& csv_file) {
    if (!loans::HasRunHistory(database)) throw runtime::Exception(kNoHistory);
    const std::vector<loans::StoredRun> runs = loans::ReadRuns(database);
    const runtime::DeferredTermination writing;
    if (csv_file.empty()) {
        loans::WriteRunsTable(std::cout, runs);
        std::cout.flush();
        if (!std::cout) throw runtime::Exception("No se pudo escribir la salida");
    } else {
        loans::WriteWholeFile(csv_file,
                              [&runs](std::ostream& out) { loans::WriteRunsCsv(out, runs); });
    }
    if (const int signal_number = runtime::ReceivedTerminationSignal()) return 128 + signal_number;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool progress_shown = isatty(STDERR_FILENO) == 1;
    // Nothing is written before the report, and the report goes in whole or
    // not at all: either signal ends the check on the spot.
    runtime::TakeTerminationSignals(runtime::OnTermination::kEndNow,
                                    "revision-cartera: interrumpida\n", progress_shown);
    std::string csv_file;
    std::string xlsx_file;
    std::string database_name;
    std::string undo_id;
    std::string approve_id;
    std::string reject_id;
    std::optional<std::string> reason;
    bool list_requests = false;
    bool have_name = false;
    bool repair = false;
    bool simulate = false;
    bool import = false;
    bool record = false;
    bool history = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--csv" && i + 1 < argc && argv[i + 1][0] != '\0') {
            csv_file = argv[++i];
        } else if (arg == "--xlsx" && i + 1 < argc && argv[i + 1][0] != '\0') {
            xlsx_file = argv[++i];
        } else if (arg == "--reparar") {
            repair = true;
        } else if (arg == "--simular") {
            simulate = true;
        } else if (arg == "--importar-diario") {
            import = true;
        } else if (arg == "--registrar") {
            record = true;
        } else if (arg == "--historial") {
            history = true;
        } else if (arg == "--deshacer" && i + 1 < argc && argv[i + 1][0] != '\0') {
            undo_id = argv[++i];
        } else if (arg == "--solicitudes") {
            list_requests = true;
        } else if (arg == "--aprobar" && i + 1 < argc && argv[i + 1][0] != '\0') {
            approve_id = argv[++i];
        } else if (arg == "--rechazar" && i + 1 < argc && argv[i + 1][0] != '\0') {
            reject_id = argv[++i];
        } else if (arg == "--motivo" && i + 1 < argc) {
            // The terminal's UTF-8, kept in the program's Latin-1.
            reason = formats::Utf8ToLatin1(argv[++i]);
            if (!reason) {
                std::cerr << "revision-cartera: el motivo tiene caracteres que no caben en "
                             "ISO8859_1\n";
                return 2;
            }
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
    // --simular only with --reparar; --deshacer, --importar-diario and the
    // requests' commands alone; --motivo only with --rechazar, which needs it.
    const bool reports = !csv_file.empty() || !xlsx_file.empty();
    const int alone = (!undo_id.empty() ? 1 : 0) + (import ? 1 : 0) + (list_requests ? 1 : 0) +
                      (!approve_id.empty() ? 1 : 0) + (!reject_id.empty() ? 1 : 0);
    std::optional<int32_t> request_number;
    if (!approve_id.empty() || !reject_id.empty()) {
        request_number = RequestNumber(approve_id.empty() ? reject_id : approve_id);
    }
    if ((simulate && !repair) || alone > 1 || (alone == 1 && (repair || reports)) ||
        (reason.has_value() != !reject_id.empty()) ||
        ((!approve_id.empty() || !reject_id.empty()) && !request_number)) {
        std::cerr << kUsage;
        return 2;
    }
    // --registrar with the plain check only; --historial with --csv only.
    const bool requests = list_requests || !approve_id.empty() || !reject_id.empty();
    if ((record && (repair || !undo_id.empty() || import || history || requests)) ||
        (history && (repair || !undo_id.empty() || import || requests || !xlsx_file.empty()))) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        if (!have_name) {
            try {
                database_name =
                    config::ReadDatabaseName(config::FindConfigFile(config::ConfigFilePlaces()));
            } catch (const runtime::Exception& error) {
                throw runtime::Exception("db.ini: " + error.Message());
            }
        }
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction unused("IBTransaction1");
        loans::ConfigureProgramConnection(database, unused, database_name);
        runtime::HoldingTerminationSignals([&database] { database.Open(); });
        if (!undo_id.empty()) {
            try {
                return UndoRepair(database, undo_id);
            } catch (const loans::EAlreadyUndone& refused) {
                std::cout << "Deshacer: rechazado: " << Shown(refused.Message()) << '\n';
                return 1;
            }
        }
        if (import) return ImportJournal(database);
        if (list_requests) return ListRequests(database);
        if (!approve_id.empty()) return ApproveRequest(database, *request_number);
        if (!reject_id.empty()) return RejectRequest(database, *request_number, *reason);
        if (history) return PrintHistory(database, csv_file);
        if (record) return CheckAndRecord(database, csv_file, xlsx_file, progress_shown);

        ProgressBar bar(progress_shown);
        const loans::CheckResult result =
            loans::RunCheck(database, [&bar](double done) { return bar.Update(done); });
        bar.Finish();
        const std::vector<loans::LoanCheck> flagged = result.Flagged();

        if (repair) {
            if (!csv_file.empty() || !xlsx_file.empty()) {
                const runtime::DeferredTermination writing;  // the report goes in whole
                if (!xlsx_file.empty()) loans::WriteWorkbook(xlsx_file, flagged);
                if (!csv_file.empty()) {
                    loans::WriteWholeFile(
                        csv_file, [&flagged](std::ostream& out) { loans::WriteCsv(out, flagged); });
                }
            }
            if (const int signal_number = runtime::ReceivedTerminationSignal()) {
                return 128 + signal_number;
            }
            std::cerr << result.loans.size() << " pr\u00e9stamos revisados, " << flagged.size()
                      << " con diferencias\n";
            return RepairFlagged(database, flagged, simulate, progress_shown);
        }
        const runtime::DeferredTermination writing;  // the report goes in whole
        // The workbook first: when it cannot be written, nothing else is.
        if (!xlsx_file.empty()) loans::WriteWorkbook(xlsx_file, flagged);
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
        if (const int signal_number = runtime::ReceivedTerminationSignal())
            return 128 + signal_number;
        std::cerr << result.loans.size() << " pr\u00e9stamos revisados, " << flagged.size()
                  << " con diferencias\n";
        return flagged.empty() ? 0 : 1;
    } catch (const std::exception& error) {
        // The program's texts are Latin-1; a terminal today reads UTF-8.
        std::cerr << "revision-cartera: " << formats::Latin1ToUtf8(error.what()) << '\n';
        return 2;
    }
}
