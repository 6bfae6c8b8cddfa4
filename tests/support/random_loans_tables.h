#pragma once

// What the random-loans library's files share and its users need not see:
// the tables the generator fills and the writer empties, and how a row of
// a document kind is told apart.

#include <string>
#include <vector>

#include "loans/rules/document_kinds.h"
#include "tests/support/random_loans.h"

namespace random_loans {

// The tables the generator writes, with no rows yet: members and loans
// first, then the schedule, each kind's documents (both kinds of note share
// their table) and the ledger.
std::vector<Table> EmptyTables();

bool IsSchedule(const loans::DocumentKind& kind);

// The column a kind's extra condition reads, which the generator fills.
const char* ConditionColumn(const loans::DocumentKind& kind);

// A member code without the blanks the server ignores after it.
std::string Trimmed(const std::string& code);

}  // namespace random_loans
