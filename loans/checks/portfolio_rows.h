#pragma once

// One round of the portfolio check worked out on this side: the server
// sends the schedule and document rows of a range of loans as they stand
// (its cheapest work: no sort, no duplicate removal), and each loan's
// documents sums and differing instalments are worked out here, dropping
// exact duplicates as the window's union does. No Qt.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "loans/rules/reconciliation.h"

namespace db {
class TIBXSQLDA;
}

namespace loans {

// Per kind, in the table's order, its rows of the loans numbered from :desde
// to :hasta: the loan, the window's columns, and for the schedule its paid
// capital and interest. One statement per table, not a union: the engine
// hands over a row of a plain select for less.
std::vector<std::string> RoundRowsStatements();

struct LoanFigures {
    KindSums sums;  // the window's documents, added up as the window does
    int differing_instalments = 0;
};

class RoundRows {
  public:
    // Keeps one fetched row of the kind's statement.
    void Add(std::size_t kind, const db::TIBXSQLDA& row);
    // Works out every loan seen since the last call, and forgets the rows.
    std::unordered_map<int32_t, LoanFigures> TakeFigures();

    // A row as compared: a value in each of the union's columns, told
    // apart exactly as the server's union tells them apart.
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

}  // namespace loans
