#pragma once

// The portfolio check: every listed loan of every member (status "A" or "L",
// numbered above 0, member on file), with the window's documents balance,
// its receivable balance and the paid amounts the schedule correction would
// write, worked out in rounds of loans, by the server or here (SumsWorked).
// No Qt.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/exception.h"

namespace db {
class TIBDatabase;
class TIBQuery;
class CallCanceller;
}  // namespace db

namespace loans {

struct LoanCheck {
    std::string member;  // code as the loan list holds it (ISO8859_1)
    std::string name;    // CLIENTES.CLT_NOMBRESYAPELLIDOS (ISO8859_1)
    int32_t loan = 0;
    // The six per-kind sums added in the window's order, unrounded.
    long double documents_balance = 0;
    double receivable_balance = 0;
    // Instalments whose paid capital or paid interest would change text.
    int differing_instalments = 0;
    bool reindex = false;       // the two balances format differently
    bool fix_schedule = false;  // differing_instalments > 0

    bool Flagged() const { return reindex || fix_schedule; }
};

struct CheckResult {
    // Every listed loan, by member code (bytes) then loan number.
    std::vector<LoanCheck> loans;
    std::vector<LoanCheck> Flagged() const;
};

// Called between steps with the share done (0 to 1); returning false stops
// the check, which then raises ECheckCancelled.
using Progress = std::function<bool(double done)>;

class ECheckCancelled : public runtime::EAbort {};

// Where each round's sums are worked out. Here, from the rows as the server
// sends them, on an embedded connection: a sent row costs the engine less
// than sorting it for a union and a grouping. By the server through the
// network, where every row sent is encoded and decoded again.
enum class SumsWorked { kByRoute, kHere, kByServer };

// How the work is split: loans per round of statements (small enough for
// the server to sort a round in memory), and connections working on rounds
// side by side (the given one and helpers with the same settings).
struct CheckOptions {
    int loans_per_round = 10000;
    int connections = 2;
    SumsWorked sums = SumsWorked::kByRoute;
    // Another thread's Cancel() on it stops the check at once, statements
    // under way included; RunCheck then raises ECheckCancelled.
    db::CallCanceller* canceller = nullptr;
};

// Runs the check on a configured connection (connected if it is not); each
// connection reads in a read-only read-committed transaction of its own
// that ends with the check. A helper connection whose thread cannot be
// started leaves its share to the others.
CheckResult RunCheck(db::TIBDatabase& database, const Progress& progress = {},
                     const CheckOptions& options = {});

// The statements the check sends, as sent (for the benchmark's raw run):
// the listed loans' numbers and the members' names first, then per round of loans its rows (sums
// worked here) or its kind sums and instalments (sums worked by the
// server), then its loans. Markers :desde and :hasta take the round's
// first and last loan number. A listed loan whose figures those cannot
// settle (rows that may repeat, or a sum near a half cent that the order
// of its additions decides) is worked out again from `listed_documents`,
// the window's own statement, and `listed_schedule`, its marker :p the
// loan; so is a loan at a repair's second look.
struct CheckStatements {
    std::string numbers;
    std::string names;
    std::string loans;
    std::vector<std::string> rows;  // one per kind
    std::string kind_sums;
    std::string instalments;
    std::string listed_documents;
    std::string listed_schedule;
};
CheckStatements Statements();
// The rounds (first and last loan number) that cover the given loan
// numbers, each holding loans_per_round distinct numbers (the last fewer).
std::vector<std::pair<int32_t, int32_t>> Rounds(
    const std::vector<int32_t>& numbers, int loans_per_round = CheckOptions{}.loans_per_round);

}  // namespace loans
