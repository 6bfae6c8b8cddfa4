#include "loans/history/run_report.h"

#include <cstdio>

#include "formats/latin1.h"
#include "loans/rules/reconciliation.h"
#include "runtime/number_text.h"

namespace loans {
namespace {

// A name from the database as a terminal may show it: UTF-8, with nothing
// that moves the cursor or changes colours.
std::string Plain(const std::string& latin1) {
    std::string text;
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        text += byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0) ? '?' : ch;
    }
    return formats::Latin1ToUtf8(text);
}

std::string Seconds(int32_t milliseconds) {
    return runtime::FixedText(milliseconds / 1000.0, 1) + " s";
}

std::string Named(const LoanKey& key) {
    return key.first + " " + std::to_string(key.second);
}

}  // namespace

void WriteRunsCsv(std::ostream& out, const std::vector<StoredRun>& runs, CsvTarget target) {
    out << kRunsCsvHeader << '\n';
    for (const StoredRun& run : runs) {
        out << run.id << ',' << RunTimeText(run.time) << ',' << CsvText(run.user, target) << ','
            << CsvText(run.workstation, target) << ',' << run.checked << ',' << run.flagged << ','
            << run.reindex << ',' << run.fix_schedule << ',' << CsvAmount(run.amount) << ','
            << run.duration_ms << ',' << (run.finished ? 1 : 0) << '\n';
    }
}

void WriteRunsTable(std::ostream& out, const std::vector<StoredRun>& runs) {
    char line[512];
    std::snprintf(line, sizeof line, "%8s  %-19s  %9s  %15s  %14s  %9s  %-9s  %s\n", "REVISION",
                  "FECHA", "REVISADOS", "CON DIFERENCIAS", "MONTO", "DURACION", "TERMINADA",
                  "USUARIO");
    out << line;
    for (const StoredRun& run : runs) {
        std::snprintf(line, sizeof line, "%8d  %-19s  %9d  %15d  %14s  %9s  %-9s  ", run.id,
                      RunTimeText(run.time).c_str(), run.checked, run.flagged,
                      CsvAmount(run.amount).c_str(), Seconds(run.duration_ms).c_str(),
                      run.finished ? "si" : "no");
        out << line << Plain(run.user);
        if (!run.workstation.empty()) out << " (" << Plain(run.workstation) << ')';
        out << '\n';
    }
}

std::vector<std::string> RecordedRunLines(const RecordedRun& recorded) {
    const std::string run = "Revisi\xF3n " + std::to_string(recorded.stored.id) + " registrada";
    if (!recorded.stored.finished) return {run + " como no terminada"};
    if (!recorded.previous) {
        return {run + "; no hay una revisi\xF3n terminada anterior con qu\xE9 compararla"};
    }
    std::vector<std::string> lines = {
        run + ": " + std::to_string(recorded.new_loans.size()) + " nuevos y " +
        std::to_string(recorded.resolved.size()) + " resueltos desde la revisi\xF3n " +
        std::to_string(recorded.previous->id) + " (" + RunTimeText(recorded.previous->time) + ")"};
    for (const LoanKey& key : recorded.new_loans) lines.push_back("  nuevo: " + Named(key));
    for (const LoanKey& key : recorded.resolved) lines.push_back("  resuelto: " + Named(key));
    return lines;
}

}  // namespace loans
