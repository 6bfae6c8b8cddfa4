#pragma once

// The stored runs as text: a table for a terminal or the journal, CSV for
// a file, and what a run just stored says of itself. No Qt.

#include <ostream>
#include <string>
#include <vector>

#include "loans/history/run_history.h"
#include "loans/reports/portfolio_report.h"

namespace loans {

// UTF-8, a header row, one row per run in the order given; amounts as
// machine text to the cent, the duration in milliseconds, finished as 1 or 0.
inline constexpr const char* kRunsCsvHeader =
    "revision,fecha,usuario,estacion,revisados,con_diferencias,reindexar,corregir_tabla,monto,"
    "duracion_ms,terminada";
void WriteRunsCsv(std::ostream& out, const std::vector<StoredRun>& runs,
                  CsvTarget target = CsvTarget::kFile);

// One line per run under a heading, columns aligned; the duration in
// seconds.
void WriteRunsTable(std::ostream& out, const std::vector<StoredRun>& runs);

// The lines a run just stored prints (program text, Latin-1): its number,
// and the loans new and resolved since the last finished run, each named.
std::vector<std::string> RecordedRunLines(const RecordedRun& recorded);

}  // namespace loans
