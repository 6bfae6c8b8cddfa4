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
// in front; quoted only when it has to be: a comma, a quote or a line break.
std::string CsvTextField(std::string text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos) {
        text.insert(text.begin(), '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

}  // namespace

std::string CsvText(const std::string& latin1, CsvTarget target) {
    return CsvTextField(
        formats::Latin1ToUtf8(target == CsvTarget::kTerminal ? EscapeControls(latin1) : latin1));
}

void WriteCsv(std::ostream& out, const std::vector<LoanCheck>& loans, CsvTarget target) {
    const auto text = [target](const std::string& latin1) { return CsvText(latin1, target); };
    out << kCsvHeader << '\n';
    for (const LoanCheck& loan : loans) {
        out << text(loan.member) << ',' << text(loan.name) << ',' << loan.loan << ','
            << CsvAmount(loan.documents_balance) << ',' << CsvAmount(loan.receivable_balance) << ','
            << CsvAmount(Difference(loan)) << ',' << loan.differing_instalments << ','
            << RepairName(loan) << '\n';
    }
}

}  // namespace loans
