#pragma once

// The portfolio check's findings as text: the repair each loan needs, its
// figures, and the list as CSV. No Qt.

#include <ostream>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"

namespace loans {

// "Reindexar", "Corregir Tabla" or "Reindexar + Corregir Tabla".
std::string RepairName(const LoanCheck& loan);
// The receivable balance minus the documents balance, as the window's
// mismatch message computes it.
long double Difference(const LoanCheck& loan);

// The flagged loans as CSV (UTF-8, a header row, one row per loan in the
// order given). Text cells a spreadsheet would take for a formula begin
// with an apostrophe; on a terminal, control characters in them are
// written as \xNN.
inline constexpr const char* kCsvHeader =
    "socio,nombre,prestamo,balance_documentos,balance_cxc,diferencia,cuotas_distintas,reparacion";
enum class CsvTarget { kFile, kTerminal };
// What separates fields and what marks decimals: the machines' way, or
// the way a spreadsheet set to a language with a decimal comma reads a
// CSV (it takes a comma for the decimals, so fields part at ";").
struct CsvStyle {
    char separator = ',';
    char decimal = '.';
};
inline constexpr CsvStyle kMachineCsv{',', '.'};
inline constexpr CsvStyle kDecimalCommaCsv{';', ','};
void WriteCsv(std::ostream& out, const std::vector<LoanCheck>& loans,
              CsvTarget target = CsvTarget::kFile, CsvStyle style = kMachineCsv);
// One text cell of such a CSV, from program text (Latin-1), as WriteCsv
// writes it with `separator` between fields.
std::string CsvText(const std::string& latin1, CsvTarget target = CsvTarget::kFile,
                    char separator = ',');

}  // namespace loans
