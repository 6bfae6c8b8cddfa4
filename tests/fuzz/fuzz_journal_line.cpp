// The journal's line reader on arbitrary bytes: a line is read back as a
// record or refused with the journal's own error, never anything else; and
// a record read back is written again as a line that reads back the same,
// and as a list reads it: the same but for its undo image. The same for a
// request's preview, which the same reader reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "loans/records/journal_line.h"
#include "runtime/exception.h"

namespace {

// A request's preview as the database keeps it, read by the same reader: read
// back or refused, and written again it reads back the same.
void ChangeText(const std::string& text) {
    loans::ChangeImage change;
    try {
        change = loans::ParseChangeText(text);
    } catch (const runtime::Exception&) {
        return;  // refused: the preview is damaged
    }
    const std::string written = loans::ChangeText(change);
    if (loans::ChangeText(loans::ParseChangeText(written)) != written) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    ChangeText(line);
    loans::RepairRecord record;
    try {
        record = loans::ParseJournalLine(line);
    } catch (const runtime::Exception&) {
        return 0;  // refused: the line is damaged
    }
    loans::RepairRecord listed;
    try {
        listed = loans::ParseListedJournalLine(line);
    } catch (const runtime::Exception&) {
        __builtin_trap();  // read whole, it was a record
    }
    if (listed.undo_kept != !record.undo.after_fingerprint.empty()) __builtin_trap();
    loans::RepairRecord without_undo = record;
    without_undo.undo = loans::UndoImage{};
    if (loans::JournalLine(listed) != loans::JournalLine(without_undo)) __builtin_trap();
    const std::string written = loans::JournalLine(record);
    if (written.find('\n') != std::string::npos) __builtin_trap();
    // Two decimals are what a line keeps of a balance: from the second
    // writing on, nothing may change.
    const std::string again = loans::JournalLine(loans::ParseJournalLine(written));
    if (loans::JournalLine(loans::ParseJournalLine(again)) != again) __builtin_trap();
    return 0;
}
