#pragma once

// A deliberately small layer over the raw client API, independent of the
// program's data layer in db/ (it uses only its client binding, errors and
// timestamp conversions): one attachment, one transaction, prepared
// statements with positional "?" parameters. The demo builder fills
// databases with it, tests set up and check data behind the back of the
// components under test, and benchmarks measure the data layer against it.
// The namespace is the demo builder's, its first user.

#include <ibase.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "formats/date_time.h"

namespace demo {

// Calendar date with time of day, as a dialect-1 DATE holds it (the
// program's own calendar; milliseconds are not stored).
using DateTime = formats::DateTimeParts;

// The same time of day `days` calendar days later (earlier when negative).
DateTime AddDays(const DateTime& value, int days);

// A parameter or column value; std::monostate is SQL NULL. Text is passed
// through byte for byte (ISO8859_1 on the connection).
using Value = std::variant<std::monostate, int32_t, int64_t, double, std::string, DateTime>;
using Row = std::vector<Value>;

inline constexpr std::monostate kNull{};

bool IsNull(const Value& value);
// Numeric value of an integer or float column; 0 for NULL. Raises for text.
double AsDouble(const Value& value);
int64_t AsInt(const Value& value);
// Text column as stored (CHAR columns keep their padding); "" for NULL.
const std::string& AsText(const Value& value);

struct AttachOptions {
    int dialect = 1;
    // Switches synchronous writes off in the database header (persistent).
    bool forced_writes_off = false;
};

// An attachment as SYSDBA with lc_ctype ISO8859_1: embedded for a bare
// path, through a server for "host:path" (with the program's password).
class Attachment {
  public:
    explicit Attachment(const std::string& path, AttachOptions options = {});
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    isc_db_handle* Handle() { return &handle_; }
    int Dialect() const { return dialect_; }
    // Deletes the database file; the attachment is gone afterwards.
    void Drop();

  private:
    isc_db_handle handle_ = 0;
    int dialect_;
};

// A read-write snapshot transaction; rolled back unless committed. With
// `wait` false a lock conflict fails at once instead of waiting, as the
// program's repairs run.
class Transaction {
  public:
    explicit Transaction(Attachment& attachment, bool wait = true);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    isc_tr_handle* Handle() { return &handle_; }
    Attachment& Owner() { return attachment_; }
    void Commit();
    void Rollback();
    // After a commit or a rollback: a new transaction with the same
    // settings, which the statements prepared for this one then run in.
    void Start();

  private:
    Attachment& attachment_;
    bool wait_;
    isc_tr_handle handle_ = 0;
};

// Runs one statement without parameters or results (DDL, fixed DML).
void ExecuteImmediate(Transaction& transaction, const std::string& sql);

// A statement prepared once and executed any number of times.
class Statement {
  public:
    Statement(Transaction& transaction, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the values to the "?" markers in order and runs the statement.
    void Execute(const std::vector<Value>& params = {});
    // Same, for a select: returns every row.
    std::vector<Row> Select(const std::vector<Value>& params = {});

    struct Descriptor;  // an XSQLDA with its buffers (opaque)

  private:
    void Bind(const std::vector<Value>& params);

    Transaction& transaction_;
    isc_stmt_handle handle_ = 0;
    std::string sql_;
    std::unique_ptr<Descriptor> input_;
    std::unique_ptr<Descriptor> output_;
};

// Creates an empty database (ISO8859_1, page size 8192) at `name`: a bare
// path embedded, "host:path" through a server.
void CreateEmptyDatabase(const std::string& name, int dialect = 1);

// One-shot helpers for checks and small reads.
std::vector<Row> SelectRows(Transaction& transaction, const std::string& sql,
                            const std::vector<Value>& params = {});
// The first column of the first row (NULL when there is no row).
Value SelectValue(Transaction& transaction, const std::string& sql,
                  const std::vector<Value>& params = {});

}  // namespace demo
