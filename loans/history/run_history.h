#pragma once

// The portfolio check's runs, kept in the database's REVISIONES and
// REVISIONES_PRESTAMOS (sql/revisiones.sql): each run stored whole at its
// end in one short transaction, the loans it flagged compared with those
// of the last finished run before it, and the runs read back. No Qt.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "loans/checks/portfolio_check.h"

namespace db {
class TIBDatabase;
}

namespace loans {

// One run as the database holds it.
struct StoredRun {
    int32_t id = 0;
    double time = 0;  // the server's, a day count (db/date_time.h)
    std::string user;
    std::string workstation;
    int32_t checked = 0;  // loans checked
    int32_t flagged = 0;  // of them, loans a repair would change
    int32_t reindex = 0;  // flagged for "Reindexar" (a loan may need both)
    int32_t fix_schedule = 0;
    double amount = 0;  // the flagged loans' differences, each as shown, without sign, added
    int32_t duration_ms = 0;
    bool finished = false;
};

// A run to store. An unfinished one (stopped, or failed half way) keeps
// no loans and no counts: what it saw is not the portfolio.
struct CheckRun {
    bool finished = false;
    size_t checked = 0;
    std::vector<LoanCheck> flagged;
    std::chrono::milliseconds duration{0};
};

// A loan by member code (trailing blanks dropped, as the server compares
// codes) and number.
using LoanKey = std::pair<std::string, int32_t>;
LoanKey KeyOf(const std::string& member, int32_t loan);

// A stored run against the last finished run stored before it.
struct RecordedRun {
    StoredRun stored;
    // Empty when no finished run came before, or this one did not finish:
    // then nothing is new and nothing resolved.
    std::optional<StoredRun> previous;
    std::vector<LoanKey> new_loans;  // flagged now, not by the previous run
    std::vector<LoanKey> resolved;   // flagged by the previous run, not now
};

// True when the database has both tables (a connection is opened if it is
// not).
bool HasRunHistory(db::TIBDatabase& database);

// Stores `run` with its flagged loans in one transaction of its own, read
// and written as of one moment, and tells what changed since the last
// finished run. The server gives the number, time and user; `workstation`
// stands where the server knows no network peer (an embedded connection).
// Raises the server's error, with nothing stored, when it cannot.
RecordedRun RecordRun(db::TIBDatabase& database, const CheckRun& run,
                      const std::string& workstation);

// Every stored run, oldest first.
std::vector<StoredRun> ReadRuns(db::TIBDatabase& database);

// This machine's name, for runs on an embedded connection.
std::string ThisWorkstation();

// A stored run's date and time as machine text: "2024-03-01 02:30:05".
std::string RunTimeText(double time);

}  // namespace loans
