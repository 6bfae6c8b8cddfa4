#include "bench/fetch/walks.h"

#include <ibase.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "bench/fetch/figures.h"
#include "db/client_library.h"
#include "db/errors.h"

namespace bench {
namespace {

template <typename T>
T Read(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

double Scaled(int64_t raw, int scale) {
    double value = static_cast<double>(raw);
    for (int i = scale; i < 0; ++i) value /= 10.0;
    return value;
}

// A reference for the dataset's memory per row: a row record that keeps,
// besides the values, the column bookkeeping in every row. Assumed sizes:
// row number 4 bytes and bookmark flag 1 byte, padded to 8; per column an
// entry of SQL type (2), scale (2), nullable flag (1), null flag (1), value
// size (2), actual length (2) and value offset (4), 16 bytes with its
// padding; then the values: text columns at their described length (the
// actual length lives in the entry), 8 bytes for doubles, currency, 64-bit
// integers, date-times (a millisecond count), dates, times and blob ids, 4
// for 32-bit integers; then an 8-byte reader slot per blob column.
size_t ReferenceRowRecordBytes(db::TIBXSQLDA& columns) {
    size_t bytes = 8;
    for (int i = 0; i < columns.Count(); ++i) {
        const XSQLVAR& var = columns[i].Var();
        const int type = var.sqltype & ~1;
        bytes += 16;
        switch (type) {
            case SQL_VARYING:
            case SQL_TEXT:
                bytes += static_cast<size_t>(var.sqllen);
                break;
            case SQL_LONG:
            case SQL_SHORT:
                bytes += var.sqlscale == 0 ? 4 : 8;
                break;
            case SQL_BLOB:
                bytes += 8 + 8;
                break;
            default:
                bytes += 8;
                break;
        }
    }
    return bytes;
}

// How each field is read: with the getter of the field's own kind.
enum class Getter { kString, kInteger, kFloat, kDateTime, kNullOnly };

Getter GetterFor(db::TFieldType type) {
    using T = db::TFieldType;
    switch (type) {
        case T::ftString:
        case T::ftFixedChar:
            return Getter::kString;
        case T::ftSmallint:
        case T::ftInteger:
        case T::ftWord:
            return Getter::kInteger;
        case T::ftFloat:
        case T::ftCurrency:
        case T::ftBCD:
        case T::ftLargeint:
            return Getter::kFloat;
        case T::ftDate:
        case T::ftTime:
        case T::ftDateTime:
            return Getter::kDateTime;
        default:
            return Getter::kNullOnly;
    }
}

// The statement handle and its output block, released on every path.
struct RawStatement {
    isc_stmt_handle handle = 0;
    ~RawStatement() {
        if (handle != 0) {
            ISC_STATUS_ARRAY scratch;
            db::Api().isc_dsql_free_statement(scratch, &handle, DSQL_drop);
        }
    }
};

struct Descriptor {
    explicit Descriptor(int count) : storage(XSQLDA_LENGTH(count < 1 ? 1 : count)) {
        sqlda()->version = SQLDA_VERSION1;
        sqlda()->sqln = static_cast<ISC_SHORT>(count < 1 ? 1 : count);
    }
    XSQLDA* sqlda() { return reinterpret_cast<XSQLDA*>(storage.data()); }
    std::vector<char> storage;
};

std::unique_ptr<Descriptor> Describe(isc_stmt_handle* statement, bool input) {
    const db::ClientApi& api = db::Api();
    auto describe = input ? api.isc_dsql_describe_bind : api.isc_dsql_describe;
    auto descriptor = std::make_unique<Descriptor>(1);
    db::CheckStatus(describe(db::StatusVector(), statement, SQLDA_VERSION1, descriptor->sqlda()));
    const int count = descriptor->sqlda()->sqld;
    if (count > 1) {
        descriptor = std::make_unique<Descriptor>(count);
        db::CheckStatus(
            describe(db::StatusVector(), statement, SQLDA_VERSION1, descriptor->sqlda()));
    }
    return descriptor;
}

}  // namespace

DatasetWalk WalkDataset(db::TIBQuery& query, const std::string& sql,
                        const std::vector<NamedValue>& params, int64_t limit) {
    DatasetWalk walk;
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(sql);
    for (const NamedValue& param : params) query.ParamNamed(param.name).SetInteger(param.value);
    const int64_t resident_before = ResidentBytes();
    query.Open();

    std::vector<std::pair<db::TField*, Getter>> fields;
    for (int i = 0; i < query.FieldCount(); ++i) {
        fields.emplace_back(&query.Field(i), GetterFor(query.Field(i).DataType()));
    }
    WalkSums& sums = walk.sums;
    std::string text;  // one buffer for every text read, as a row loop keeps it
    query.First();
    while (!query.AtEnd() && sums.rows < limit) {
        for (const auto& [field, getter] : fields) {
            switch (getter) {
                case Getter::kString: {
                    field->ReadString(text);
                    sums.text_bytes += static_cast<int64_t>(text.size());
                    if (!text.empty()) sums.other += static_cast<unsigned char>(text[0]);
                    break;
                }
                case Getter::kInteger:
                    sums.integers += field->GetInteger();
                    break;
                case Getter::kFloat:
                    sums.floats += field->GetFloat();
                    break;
                case Getter::kDateTime:
                    sums.other += static_cast<uint64_t>(field->GetDateTime() * 86400.0);
                    break;
                case Getter::kNullOnly:
                    sums.other += field->IsNullValue() ? 1 : 0;
                    break;
            }
        }
        ++sums.rows;
        query.Next();
    }
    walk.resident_growth = ResidentBytes() - resident_before;
    walk.row_size = query.Cache().RowSize();
    walk.reference_row_size = ReferenceRowRecordBytes(query.Statement().Current());
    query.Close();
    return walk;
}

WalkSums WalkRaw(demo::Transaction& transaction, const std::string& sql,
                 const std::vector<int32_t>& params, int64_t limit) {
    const db::ClientApi& api = db::Api();
    const unsigned short dialect = 1;
    RawStatement statement;
    db::CheckStatus(api.isc_dsql_alloc_statement2(db::StatusVector(), transaction.Owner().Handle(),
                                                  &statement.handle));
    db::CheckStatus(api.isc_dsql_prepare(db::StatusVector(), transaction.Handle(),
                                         &statement.handle, 0, sql.c_str(), dialect, nullptr));

    std::unique_ptr<Descriptor> input = Describe(&statement.handle, true);
    if (input->sqlda()->sqld != static_cast<int>(params.size())) {
        throw std::invalid_argument("statement has " + std::to_string(input->sqlda()->sqld) +
                                    " markers: " + sql);
    }
    std::vector<ISC_LONG> input_values(params.begin(), params.end());
    std::vector<short> input_nulls(params.size(), 0);
    for (size_t i = 0; i < params.size(); ++i) {
        XSQLVAR& var = input->sqlda()->sqlvar[i];
        var.sqltype = SQL_LONG + 1;
        var.sqllen = sizeof(ISC_LONG);
        var.sqlscale = 0;
        var.sqldata = reinterpret_cast<ISC_SCHAR*>(&input_values[i]);
        var.sqlind = &input_nulls[i];
    }

    std::unique_ptr<Descriptor> output = Describe(&statement.handle, false);
    XSQLDA* out = output->sqlda();
    const int columns = out->sqld;
    std::vector<std::vector<char>> buffers(static_cast<size_t>(columns));
    std::vector<short> nulls(static_cast<size_t>(columns), 0);
    for (int i = 0; i < columns; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        size_t size = static_cast<size_t>(var.sqllen);
        if ((var.sqltype & ~1) == SQL_VARYING) size += 2;
        buffers[static_cast<size_t>(i)].assign(size < 8 ? 8 : size, 0);
        var.sqldata = buffers[static_cast<size_t>(i)].data();
        var.sqlind = &nulls[static_cast<size_t>(i)];
    }

    db::CheckStatus(api.isc_dsql_execute(db::StatusVector(), transaction.Handle(),
                                         &statement.handle, dialect,
                                         params.empty() ? nullptr : input->sqlda()));

    // Text lands in one reused string per column, as a reader that keeps
    // the current row's values would hold it.
    std::vector<std::string> texts(static_cast<size_t>(columns));
    WalkSums sums;
    while (sums.rows < limit) {
        const ISC_STATUS fetched =
            api.isc_dsql_fetch(db::StatusVector(), &statement.handle, dialect, out);
        if (fetched == 100) break;
        db::CheckStatus(fetched);
        for (int i = 0; i < columns; ++i) {
            const XSQLVAR& var = out->sqlvar[i];
            if ((var.sqltype & 1) != 0 && *var.sqlind == -1) continue;
            const char* data = var.sqldata;
            switch (var.sqltype & ~1) {
                case SQL_VARYING: {
                    std::string& text = texts[static_cast<size_t>(i)];
                    text.assign(data + 2, static_cast<size_t>(Read<short>(data)));
                    sums.text_bytes += static_cast<int64_t>(text.size());
                    if (!text.empty()) sums.other += static_cast<unsigned char>(text[0]);
                    break;
                }
                case SQL_TEXT: {
                    std::string& text = texts[static_cast<size_t>(i)];
                    text.assign(data, static_cast<size_t>(var.sqllen));
                    sums.text_bytes += static_cast<int64_t>(text.size());
                    if (!text.empty()) sums.other += static_cast<unsigned char>(text[0]);
                    break;
                }
                case SQL_SHORT:
                    if (var.sqlscale == 0)
                        sums.integers += Read<short>(data);
                    else
                        sums.floats += Scaled(Read<short>(data), var.sqlscale);
                    break;
                case SQL_LONG:
                    if (var.sqlscale == 0)
                        sums.integers += Read<ISC_LONG>(data);
                    else
                        sums.floats += Scaled(Read<ISC_LONG>(data), var.sqlscale);
                    break;
                case SQL_INT64:
                    sums.floats += Scaled(Read<ISC_INT64>(data), var.sqlscale);
                    break;
                case SQL_DOUBLE:
                case SQL_D_FLOAT:
                    sums.floats += Read<double>(data);
                    break;
                case SQL_FLOAT:
                    sums.floats += Read<float>(data);
                    break;
                case SQL_TIMESTAMP: {
                    const ISC_QUAD stamp = Read<ISC_QUAD>(data);
                    std::tm broken{};
                    api.isc_decode_date(&stamp, &broken);
                    sums.other += static_cast<uint64_t>(
                        ((broken.tm_year * 12 + broken.tm_mon) * 31 + broken.tm_mday) * 86400 +
                        (broken.tm_hour * 60 + broken.tm_min) * 60 + broken.tm_sec);
                    break;
                }
                default: {  // blob and array ids, dates and times of dialect 3
                    sums.other += static_cast<uint64_t>(Read<ISC_QUAD>(data).gds_quad_low);
                    break;
                }
            }
        }
        ++sums.rows;
    }
    return sums;
}

}  // namespace bench
