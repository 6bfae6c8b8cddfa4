#include "loans/rules/reconciliation.h"

#include <algorithm>

#include "formats/amount_format.h"

namespace loans {

void KindSums::Add(std::string_view letter, long double capital) {
    const std::size_t kind = KindIndex(letter);
    if (kind < kKindCount) sums_[kind] += capital;
}

long double KindSums::DocumentsBalance() const {
    long double balance = 0;
    for (const long double sum : sums_) balance += sum;
    return balance;
}

std::string CsvAmount(long double value) {
    static const formats::FormatSettings plain{};  // '.' decimals, ',' thousands
    std::string text = formats::FormatFloat(formats::kAmountPattern, value, plain);
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return text;
}

std::string ShownAmount(long double value) {
    return formats::FormatFloat(formats::kAmountPattern, value);
}

Totals ComposeTotals(const KindSums& sums) {
    Totals totals;
    totals.charges = "Total Cargos:";
    totals.payments = "Total Pagos:";
    for (std::size_t i = 0; i < kKindCount; ++i) {
        const DocumentKind& kind = kDocumentKinds[i];
        const std::string named = std::string(" ") + kind.label + "= " + ShownAmount(sums[i]);
        if (kind.sign > 0 && sums[i] > 0) totals.charges += named;
        if (kind.sign < 0 && sums[i] < 0) totals.payments += named;
    }
    totals.documents_balance = sums.DocumentsBalance();
    totals.balance = "Balance= " + ShownAmount(totals.documents_balance);
    return totals;
}

bool ShownAlike(long double a, long double b) {
    return a == b || ShownAmount(a) == ShownAmount(b);
}

bool BalancesDisagree(long double documents_balance, double receivable_balance) {
    return !ShownAlike(documents_balance, receivable_balance);
}

std::string MismatchMessage(long double documents_balance, double receivable_balance) {
    const std::string documents = ShownAmount(documents_balance);
    const std::string cxc = ShownAmount(receivable_balance);
    if (documents == cxc) return {};
    return "ERROR!! El balance del prestamo segun documentos es de " + documents +
           "\r mientras que el balance segun cxc es de " + cxc + " para una diferencia de " +
           ShownAmount(static_cast<long double>(receivable_balance) - documents_balance);
}

}  // namespace loans
