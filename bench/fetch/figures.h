#pragma once

// What every figure group of coop-bench shares: the connections to the
// benchmark database (the data layer's components, configured as the main
// window configures its own, and a raw attachment beside them), the way a
// figure is printed, and timing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "tools/raw_client/raw_client.h"

namespace bench {

// Prints "name value unit" on standard output.
void PrintFigure(const std::string& name, double value, const std::string& unit, int decimals = 0);

struct Timing {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds of process CPU time: steadier while other work shares the machine
};

// Runs `work` once and measures it.
Timing Measure(const std::function<void()>& work);

// The better of two timings, each clock on its own.
Timing Best(const Timing& a, const Timing& b);

// Resident memory of the process in bytes.
int64_t ResidentBytes();

class BenchContext {
  public:
    explicit BenchContext(const std::string& path);
    ~BenchContext();

    db::TIBDatabase& Database() { return database_; }
    db::TIBTransaction& Transaction() { return transaction_; }
    // A query on the shared connection and transaction, named like one of
    // the main window's; it lives as long as the context.
    db::TIBQuery& Query(const std::string& name);

    // A second attachment to the same file for the raw client API path,
    // with the same character set and dialect and a default transaction.
    demo::Transaction& Raw() { return *raw_transaction_; }

  private:
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
    std::vector<std::unique_ptr<db::TIBQuery>> queries_;
    std::unique_ptr<demo::Attachment> raw_attachment_;
    std::unique_ptr<demo::Transaction> raw_transaction_;
};

// Figure groups: each prints its own lines.
void ScheduleFigures(BenchContext& context);
void MemberFigures(BenchContext& context);

}  // namespace bench
