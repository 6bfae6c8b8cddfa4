#include "loans/records/loan_image.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>

#include "db/component.h"
#include "db/ib_query.h"
#include "db/ib_sql.h"
#include "db/xsqlda.h"
#include "loans/rules/statements.h"
#include "runtime/exception.h"
#include "runtime/number_text.h"

namespace loans {

const std::vector<ImageColumn>& MovementColumns() {
    static const std::vector<ImageColumn> columns = {
        {"CLIENTE", ColumnKind::kText},       {"TIPO_DOC", ColumnKind::kText},
        {"DOCUMENTO", ColumnKind::kInteger},  {"FECHA", ColumnKind::kDate},
        {"APLICA", ColumnKind::kInteger},     {"VALOR", ColumnKind::kReal},
        {"FECHAVENC", ColumnKind::kDate},     {"CUOTA", ColumnKind::kInteger},
        {"REGISTRONO", ColumnKind::kInteger}, {"INTERES", ColumnKind::kReal},
        {"TIPO", ColumnKind::kInteger},
    };
    return columns;
}

const std::vector<ImageColumn>& ScheduleColumns() {
    static const std::vector<ImageColumn> columns = {
        {"REN_PRESTAMONO", ColumnKind::kInteger},
        {"REN_FECHAPRESTAMO", ColumnKind::kDate},
        {"REN_FECHAVENCE", ColumnKind::kDate},
        {"REN_CUOTANO", ColumnKind::kInteger},
        {"REN_RECIBONO", ColumnKind::kInteger},
        {"REN_FECHAECIBO", ColumnKind::kDate},
        {"REN_CUOTACAPITAL", ColumnKind::kReal},
        {"REN_CUOTAINTERES", ColumnKind::kReal},
        {"REN_CUOTAMORA", ColumnKind::kReal},
        {"REN_TOTALCUOTA", ColumnKind::kReal},
        {"REN_BALANCE", ColumnKind::kReal},
        {"REN_PAGADOCAPITAL", ColumnKind::kReal},
        {"REN_PAGADOINTERES", ColumnKind::kReal},
        {"REN_TOTALPAGADO", ColumnKind::kReal},
        {"CARTERA", ColumnKind::kText},
        {"SEGURO", ColumnKind::kReal},
        {"NETO", ColumnKind::kReal},
        {"GASTOSCIERRE", ColumnKind::kReal},
    };
    return columns;
}

const std::vector<size_t>& SchedulePaidColumns() {
    static const std::vector<size_t> paid = {11, 12, 13};
    return paid;
}

namespace {

// The program speaks dialect 1, where a name in double quotes is a string:
// a column declared with a quoted name (through another dialect) cannot be
// read or written, and a repair that would lose its values is refused.
const std::string& Identifier(const std::string& name) {
    const bool plain =
        !name.empty() && name[0] >= 'A' && name[0] <= 'Z' &&
        name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$") == std::string::npos;
    if (!plain) {
        throw runtime::Exception("La columna \"" + name +
                                 "\" no se puede copiar en dialecto 1; no se repara");
    }
    return name;
}

// The varchar a value of the kind travels as, when it travels as text.
const char* TextType(ColumnKind kind) {
    switch (kind) {
        case ColumnKind::kDate:
            return "varchar(32)";
        case ColumnKind::kExact:
            return "varchar(64)";
        case ColumnKind::kBlob:
            return "varchar(8191)";  // 8191 characters of up to 4 bytes fit a varchar
        default:
            return nullptr;
    }
}

// Dates and the like come as the server's text, which it reads back to the
// same value; the layer's date-times drop fractions of a second.
std::string SelectList(const std::vector<ImageColumn>& columns) {
    std::string list;
    for (const ImageColumn& column : columns) {
        if (!list.empty()) list += ",";
        const char* text_type = TextType(column.kind);
        list += text_type != nullptr ? "cast(" + Identifier(column.name) + " as " + text_type + ")"
                                     : Identifier(column.name);
    }
    return list + ",rdb$db_key";
}

ColumnKind KindOf(int type, int scale) {
    switch (type) {
        case 7:  // smallint
        case 8:  // integer
            return scale == 0 ? ColumnKind::kInteger : ColumnKind::kExact;
        case 10:  // float
        case 27:  // double precision
            return ColumnKind::kReal;
        case 14:  // char
        case 37:  // varchar
            return ColumnKind::kText;
        case 12:  // date
        case 13:  // time
        case 35:  // timestamp
            return ColumnKind::kDate;
        case 261:
            return ColumnKind::kBlob;
        default:  // bigint, int128, decfloat, boolean, zoned times
            return ColumnKind::kExact;
    }
}

std::vector<ImageRow> TakeRows(db::TIBQuery& reader, const std::vector<ImageColumn>& columns) {
    std::vector<ImageRow> rows;
    for (reader.First(); !reader.AtEnd(); reader.Next()) {
        ImageRow row;
        for (size_t i = 0; i < columns.size(); ++i) {
            db::TField& field = reader.Field(static_cast<int>(i));
            if (field.IsNullValue()) {
                row.values.emplace_back();
            } else if (columns[i].kind == ColumnKind::kInteger) {
                row.values.emplace_back(std::to_string(field.GetInteger()));
            } else if (columns[i].kind == ColumnKind::kReal) {
                row.values.emplace_back(RealImageText(field.GetFloat()));
            } else {
                row.values.emplace_back(field.GetString());
            }
        }
        row.key = reader.Field(static_cast<int>(columns.size())).GetString();
        rows.push_back(std::move(row));
    }
    reader.Close();
    return rows;
}

// One row as bytes that tell every value and every null apart.
std::string Serialized(const ImageRow& row) {
    std::string bytes;
    for (const ImageValue& value : row.values) {
        if (value) {
            bytes += '\x02';
            bytes += *value;
            bytes += '\x00';
        } else {
            bytes += '\x01';
        }
    }
    return bytes;
}

}  // namespace

std::string RealImageText(double value) {
    // The same text as printf's "%.17g" in the C locale, by the standard's
    // definition of to_chars with a precision, without printf's cost.
    char text[40];
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
    return std::string(text, end.ptr);
}

std::vector<ImageColumn> StoredColumns(db::TIBQuery& reader, const std::string& table) {
    SetStatement(reader, kStoredColumnsStatement);
    reader.ParamNamed("t").SetString(table);
    reader.Open();
    std::vector<ImageColumn> columns;
    for (; !reader.AtEnd(); reader.Next()) {
        std::string name = reader.Field(0).GetString();
        name.erase(name.find_last_not_of(' ') + 1);  // system names are padded
        columns.push_back(
            {std::move(name), KindOf(reader.Field(1).GetInteger(), reader.Field(2).GetInteger())});
    }
    reader.Close();
    if (columns.empty()) throw runtime::Exception("La tabla " + table + " no existe");
    return columns;
}

std::vector<ImageRow> ReadMovements(db::TIBQuery& reader, const std::vector<ImageColumn>& columns,
                                    const std::string& member, int32_t loan) {
    SetStatement(reader, "select " + SelectList(columns) +
                             " from cxctrx where cliente = :c and aplica = :a");
    reader.ParamNamed("c").SetString(member);
    reader.ParamNamed("a").SetInteger(loan);
    reader.Open();
    return TakeRows(reader, columns);
}

std::vector<ImageRow> ReadSchedule(db::TIBQuery& reader, int32_t loan) {
    SetStatement(reader, "select " + SelectList(ScheduleColumns()) +
                             " from renglones where ren_prestamono = :p");
    reader.ParamNamed("p").SetInteger(loan);
    reader.Open();
    return TakeRows(reader, ScheduleColumns());
}

LoanImage ReadLoanImage(db::TIBQuery& reader, const std::vector<ImageColumn>& movement_columns,
                        const std::string& member, int32_t loan) {
    return {movement_columns, ReadMovements(reader, movement_columns, member, loan),
            ReadSchedule(reader, loan)};
}

std::string ImageFingerprint(const LoanImage& image) {
    // FNV-1a over the sorted rows of each table, the tables kept apart.
    uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](const std::string& bytes) {
        for (const char ch : bytes) {
            hash ^= static_cast<unsigned char>(ch);
            hash *= 1099511628211ull;
        }
    };
    for (const std::vector<ImageRow>* table : {&image.movements, &image.schedule}) {
        std::vector<std::string> rows;
        for (const ImageRow& row : *table) rows.push_back(Serialized(row));
        std::sort(rows.begin(), rows.end());
        add(std::to_string(rows.size()) + "\x03");
        for (const std::string& row : rows) add(row + "\x04");
    }
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

namespace {

// FNV-1a over bytes, its result mixed once more (splitmix64's finisher) so
// that near rows give far digests.
class Digest {
  public:
    void Add(const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ ^= bytes[i];
            hash_ *= 1099511628211ull;
        }
    }
    void Add(uint64_t value) { Add(&value, sizeof value); }
    uint64_t Value() const {
        uint64_t mixed = hash_;
        mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ull;
        mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebull;
        return mixed ^ (mixed >> 31);
    }

  private:
    uint64_t hash_ = 14695981039346656037ull;
};

// Every row of the statement as it comes, each column's type, null flag and
// stored bytes; the rows' digests sorted, so their order counts for nothing.
uint64_t RowsDigest(db::TIBQuery& reader, const std::string& text,
                    const std::function<void(db::TIBXSQLDA&)>& bind) {
    db::TComponent owner("LoanDigest");
    db::TIBSQL rows(&owner);
    rows.Base().SetDatabase(reader.Database());
    rows.Base().SetTransaction(reader.Transaction());
    rows.SetText(text);
    rows.GoToFirstRecordOnExecute = false;
    rows.Prepare();
    bind(rows.Params());
    rows.ExecQuery();
    std::vector<uint64_t> digests;
    while (rows.Next()) {
        Digest row;
        const db::TIBXSQLDA& values = rows.Current();
        for (int i = 0; i < values.Count(); ++i) {
            const XSQLVAR& var = values[i].Var();
            const auto type = static_cast<uint16_t>(var.sqltype & ~1);
            row.Add(&type, sizeof type);
            const unsigned char null = values[i].IsNull() ? 1 : 0;
            row.Add(&null, 1);
            if (null != 0) continue;
            if (type == SQL_VARYING) {
                uint16_t length = 0;
                std::memcpy(&length, var.sqldata, sizeof length);
                row.Add(&length, sizeof length);
                row.Add(var.sqldata + sizeof length, length);
            } else {
                row.Add(var.sqldata, static_cast<size_t>(var.sqllen));
            }
        }
        digests.push_back(row.Value());
    }
    rows.Close();
    std::sort(digests.begin(), digests.end());
    Digest table;
    table.Add(static_cast<uint64_t>(digests.size()));
    for (const uint64_t digest : digests) table.Add(digest);
    return table.Value();
}

// The columns as stored, but a blob as its text (its id is no value).
std::string StoredList(const std::vector<ImageColumn>& columns) {
    std::string list;
    for (const ImageColumn& column : columns) {
        if (!list.empty()) list += ",";
        list += column.kind == ColumnKind::kBlob
                    ? "cast(" + Identifier(column.name) + " as " + TextType(column.kind) + ")"
                    : Identifier(column.name);
    }
    return list;
}

constexpr const char* kDigestPrefix = "2:";

}  // namespace

uint64_t MovementsDigest(db::TIBQuery& reader, const std::vector<ImageColumn>& columns,
                         const std::string& member, int32_t loan) {
    return RowsDigest(
        reader, "select " + StoredList(columns) + " from cxctrx where cliente = :c and aplica = :a",
        [&](db::TIBXSQLDA& params) {
            params[0].SetAsString(member);
            params[1].SetAsLong(loan);
        });
}

uint64_t ScheduleDigest(db::TIBQuery& reader, int32_t loan) {
    return RowsDigest(
        reader,
        "select " + StoredList(ScheduleColumns()) + " from renglones where ren_prestamono = :p",
        [&](db::TIBXSQLDA& params) { params[0].SetAsLong(loan); });
}

std::string DigestFingerprint(uint64_t movements, uint64_t schedule) {
    char text[40];
    std::snprintf(text, sizeof text, "%s%016llx%016llx", kDigestPrefix,
                  static_cast<unsigned long long>(movements),
                  static_cast<unsigned long long>(schedule));
    return text;
}

bool IsDigestFingerprint(const std::string& fingerprint) {
    return fingerprint.rfind(kDigestPrefix, 0) == 0;
}

std::string FingerprintLike(const std::string& like, db::TIBQuery& reader,
                            const std::vector<ImageColumn>& movement_columns,
                            const std::string& member, int32_t loan) {
    if (IsDigestFingerprint(like)) {
        return DigestFingerprint(MovementsDigest(reader, movement_columns, member, loan),
                                 ScheduleDigest(reader, loan));
    }
    return ImageFingerprint(ReadLoanImage(reader, movement_columns, member, loan));
}

std::string RowText(const std::vector<ImageColumn>& columns, const ImageRow& row) {
    std::string text;
    for (size_t i = 0; i < columns.size() && i < row.values.size(); ++i) {
        if (!text.empty()) text += ", ";
        text += std::string(columns[i].name) + "=" + (row.values[i] ? *row.values[i] : "null");
    }
    return text;
}

std::vector<ImageRow> RowsNotIn(const std::vector<ImageRow>& from,
                                const std::vector<ImageRow>& to) {
    std::map<std::string, int> available;
    for (const ImageRow& row : to) ++available[Serialized(row)];
    std::vector<ImageRow> missing;
    for (const ImageRow& row : from) {
        int& count = available[Serialized(row)];
        if (count > 0) {
            --count;
        } else {
            missing.push_back(row);
        }
    }
    return missing;
}

UndoImage MakeUndoImage(LoanImage before, const LoanImage& after, bool movements_replaced,
                        std::string after_fingerprint) {
    UndoImage image;
    image.movements_replaced = movements_replaced;
    if (movements_replaced) {
        for (const ImageColumn& column : before.movement_columns) {
            image.movement_columns.push_back(column.name);
        }
        image.movements = std::move(before.movements);
    }
    std::map<std::string, const ImageRow*> after_by_key;
    for (const ImageRow& row : after.schedule) after_by_key[row.key] = &row;
    for (const ImageRow& row : before.schedule) {
        const auto found = after_by_key.find(row.key);
        if (found == after_by_key.end() || found->second->values == row.values) continue;
        ScheduleChange change{row, {}};
        for (const size_t column : SchedulePaidColumns()) {
            change.paid_after.push_back(found->second->values.at(column));
        }
        image.schedule.push_back(std::move(change));
    }
    image.after_fingerprint = std::move(after_fingerprint);
    return image;
}

ChangeImage MakeChangeImage(const LoanImage& before, const LoanImage& after) {
    ChangeImage change;
    for (const ImageColumn& column : before.movement_columns) {
        change.movement_columns.push_back(column.name);
    }
    change.movements_out = RowsNotIn(before.movements, after.movements);
    change.movements_in = RowsNotIn(after.movements, before.movements);
    // The undo image's schedule changes are exactly the rows that move.
    change.schedule = MakeUndoImage(before, after, false, "").schedule;
    for (ImageRow& row : change.movements_out) row.key.clear();
    for (ImageRow& row : change.movements_in) row.key.clear();
    for (ScheduleChange& moved : change.schedule) moved.before.key.clear();
    return change;
}

namespace {

LoanImage Changed(const ChangeImage& change, bool after) {
    LoanImage image;
    for (const std::string& name : change.movement_columns) {
        image.movement_columns.push_back({name, ColumnKind::kText});
    }
    image.movements = after ? change.movements_in : change.movements_out;
    for (size_t i = 0; i < change.schedule.size(); ++i) {
        ImageRow row = change.schedule[i].before;
        if (after) {
            const std::vector<size_t>& paid = SchedulePaidColumns();
            for (size_t j = 0; j < paid.size(); ++j) {
                row.values.at(paid[j]) = change.schedule[i].paid_after.at(j);
            }
        }
        row.key = std::to_string(i);
        image.schedule.push_back(std::move(row));
    }
    return image;
}

uint64_t Fnv1a(const std::string& bytes, uint64_t hash) {
    for (const char ch : bytes) {
        hash ^= static_cast<unsigned char>(ch);
        hash *= 1099511628211ull;
    }
    return hash;
}

// One applied document as bytes that tell every value and every null apart.
std::string DocumentBytes(const AppliedDocument& document) {
    return document.kind + '\x00' + std::to_string(document.number) + '\x00' +
           (document.date_null ? std::string("\x01") : RealImageText(document.date)) + '\x00' +
           std::to_string(document.instalment) + '\x00' +
           (document.capital_null ? std::string("\x01") : RealImageText(document.capital)) +
           '\x00' +
           (document.interest_null ? std::string("\x01") : RealImageText(document.interest));
}

}  // namespace

LoanImage ChangedBefore(const ChangeImage& change) {
    return Changed(change, false);
}

LoanImage ChangedAfter(const ChangeImage& change) {
    return Changed(change, true);
}

std::string LoanFingerprint(const LoanImage& image, const std::vector<AppliedDocument>& documents) {
    // Ties of instalment and date come in an order of the server's own
    // sort: the same documents count as the same, whatever their order.
    std::vector<std::string> rows;
    for (const AppliedDocument& document : documents) rows.push_back(DocumentBytes(document));
    std::sort(rows.begin(), rows.end());
    uint64_t hash = Fnv1a(ImageFingerprint(image) + "\x05" + std::to_string(rows.size()) + "\x03",
                          14695981039346656037ull);
    for (const std::string& row : rows) hash = Fnv1a(row + "\x04", hash);
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

namespace {

// A number the record holds that is not one: writing a guess instead would
// put a wrong amount in the books.
[[noreturn]] void Unreadable(const std::string& param, const std::string& text) {
    throw runtime::Exception("El registro de la reparaci\xF3n tiene un valor ilegible (" + param +
                             "): '" + text + "'");
}

}  // namespace

void BindImageValue(db::TIBQuery& query, const std::string& param, ColumnKind kind,
                    const ImageValue& value) {
    db::TParam& target = query.ParamNamed(param);
    if (!value) {
        target.Clear();
    } else if (kind == ColumnKind::kInteger) {
        const std::optional<long long> number = runtime::ParseInteger(*value);
        if (!number || *number < INT32_MIN || *number > INT32_MAX) Unreadable(param, *value);
        target.SetInteger(static_cast<int32_t>(*number));
    } else if (kind == ColumnKind::kReal) {
        const std::optional<double> number = runtime::ParseReal(*value);
        if (!number) Unreadable(param, *value);
        target.SetFloat(*number);
    } else {
        target.SetString(*value);  // text, or a value the server reads from text
    }
}

void InsertMovements(db::TIBQuery& writer, const std::vector<ImageColumn>& columns,
                     const std::vector<ImageRow>& rows) {
    std::string names;
    std::string markers;
    for (size_t i = 0; i < columns.size(); ++i) {
        names += (i > 0 ? "," : "") + Identifier(columns[i].name);
        const std::string marker = ":v" + std::to_string(i);
        // A value read as text goes back as text and the server converts it
        // to the column's type on assignment, exactly.
        const char* text_type = TextType(columns[i].kind);
        markers += (i > 0 ? "," : "") +
                   (text_type != nullptr ? "cast(" + marker + " as " + text_type + ")" : marker);
    }
    SetStatement(writer, "insert into cxctrx(" + names + ") values (" + markers + ")");
    for (const ImageRow& row : rows) {
        for (size_t i = 0; i < columns.size(); ++i) {
            BindImageValue(writer, "v" + std::to_string(i), columns[i].kind, row.values.at(i));
        }
        writer.Execute();
    }
}

}  // namespace loans
