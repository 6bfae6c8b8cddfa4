#pragma once

#include <string>

#include "config/login.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"

namespace loans {

// The program's connection and its one transaction as the main window sets
// them up: built-in credentials and character set, a connect timeout, no
// login prompt, no idle timer, dialect 1, a read-only read-committed
// transaction never stopping by itself. The benchmarks and tests connect the same way. (No Qt
// here.)
inline void ConfigureProgramConnection(db::TIBDatabase& database, db::TIBTransaction& transaction,
                                       const std::string& name) {
    database.SetDatabaseName(name);
    // A server that does not answer ends the attempt after connect_timeout
    // seconds instead of leaving the window (or start-up) waiting for minutes.
    database.Params().Assign(
        config::ProgramConnectionLines({"lc_ctype=ISO8859_1", "connect_timeout=10"}));
    database.SetLoginPrompt(false);
    database.SetDefaultTransaction(&transaction);
    database.SetIdleTimer(0);
    database.SetSQLDialect(1);
    transaction.SetDefaultDatabase(&database);
    transaction.SetAutoStopAction(db::saNone);
    // Read-only read committed: every statement sees what others have
    // committed, and the server does not count the transaction as active,
    // so a window left open all day holds back no clean-up of old record
    // versions. Writes run in transactions of their own (RepairUnit).
    transaction.Params().Assign({"read", "read_committed", "rec_version", "nowait"});
}

}  // namespace loans
