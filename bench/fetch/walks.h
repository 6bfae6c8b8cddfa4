#pragma once

// One walk over a result set, by the data layer or by the raw client API,
// reading every column of every row. Both walks add the values up the same
// way, so a walk that read different data shows in the sums.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "db/ib_query.h"
#include "tools/raw_client/raw_client.h"

namespace bench {

struct WalkSums {
    int64_t rows = 0;
    int64_t text_bytes = 0;
    int64_t integers = 0;
    double floats = 0;
    uint64_t other = 0;  // dates and blob ids, kept only so no read is optimised away

    bool SameData(const WalkSums& o) const {
        return rows == o.rows && text_bytes == o.text_bytes && integers == o.integers &&
               floats == o.floats;
    }
};

struct NamedValue {
    std::string name;
    int32_t value;
};

// Through a query of the data layer, the way the program walks a result:
// close, set the text, set the parameters by name, open, then First and
// Next until AtEnd, each field read with the getter of its own kind (memo
// fields only tested for null: the program never reads their text).
// Stops after `limit` rows and closes the query.
struct DatasetWalk {
    WalkSums sums;
    size_t row_size = 0;  // bytes per cached row
    // Bytes per row of a row record that also keeps every column's
    // bookkeeping in each row (the assumed layout is in walks.cpp).
    size_t reference_row_size = 0;
    int64_t resident_growth = 0;  // bytes the process grew by while the rows were cached
};
DatasetWalk WalkDataset(db::TIBQuery& query, const std::string& sql,
                        const std::vector<NamedValue>& params, int64_t limit);

// Through the raw client API on `transaction`: prepare, describe, execute
// with the integer parameters bound to the "?" markers in order, fetch
// into one XSQLDA and read each column as an application would (varchar
// length prefix, isc_decode_date for timestamps, the 8-byte id of a blob).
WalkSums WalkRaw(demo::Transaction& transaction, const std::string& sql,
                 const std::vector<int32_t>& params, int64_t limit);

}  // namespace bench
