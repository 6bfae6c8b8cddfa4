#include "loans/portfolio_report.h"

#include <algorithm>

#include "formats/amount_format.h"
#include "loans/repair_statements.h"

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

std::string CsvAmount(long double value) {
    static const formats::FormatSettings plain{};  // '.' decimals, ',' thousands
    std::string text = formats::FormatFloat(formats::kAmountPattern, value, plain);
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return text;
}

namespace {

std::string Utf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// Quoted only when it has to be: a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

}  // namespace

void WriteCsv(std::ostream& out, const std::vector<LoanCheck>& loans) {
    out << kCsvHeader << '\n';
    for (const LoanCheck& loan : loans) {
        out << CsvField(Utf8(loan.member)) << ',' << CsvField(Utf8(loan.name)) << ',' << loan.loan
            << ',' << CsvAmount(loan.documents_balance) << ',' << CsvAmount(loan.receivable_balance)
            << ',' << CsvAmount(Difference(loan)) << ',' << loan.differing_instalments << ','
            << RepairName(loan) << '\n';
    }
}

}  // namespace loans
