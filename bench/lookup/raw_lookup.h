#pragma once

#include <ibase.h>

#include <string>
#include <vector>

namespace bench {

// The seven statements of one member lookup through the bare client API:
// each allocated, prepared, described, executed, fetched to the end and
// dropped, as a program without any data layer would run them.
class RawLookup {
  public:
    explicit RawLookup(const std::string& database_name);
    ~RawLookup();
    RawLookup(const RawLookup&) = delete;
    RawLookup& operator=(const RawLookup&) = delete;

    // Runs the lookup of one member; returns the rows fetched in all.
    int Run(const std::string& member_code);

  private:
    struct Param {
        bool is_text;
        std::string text;
        int32_t number;
    };
    // Runs one statement; returns its rows; `first_int` receives column 1
    // of the first row when it is an integer (the loan number).
    int Statement(const char* sql, const std::vector<Param>& params, int first_int_column = -1,
                  int32_t* first_int = nullptr);

    isc_db_handle database_ = 0;
    isc_tr_handle transaction_ = 0;
};

}  // namespace bench
