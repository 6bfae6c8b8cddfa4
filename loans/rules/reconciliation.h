#pragma once

// A loan's reconciliation: its applied documents added up by kind, the
// totals the window shows under the documents grid, the documents balance,
// and whether it agrees with the receivable balance. One computation for
// the window, the printed statement and the portfolio check. No Qt.

#include <array>
#include <string>
#include <string_view>

#include "loans/rules/document_kinds.h"

namespace loans {

// The capital of a loan's applied documents, per kind (the table's order),
// in extended precision: rounded only when shown.
class KindSums {
  public:
    // Adds one listed row's capital to its kind; a code that names no kind
    // is no document and adds nothing.
    void Add(std::string_view letter, long double capital);
    void Set(std::size_t kind, long double sum) { sums_[kind] = sum; }
    long double operator[](std::size_t kind) const { return sums_[kind]; }
    // Every kind added up in the table's order.
    long double DocumentsBalance() const;

  private:
    std::array<long double, kKindCount> sums_{};
};

// The texts under the documents grid.
struct Totals {
    std::string charges;   // "Total Cargos:" and each charging kind above 0
    std::string payments;  // "Total Pagos:" and each paying kind below 0
    std::string balance;   // "Balance= " and the documents balance
    long double documents_balance = 0;
};
Totals ComposeTotals(const KindSums& sums);

// An amount as the window shows it ("###,###,##0.00", the user's separators).
std::string ShownAmount(long double value);

// An amount as machine text (reports, records): two decimals, a period, no
// grouping, with the window's rounding, whatever the user's settings.
std::string CsvAmount(long double value);

// True when the two amounts show alike (equal ones without formatting).
bool ShownAlike(long double a, long double b);

// True when the two balances show differently, which is when a loan's
// movements need rebuilding.
bool BalancesDisagree(long double documents_balance, double receivable_balance);

// Empty when the two balances agree as shown; otherwise the error message
// naming both and their difference.
std::string MismatchMessage(long double documents_balance, double receivable_balance);

}  // namespace loans
