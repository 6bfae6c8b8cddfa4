#pragma once

#include <ibase.h>

#include <memory>
#include <string>
#include <vector>

namespace bench {

// The seven statements of one member lookup through the bare client API.
// Prepared fresh: each allocated, prepared, described, executed, fetched to
// the end and dropped, as a program without any data layer would run them.
// Prepared once: each prepared at its first use and kept, then only
// executed, fetched to the end and its cursor closed: the least any
// program can do for a lookup.
class RawLookup {
  public:
    enum class Preparation { kFresh, kOnce };
    explicit RawLookup(const std::string& database_name,
                       Preparation preparation = Preparation::kFresh);
    ~RawLookup();
    RawLookup(const RawLookup&) = delete;
    RawLookup& operator=(const RawLookup&) = delete;

    // Runs the lookup of one member; returns the rows fetched in all.
    int Run(const std::string& member_code);
    // Runs a statement without parameters and fetches at most `limit`
    // rows of it; returns them. `sql` must outlive this object.
    int FirstRows(const char* sql, int limit);

  private:
    struct Param {
        bool is_text;
        std::string text;
        int32_t number;
    };
    // Runs one statement; returns its rows; `first_int` receives column 1
    // of the first row when it is an integer (the loan number).
    int Statement(const char* sql, const std::vector<Param>& params, int first_int_column = -1,
                  int32_t* first_int = nullptr, int limit = -1);

    // A statement kept prepared, with its output block and buffers.
    struct Prepared {
        const char* sql = nullptr;  // the static text it was prepared from
        isc_stmt_handle handle = 0;
        std::vector<char> out_area;
        std::vector<std::vector<char>> buffers;
        std::vector<short> nulls;
        XSQLDA* Out() { return reinterpret_cast<XSQLDA*>(out_area.data()); }
    };
    // Allocates, prepares and describes `sql` into `prepared`.
    void PrepareInto(const char* sql, Prepared& prepared);
    Prepared& Kept(const char* sql);

    Preparation preparation_;
    std::vector<std::unique_ptr<Prepared>> kept_;
    isc_db_handle database_ = 0;
    isc_tr_handle transaction_ = 0;
};

}  // namespace bench
