#pragma once

#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/repairs/bulk_repair.h"

namespace portfolio {

// What the dialog says, and the list it writes to a file. Texts are
// Latin-1 bytes, like the rest of the program's.

// The line under the list once the check has ended.
QString TotalsLine(size_t checked, const std::vector<loans::LoanCheck>& flagged);
// Asked before the selected loans are repaired.
std::string RepairQuestion(const std::vector<loans::LoanCheck>& rows);
// A repair run's summary; `result` is null when the run failed as a whole.
std::string RepairSummary(const loans::BulkResult* result, const std::string& failure);
// What a preview shows; `result` is null when it failed.
std::string PreviewText(const loans::BulkResult* result, const std::string& failure);
// Writes the flagged loans, in the check's order, as a workbook to a .xlsx
// name, else as CSV; false (and a message shown) on failure.
bool ExportList(const std::string& path, const std::vector<loans::LoanCheck>& flagged);

}  // namespace portfolio
