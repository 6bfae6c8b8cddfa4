#pragma once

// The journal of confirmed repairs: one JSON line per record
// (journal_line.h), appended to a file in the user's data directory
// (journal_file.h) and on disk before the repair reports success; read
// back here. It holds no password: there is no field for one. No Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "loans/records/journal_file.h"
#include "loans/records/journal_line.h"
#include "loans/records/repair_record.h"

namespace loans {

// The record of the given id in the journal, read back from its line;
// nothing when no line has
// that id. Raises runtime::EInOutError when the journal cannot be read and
// runtime::Exception when the record's line is damaged.
std::optional<RepairRecord> FindRecord(const std::string& id,
                                       const std::string& path = JournalPath());

// The records of one member's loan, in the order they were journaled, as a
// list shows them: without their undo images (`undo_kept` says whether
// there is one); none when the journal does not exist yet. Lines that cannot be read back
// (cut short, or missing a field) are passed by. Raises
// runtime::EInOutError when the journal cannot be read.
std::vector<RepairRecord> RecordsOf(const std::string& member, int32_t loan,
                                    const std::string& path = JournalPath());

}  // namespace loans
