#pragma once

// Copying a computer's journal into the database's records table, once a
// site has made it: the records of that database, by id, so that running
// it twice copies nothing twice. No Qt.

#include <string>

namespace db {
class TIBDatabase;
}

namespace loans {

struct ImportCounts {
    int copied = 0;
    int present = 0;         // in the table already (by id)
    int other_database = 0;  // made on another database
    // Rolled back or unconfirmed, written before records named their
    // database, a damaged line, or an undo of a record the table lacks or
    // shows undone already.
    int not_copied = 0;
};

// Copies, in one transaction, the committed records of the journal at
// `path` made on this database. Raises runtime::Exception when the
// database has no records table, runtime::EInOutError when the journal
// cannot be read; nothing is copied then, or on any other failure.
ImportCounts ImportJournal(db::TIBDatabase& database, const std::string& path);

}  // namespace loans
