#include "loans/reports/portfolio_workbook.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdlib>

#include "formats/latin1.h"
#include "loans/reports/portfolio_report.h"
#include "loans/reports/report_file.h"
#include "loans/rules/reconciliation.h"
#include "runtime/exception.h"
#include "runtime/number_text.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& cause, int error) {
    throw runtime::EInOutError("No se pudo escribir " + path + ": " + cause, error);
}

// The amount as the CSV writes it: the window's rounding to the cent, so
// that the sheet's cells add up to the figures shown.
double CentAmount(long double value) {
    return runtime::ParseReal(CsvAmount(value)).value_or(0.0);
}

// Fills the workbook at `file`; the first library error, else LXW_NO_ERROR.
lxw_error Compose(const char* file, const std::vector<LoanCheck>& loans) {
    lxw_workbook* book = workbook_new(file);
    if (book == nullptr) return LXW_ERROR_MEMORY_MALLOC_FAILED;
    lxw_error first = LXW_NO_ERROR;
    const auto note = [&first](lxw_error error) {
        if (first == LXW_NO_ERROR) first = error;
    };
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Revision de cartera");
    lxw_format* header = workbook_add_format(book);
    lxw_format* amount = workbook_add_format(book);
    if (sheet == nullptr || header == nullptr || amount == nullptr) {
        note(LXW_ERROR_MEMORY_MALLOC_FAILED);
    } else {
        format_set_bold(header);
        format_set_num_format(amount, "#,##0.00");
        static const char* const kColumns[] = {
            "socio",       "nombre",     "prestamo",         "balance_documentos",
            "balance_cxc", "diferencia", "cuotas_distintas", "reparacion"};
        static const double kWidths[] = {10, 44, 11, 20, 16, 14, 17, 26};
        for (lxw_col_t col = 0; col < 8; ++col) {
            note(worksheet_write_string(sheet, 0, col, kColumns[col], header));
            note(worksheet_set_column(sheet, col, col, kWidths[col], nullptr));
        }
        lxw_row_t row = 0;
        for (const LoanCheck& loan : loans) {
            ++row;
            // Written as strings, never formulas: a name beginning with "="
            // stays a name.
            note(worksheet_write_string(sheet, row, 0, formats::Latin1ToUtf8(loan.member).c_str(),
                                        nullptr));
            note(worksheet_write_string(sheet, row, 1, formats::Latin1ToUtf8(loan.name).c_str(),
                                        nullptr));
            note(worksheet_write_number(sheet, row, 2, loan.loan, nullptr));
            note(worksheet_write_number(sheet, row, 3, CentAmount(loan.documents_balance), amount));
            note(
                worksheet_write_number(sheet, row, 4, CentAmount(loan.receivable_balance), amount));
            note(worksheet_write_number(sheet, row, 5, CentAmount(Difference(loan)), amount));
            note(worksheet_write_number(sheet, row, 6, loan.differing_instalments, nullptr));
            note(worksheet_write_string(sheet, row, 7, RepairName(loan).c_str(), nullptr));
        }
        worksheet_freeze_panes(sheet, 1, 0);
        note(worksheet_autofilter(sheet, 0, 0, row, 7));
    }
    // Closing writes the file and frees the workbook, also after an error.
    const lxw_error closed = workbook_close(book);
    return first != LXW_NO_ERROR ? first : closed;
}

}  // namespace

bool IsWorkbookName(const std::string& path) {
    static constexpr std::string_view kSuffix = ".xlsx";
    if (path.size() < kSuffix.size()) return false;
    for (size_t i = 0; i < kSuffix.size(); ++i) {
        const char ch = path[path.size() - kSuffix.size() + i];
        if ((ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch) != kSuffix[i]) return false;
    }
    return true;
}

void WriteWorkbook(const std::string& path, const std::vector<LoanCheck>& loans) {
    // The library writes to a file name: the temporary one beside the report.
    ReplaceFileWhole(path, [&](const std::string& temporary) {
        if (const lxw_error error = Compose(temporary.c_str(), loans); error != LXW_NO_ERROR) {
            Fail(path, lxw_strerror(error), EIO);
        }
    });
}

}  // namespace loans
