#include "loans/reports/portfolio_report.h"

#include <string_view>

#include "formats/latin1.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/repair_statements.h"

namespace loans {

std::string RepairName(const LoanCheck& loan) {
    if (loan.reindex && loan.fix_schedule)
        return std::string(kRebuildRepair) + " + " + kCorrectRepair;
    if (loan.reindex) return kRebuildRepair;
    if (loan.fix_schedule) return kCorrectRepair;
    return {};
}

long double Difference(const LoanCheck& loan) {
    return static_cast<long double>(loan.receivable_balance) - loan.documents_balance;
}

namespace {

// A control character shown as \xNN: on a terminal a name must not move
// the cursor, change colours or set the window's title.
std::string EscapeControls(const std::string& latin1) {
    std::string out;
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

// A text cell as written: one a spreadsheet would run as a formula (it
// begins with =, +, -, @, a tab or a carriage return) gets an apostrophe
// in front; quoted only when it has to be: a separator, a quote or a line
// break.
std::string CsvTextField(std::string text, char separator) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos) {
        text.insert(text.begin(), '\'');
    }
    const char special[] = {separator, '"', '\r', '\n', '\0'};
    if (text.find_first_of(special) == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

}  // namespace

std::string CsvText(const std::string& latin1, CsvTarget target, char separator) {
    return CsvTextField(
        formats::Latin1ToUtf8(target == CsvTarget::kTerminal ? EscapeControls(latin1) : latin1),
        separator);
}

void WriteCsv(std::ostream& out, const std::vector<LoanCheck>& loans, CsvTarget target,
              CsvStyle style) {
    const char separator = style.separator;
    const auto text = [target, separator](const std::string& latin1) {
        return CsvText(latin1, target, separator);
    };
    const auto amount = [style](long double value) {
        std::string written = CsvAmount(value);
        for (char& ch : written) {
            if (ch == '.') ch = style.decimal;
        }
        return written;
    };
    std::string header = kCsvHeader;
    for (char& ch : header) {
        if (ch == ',') ch = separator;
    }
    out << header << '\n';
    for (const LoanCheck& loan : loans) {
        out << text(loan.member) << separator << text(loan.name) << separator << loan.loan
            << separator << amount(loan.documents_balance) << separator
            << amount(loan.receivable_balance) << separator << amount(Difference(loan)) << separator
            << loan.differing_instalments << separator << RepairName(loan) << '\n';
    }
}

}  // namespace loans
