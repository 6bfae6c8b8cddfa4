#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/raw_client/raw_client.h"

namespace bench {

// Member codes spread over the whole member table: every `every`-th by code.
std::vector<std::string> SpreadMemberCodes(const std::string& database, int every);

// A loan the repair companion rewrites again and again.
struct RepairLoan {
    std::string member;
    int32_t loan = 0;
};

// `count` loans spread over the portfolio whose books agree (the portfolio
// check flags neither repair for them), so that both repairs write back
// exactly the rows that are there and the database stays as it was.
std::vector<RepairLoan> AgreeingLoans(const std::string& database, size_t count);

// Every receivable movement and schedule row of the loans, to show that
// the repairs left them as they were.
std::vector<demo::Row> LoanRows(const std::string& database, const std::vector<RepairLoan>& loans);

}  // namespace bench
