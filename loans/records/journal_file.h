#pragma once

// The journal's file, held open for appending. No Qt.

#include <string>

#include "loans/records/repair_record.h"

namespace loans {

// The journal held open: a repair opens it before it writes anything, so a
// repair that could not be recorded is refused rather than made unrecorded.
class JournalFile {
  public:
    // Opens the journal, creating it (owner only) and its folder (0700)
    // when missing. The folder must be a folder of the user's own and the
    // journal a regular file of the user's own: never a link, a pipe or a
    // device, and opening never waits. Raises runtime::EInOutError, whose
    // message names the file and the cause.
    explicit JournalFile(const std::string& path = JournalPath());
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Appends the record as one line at the end, whole or not at all,
    // holding the file's exclusive lock: after a failed or short write the
    // file is cut back to where it was, which no other writer can have
    // moved meanwhile, and the message names the cause. On disk before it returns. A line left
    // unfinished by another writer is ended first, so every record stays a line of its own.
    void Append(const RepairRecord& record);

  private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
};

// Opens the journal and appends one record.
void AppendToJournal(const RepairRecord& record, const std::string& path = JournalPath());

}  // namespace loans
