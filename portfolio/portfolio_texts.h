#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/reports/portfolio_report.h"
#include "loans/reports/repair_preview.h"

namespace portfolio {

// What the dialog says, and the list it writes to a file. Texts are
// Latin-1 bytes, like the rest of the program's.

// The line under the list once the check has ended.
QString TotalsLine(size_t checked, const std::vector<loans::LoanCheck>& flagged);
// Asked before the selected loans are repaired (or, where repairs need
// approval, filed as requests).
std::string RepairQuestion(const std::vector<loans::LoanCheck>& rows, bool approval = false);
// A repair run's summary; `result` is null when the run failed as a whole.
std::string RepairSummary(const loans::BulkResult* result, const std::string& failure);
// The line under the list: how many loans it lists of how many, and the
// sum of their differences.
QString ListedLine(size_t listed, size_t flagged, long double differences);
// What a preview shows, loan after loan: the lines its run made, or
// (`result` null) why it failed.
std::vector<loans::PreviewLine> PreviewLinesOf(const loans::BulkResult* result,
                                               std::vector<loans::PreviewLine> made,
                                               const std::string& failure);
// The CSV the analyst's spreadsheet reads: with ";" and a decimal comma
// when the desktop's regional settings write a decimal comma.
loans::CsvStyle DesktopCsvStyle();
// Writes the loans as a workbook to a .xlsx name, else as CSV in the
// desktop's style, then says where it wrote; false (and a message shown)
// on failure.
bool ExportList(const std::string& path, const std::vector<loans::LoanCheck>& loans);

}  // namespace portfolio
