#pragma once

// The rows a repair of one loan can change, copied whole: the member's
// receivable movements applied to the loan (CXCTRX) and the loan's schedule
// (RENGLONES), every column as exact text, so that a repair can be shown
// before it is made and put back after it was. Neither table has a key, so
// a row is known by its columns; its row key is kept only for the
// transaction it was read in. No Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "loans/rules/repairs.h"

namespace db {
class TIBQuery;
}

namespace loans {

// A column's value as text that writes back to the same value; nothing
// for null. Numbers in full precision, dates in the server's own text
// form (fractions of a second kept).
using ImageValue = std::optional<std::string>;

struct ImageRow {
    std::vector<ImageValue> values;  // in the table's column order below
    std::string key;                 // RDB$DB_KEY, valid in its transaction only
};

// How a column's value travels: text and whole numbers through the layer's
// own fields; floating point as 17 significant digits (exact); everything
// else (dates, large or scaled numbers, booleans, short blobs) as the
// server's own text, which it reads back to the same value.
enum class ColumnKind { kText, kInteger, kReal, kDate, kExact, kBlob };
struct ImageColumn {
    std::string name;
    ColumnKind kind;
};
// A real's text in an image: 17 significant digits, as printf's "%.17g"
// writes them. Journals fingerprint these texts, so it never changes.
std::string RealImageText(double value);
// The columns our schema declares; the site's CXCTRX may carry more
// (StoredColumns reads them).
const std::vector<ImageColumn>& MovementColumns();  // CXCTRX
const std::vector<ImageColumn>& ScheduleColumns();  // RENGLONES
// Where the three paid amounts a schedule correction writes sit in a
// schedule row: REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO.
const std::vector<size_t>& SchedulePaidColumns();

// Every stored column of the table as the database declares it, in its
// order (computed columns left out: nothing writes them); the statement
// takes the table's name as :t.
inline constexpr const char* kStoredColumnsStatement =
    "select rf.rdb$field_name, f.rdb$field_type, f.rdb$field_scale "
    "from rdb$relation_fields rf join rdb$fields f "
    "on f.rdb$field_name = rf.rdb$field_source "
    "where rf.rdb$relation_name = :t and f.rdb$computed_blr is null "
    "order by rf.rdb$field_position";
std::vector<ImageColumn> StoredColumns(db::TIBQuery& reader, const std::string& table);

struct LoanImage {
    std::vector<ImageColumn> movement_columns;  // of the movements' values
    std::vector<ImageRow> movements;
    std::vector<ImageRow> schedule;
};

// The loan's rows as the given query's transaction sees them, the
// movements with the given columns (StoredColumns of CXCTRX), the
// schedule with ScheduleColumns().
std::vector<ImageRow> ReadMovements(db::TIBQuery& reader, const std::vector<ImageColumn>& columns,
                                    const std::string& member, int32_t loan);
std::vector<ImageRow> ReadSchedule(db::TIBQuery& reader, int32_t loan);
LoanImage ReadLoanImage(db::TIBQuery& reader, const std::vector<ImageColumn>& movement_columns,
                        const std::string& member, int32_t loan);

// A fingerprint of the image independent of row order and row keys: two
// images have the same one when they hold the same rows.
std::string ImageFingerprint(const LoanImage& image);

// A fingerprint of the loan's rows read in their stored types, no text made
// of them: a fraction of an image's cost, so a unit fingerprints what it
// need not image (the ledger a correction leaves alone, the rows a repair
// leaves). Each table's part is a digest of its rows as a multiset: the
// same rows in any order give the same one, any changed value, row added
// or row removed another. Its text starts with "2:"; ImageFingerprint's
// (older records) does not, and each is compared with its own kind.
uint64_t MovementsDigest(db::TIBQuery& reader, const std::vector<ImageColumn>& columns,
                         const std::string& member, int32_t loan);
uint64_t ScheduleDigest(db::TIBQuery& reader, int32_t loan);
std::string DigestFingerprint(uint64_t movements, uint64_t schedule);
bool IsDigestFingerprint(const std::string& fingerprint);
// The loan's rows now, fingerprinted the way `like` was.
std::string FingerprintLike(const std::string& like, db::TIBQuery& reader,
                            const std::vector<ImageColumn>& movement_columns,
                            const std::string& member, int32_t loan);

// One row as "COLUMN=value, ..." for people (null as "null").
std::string RowText(const std::vector<ImageColumn>& columns, const ImageRow& row);

// The rows of `from` that `to` lacks, as a multiset (each row of `to`
// answers for one row of `from` at most).
std::vector<ImageRow> RowsNotIn(const std::vector<ImageRow>& from, const std::vector<ImageRow>& to);

// Binds one value to a parameter as its column's kind wants it.
void BindImageValue(db::TIBQuery& query, const std::string& param, ColumnKind kind,
                    const ImageValue& value);

// What a journal record keeps to undo a repair: the movements it deleted
// (when it rebuilt them), each schedule row it changed as it was with the
// paid amounts it left there, and the fingerprint of the loan's rows as
// it left them, so that an undo can tell whether anyone changed them since.
struct ScheduleChange {
    ImageRow before;
    std::vector<ImageValue> paid_after;  // SchedulePaidColumns(), in order
};
struct UndoImage {
    bool movements_replaced = false;
    std::vector<std::string> movement_columns;  // names, in the values' order
    std::vector<ImageRow> movements;
    std::vector<ScheduleChange> schedule;
    std::string after_fingerprint;
};
// From the loan's rows before and after one unit of work in one
// transaction (schedule rows paired by their row keys), and the fingerprint
// of the rows as it left them; `before` is taken (moved in when the caller
// needs it no more: a loan's every ledger row).
UndoImage MakeUndoImage(LoanImage before, const LoanImage& after, bool movements_replaced,
                        std::string after_fingerprint);

// What one unit changes (or would change), without the loan's other rows:
// the ledger rows it deletes and does not write back, those it writes that
// were not there, and each schedule row whose values move, as it was with
// the paid amounts it gets. Enough to show the change again later, as a
// request keeps it for the supervisor who resolves it.
struct ChangeImage {
    std::vector<std::string> movement_columns;  // names, in the values' order
    std::vector<ImageRow> movements_out;
    std::vector<ImageRow> movements_in;
    std::vector<ScheduleChange> schedule;
};
// From the loan's rows before and after one unit of work in one
// transaction (schedule rows paired by their row keys).
ChangeImage MakeChangeImage(const LoanImage& before, const LoanImage& after);
// The rows the change touches, as they were and as they come out: images
// that show the same change as the whole loan's (schedule rows paired by
// keys of their own).
LoanImage ChangedBefore(const ChangeImage& change);
LoanImage ChangedAfter(const ChangeImage& change);

// A fingerprint of what a repair of the loan reads: its movements and
// schedule (as ImageFingerprint) and its applied documents, independent of
// the order they are listed in. A repair made from rows with the same
// fingerprint writes the same rows.
std::string LoanFingerprint(const LoanImage& image, const std::vector<AppliedDocument>& documents);

// Writes the rows into CXCTRX as they are, their values in the columns'
// order.
void InsertMovements(db::TIBQuery& writer, const std::vector<ImageColumn>& columns,
                     const std::vector<ImageRow>& rows);

}  // namespace loans
