#pragma once

// A loan's figures worked out on this side, exactly as the window adds its
// documents and as the schedule correction writes its instalments. For a
// round of the portfolio check, from the schedule and document rows of a
// range of loans as the server sends them (its cheapest work: no sort, no
// duplicate removal), put in the window's order and with exact duplicates
// dropped as the window's union drops them; for one loan, from the
// window's own statement. No Qt.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "loans/rules/reconciliation.h"
#include "loans/rules/repairs.h"

namespace db {
class TIBQuery;
class TIBXSQLDA;
}  // namespace db

namespace loans {

// Per kind, in the table's order, its rows of the loans numbered from :desde
// to :hasta: the loan, the window's columns, and for the schedule its paid
// capital and interest. One statement per table, not a union: the engine
// hands over a row of a plain select for less.
std::vector<std::string> RoundRowsStatements();

// A loan's schedule rows, ":p" the loan: instalment number, paid capital,
// paid interest.
inline constexpr const char* kSchedulePaidAmountsStatement =
    "select ren_cuotano,ren_pagadocapital,ren_pagadointeres from RENGLONES"
    " where ren_prestamono = :p";

struct LoanFigures {
    KindSums sums;  // the window's documents, added up as the window does
    int differing_instalments = 0;
    // How far the window's documents balance may be from the one in `sums`
    // (0: it is the window's): the server adds in another order and
    // precision, and rows that tie on instalment and date come in an order
    // of the server's own (see WorkListedLoan).
    long double balance_spread = 0;
    // The count above may not be what the correction would change: an
    // instalment's sum came near a half cent where the additions' order
    // decides it. Worked out again by WorkListedLoan.
    bool instalments_undecided = false;
};

// How far apart two sums of the same `count` numbers, whose magnitudes add
// up to `magnitude`, may come when added in other orders, either in double
// precision: every addition rounds by at most one part in 2^53 of the
// partial sum, which is at most the magnitude.
long double SumSpread(int64_t count, long double magnitude);

// Whether every amount within `spread` of `value` shows as `value` shows.
// Shown amounts round half away from zero on 18 significant digits, so only
// the neighbourhood of a half cent can show otherwise.
bool ShowsAlikeWithin(long double value, long double spread);

// Whether the figures' documents balance and its difference from the
// receivable balance are surely the window's, and its instalments what
// the correction would change.
bool Decided(const LoanFigures& figures, double receivable_balance);

class RoundRows {
  public:
    // Keeps one fetched row of the kind's statement.
    void Add(std::size_t kind, const db::TIBXSQLDA& row);
    // Works out every loan seen since the last call, and forgets the rows.
    std::unordered_map<int32_t, LoanFigures> TakeFigures();

    // A row as compared: a value in each of the union's columns, told
    // apart exactly as the server's union tells them apart, and keyed so
    // that keys sort as the server sorts the values.
    struct Row {
        int32_t loan = 0;
        uint8_t kind = 0;   // the kind's index in the table
        uint8_t nulls = 0;  // one bit per column below, from the document
        uint64_t document = 0;
        uint64_t date = 0;
        uint64_t instalment = 0;
        double capital = 0;
        double interest = 0;
        double paid_capital = 0;   // schedule rows; null as 0
        double paid_interest = 0;  // likewise
    };

  private:
    std::vector<Row> rows_;
    // Texts in a key column (a site's own column types), numbered so rows
    // compare as numbers; equal after trailing blanks as the server has it.
    std::unordered_map<std::string, uint64_t> texts_;
};

// One schedule row as stored (a null paid amount read as 0).
struct ScheduledInstalment {
    int32_t number = 0;
    bool number_null = false;
    double paid_capital = 0;
    double paid_interest = 0;
};

// A loan's figures from its documents as the window lists them, in that
// list's order, and its schedule rows: the window's kind sums, and the
// instalments whose paid amounts show differently from what the
// correction writes, by the correction's own additions.
LoanFigures WorkListedLoan(const std::vector<AppliedDocument>& documents,
                           const std::vector<ScheduledInstalment>& schedule);
// The same, read through the given query in its transaction (the query's
// statement is replaced): the window's statement, then the schedule.
LoanFigures WorkListedLoan(db::TIBQuery& reader, int32_t loan);
// The schedule rows alone.
std::vector<ScheduledInstalment> ReadScheduledInstalments(db::TIBQuery& reader, int32_t loan);

}  // namespace loans
