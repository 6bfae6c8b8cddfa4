#pragma once

#include <ibase.h>

#include <memory>
#include <string>
#include <vector>

#include "db/component.h"
#include "db/ib_base.h"
#include "db/statement_cache.h"
#include "db/xsqlda.h"

namespace db {

class TIBDatabase;
class TIBTransaction;

// Statement types as the server reports them.
enum SqlStatementType {
    SQLUnknown = 0,
    SQLSelect = 1,
    SQLInsert = 2,
    SQLUpdate = 3,
    SQLDelete = 4,
    SQLDDL = 5,
    SQLGetSegment = 6,
    SQLPutSegment = 7,
    SQLExecProcedure = 8,
    SQLStartTransaction = 9,
    SQLCommit = 10,
    SQLRollback = 11,
    SQLSelectForUpdate = 12,
    SQLSetGenerator = 13,
};

// One server statement: prepare, bind through the input descriptors,
// execute, and fetch rows into the output descriptors.
class TIBSQL {
  public:
    explicit TIBSQL(TComponent* owner);
    ~TIBSQL();
    TIBSQL(const TIBSQL&) = delete;
    TIBSQL& operator=(const TIBSQL&) = delete;

    TIBBase& Base() { return base_; }
    TIBDatabase* Database() const { return base_.Database(); }
    TIBTransaction* Transaction() const { return base_.Transaction(); }

    // Replaces the text. The server statement is kept by the connection
    // for reuse by the same text, or freed.
    void SetText(const std::string& text);
    const std::string& Text() const { return text_; }
    // The text sent to the server (markers replaced by "?").
    const std::string& ProcessedText() const { return processed_; }

    void Prepare();
    void ExecQuery();
    // Fetches one row into the output descriptors; false at the end.
    bool Next();
    void Close();
    void FreeHandle();

    bool Prepared() const { return prepared_; }
    bool Open() const { return open_; }
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    int RecordCount() const { return record_count_; }
    int SQLType() const { return sql_type_; }
    isc_stmt_handle Handle() const { return *handle_; }
    const std::string& CursorName() const { return cursor_name_; }
    // Insert, update or delete count of the last execution; -1 otherwise.
    int RowsAffected();

    TIBXSQLDA& Params() { return input_; }
    TIBXSQLDA& Current() { return output_; }

    // The fields the output columns offer, as a query worked them out for
    // this server statement; kept with it while the connection keeps it,
    // gone with a new prepare. Null until a query hands one over.
    const std::shared_ptr<const FieldLayout>& Layout() const { return layout_; }
    void KeepLayout(std::shared_ptr<const FieldLayout> layout) { layout_ = std::move(layout); }

    bool GoToFirstRecordOnExecute = true;
    bool ParamCheck = true;

  private:
    // Gives the open cursor this statement's name; false with the failure
    // in the status vector.
    bool NameCursor();
    int Dialect() const;
    // Hands the prepared statement to the connection's cache; false when
    // there is none to hand over.
    bool Park();
    // Takes a statement prepared earlier for the same text; false when none.
    bool Reuse(const std::string& key, size_t parameters);
    void DescribeOutput();
    void NameOutputColumns();
    // The connection's handle for the call watch; nullptr without one.
    const isc_db_handle* Attachment() const;

    TIBBase base_;
    std::string text_;
    std::string processed_;
    std::string cache_key_;
    std::vector<XSQLVAR> described_input_;
    TIBXSQLDA input_;
    TIBXSQLDA output_;
    std::shared_ptr<const FieldLayout> layout_;
    // In a cell of its own that travels with the server statement (see
    // NewStatementHandle).
    std::unique_ptr<isc_stmt_handle> handle_ = NewStatementHandle();
    int sql_type_ = SQLUnknown;
    bool prepared_ = false;
    bool open_ = false;
    bool bof_ = false;
    bool eof_ = false;
    int record_count_ = 0;
    std::string cursor_name_;
    // The server keeps a handle's cursor name until the handle is dropped:
    // naming it again at every execute would cost a round trip each time.
    bool cursor_named_ = false;
};

// Trims blanks and upper-cases a name as dialect 1 does for identifiers.
std::string NormalizeName(const std::string& name);

}  // namespace db
