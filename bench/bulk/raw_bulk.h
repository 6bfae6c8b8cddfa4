#pragma once

#include <memory>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "tools/raw_client/raw_client.h"

namespace bench {

// How the raw path came out of one loan, as the bulk repair counts them.
enum class RawResult { kRepaired, kSkipped, kFailed };

// The program's bulk repair of one flagged loan, statement for statement,
// through the bare client API: one write/concurrency/nowait transaction
// per loan with the statements prepared once per connection (the data
// layer keeps its prepared statements too), committed per loan. Its record
// goes where the program's goes: a row of REPARACIONES and its image in
// parts, in the loan's transaction, when the database has the table; else
// one line appended to a journal file of its own and synced.
class RawBulkRepair {
  public:
    RawBulkRepair(const std::string& database_name, const std::string& journal_path);
    ~RawBulkRepair();
    RawBulkRepair(const RawBulkRepair&) = delete;
    RawBulkRepair& operator=(const RawBulkRepair&) = delete;

    RawResult Repair(const loans::LoanCheck& check);

  private:
    void RepairInTransaction(const loans::LoanCheck& check, RawResult& result, std::string& line);
    void Append(const std::string& line);

    demo::Attachment attachment_;
    demo::Transaction transaction_;
    demo::Statement loan_, documents_, balance_, schedule_paid_, stored_columns_, movements_,
        schedule_;
    demo::Statement delete_, opening_, document_, paid_before_, reset_, add_paid_, move_total_;
    // The rows read whole, in their stored types, for their fingerprints.
    demo::Statement movements_stored_, schedule_stored_;
    // The record, when the database keeps records.
    std::unique_ptr<demo::Statement> record_, record_image_;
    std::vector<size_t> columns_;  // of the loan row: number, date, amount, register, type
    int journal_ = -1;
};

// Every movement and schedule row of the given loans, as text in an order
// of its own: equal for two databases that hold the same rows.
std::string LoanRows(const std::string& database_name, const std::vector<loans::LoanCheck>& loans);

}  // namespace bench
