#pragma once

#include <memory>
#include <string>

#include "tools/raw_client/raw_client.h"

namespace bench {

// The seven statements of one member lookup through the bare client API,
// each prepared once when this is made and then only executed, fetched to
// the end and closed: the least a client can send for a lookup.
class RawPreparedLookup {
  public:
    explicit RawPreparedLookup(const std::string& database_name);

    // Runs the lookup of one member; returns the rows fetched in all.
    int Run(const std::string& member_code);

  private:
    demo::Attachment attachment_;
    demo::Transaction transaction_{attachment_};
    demo::Statement member_;
    demo::Statement employer_;
    demo::Statement loans_;
    demo::Statement schedule_;
    demo::Statement documents_;
    demo::Statement loan_balance_;
    demo::Statement member_balance_;
};

}  // namespace bench
