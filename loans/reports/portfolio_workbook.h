#pragma once

// The flagged loans as an .xlsx workbook, for analysts who open the list in
// a spreadsheet: the CSV's columns, codes as text, amounts and instalments
// as numbers. No Qt.

#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"

namespace loans {

// Writes the workbook to `path` whole or not at all, like WriteWholeFile:
// one sheet, a bold header row that stays in view and filters, one row
// per loan in the order given; amounts rounded to the cent as the CSV
// shows them and displayed as the window does (#,##0.00). Raises
// runtime::EInOutError naming the file and the cause; the old file, if
// any, is then untouched and no temporary file remains.
void WriteWorkbook(const std::string& path, const std::vector<LoanCheck>& loans);

// True for a name ending in .xlsx (any case): the report the user asks for.
bool IsWorkbookName(const std::string& path);

}  // namespace loans
