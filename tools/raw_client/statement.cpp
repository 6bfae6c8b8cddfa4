// Prepared statements: "?" markers bound from Values, rows read back as Values.
#include <cstring>
#include <stdexcept>

#include "db/client_library.h"
#include "db/date_time.h"
#include "db/errors.h"
#include "tools/raw_client/raw_client.h"

namespace demo {
namespace {

constexpr ISC_SHORT kCharsetIso8859_1 = 21;
// Timestamps cross as the data layer converts them; the calendar is the
// program's own.
ISC_TIMESTAMP EncodeTimestamp(const DateTime& value) {
    const ISC_QUAD quad = db::TimestampFromDateTime(formats::EncodeDateTime(value));
    ISC_TIMESTAMP stamp;
    std::memcpy(&stamp, &quad, sizeof stamp);
    return stamp;
}

DateTime DecodeTimestamp(ISC_DATE date, ISC_TIME time) {
    const ISC_QUAD quad{date, time};
    return formats::DecodeDateTime(db::DateTimeFromTimestamp(quad));
}

constexpr ISC_STATUS kNoMoreRows = 100;  // what isc_dsql_fetch returns past the last row
constexpr ISC_DATE kDayZero = 15018;     // 30 December 1899 in the client API's day count

double Scaled(int64_t raw, int scale) {
    double value = static_cast<double>(raw);
    for (int i = 0; i < -scale; ++i) value /= 10.0;
    return value;
}

}  // namespace

// An XSQLDA with storage for every variable's data and null indicator.
struct Statement::Descriptor {
    explicit Descriptor(int count)
        : storage(XSQLDA_LENGTH(count < 1 ? 1 : count)),
          data(static_cast<size_t>(count)),
          indicators(static_cast<size_t>(count)) {
        sqlda()->version = SQLDA_VERSION1;
        sqlda()->sqln = static_cast<ISC_SHORT>(count < 1 ? 1 : count);
    }
    XSQLDA* sqlda() { return reinterpret_cast<XSQLDA*>(storage.data()); }
    XSQLVAR& var(size_t i) { return sqlda()->sqlvar[i]; }
    int count() { return sqlda()->sqld; }

    // Room for the variable as currently typed.
    void Allocate(size_t i) {
        XSQLVAR& v = var(i);
        size_t size = static_cast<size_t>(v.sqllen);
        if ((v.sqltype & ~1) == SQL_VARYING) size += sizeof(ISC_SHORT);
        data[i].assign(size < 8 ? 8 : size, 0);
        v.sqldata = reinterpret_cast<ISC_SCHAR*>(data[i].data());
        v.sqlind = &indicators[i];
    }

    std::vector<char> storage;
    std::vector<std::vector<char>> data;
    std::vector<ISC_SHORT> indicators;
};

namespace {

std::unique_ptr<Statement::Descriptor> Describe(isc_stmt_handle* handle, bool input) {
    const auto& api = db::Api();
    auto probe = std::make_unique<Statement::Descriptor>(1);
    auto describe = input ? api.isc_dsql_describe_bind : api.isc_dsql_describe;
    db::CheckStatus(describe(db::StatusVector(), handle, SQLDA_VERSION1, probe->sqlda()));
    const int count = probe->sqlda()->sqld;
    if (count <= 1) return probe;
    auto full = std::make_unique<Statement::Descriptor>(count);
    db::CheckStatus(describe(db::StatusVector(), handle, SQLDA_VERSION1, full->sqlda()));
    return full;
}

}  // namespace

Statement::Statement(Transaction& transaction, const std::string& sql)
    : transaction_(transaction), sql_(sql) {
    const auto& api = db::Api();
    Attachment& owner = transaction.Owner();
    db::CheckStatus(api.isc_dsql_alloc_statement2(db::StatusVector(), owner.Handle(), &handle_));
    db::CheckStatus(api.isc_dsql_prepare(db::StatusVector(), transaction.Handle(), &handle_, 0,
                                         sql.c_str(), static_cast<unsigned short>(owner.Dialect()),
                                         nullptr));
    input_ = Describe(&handle_, true);
    output_ = Describe(&handle_, false);
    for (int i = 0; i < output_->count(); ++i) {
        XSQLVAR& v = output_->var(static_cast<size_t>(i));
        v.sqltype = static_cast<ISC_SHORT>(v.sqltype | 1);  // always ask for the indicator
        output_->Allocate(static_cast<size_t>(i));
    }
}

Statement::~Statement() {
    if (handle_)
        db::CleanUpAfterFailure(
            [&] { db::Api().isc_dsql_free_statement(db::StatusVector(), &handle_, DSQL_drop); });
}

void Statement::Bind(const std::vector<Value>& params) {
    if (static_cast<int>(params.size()) != input_->count())
        throw std::invalid_argument("statement expects " + std::to_string(input_->count()) +
                                    " parameters, got " + std::to_string(params.size()) + ": " +
                                    sql_);
    for (size_t i = 0; i < params.size(); ++i) {
        XSQLVAR& v = input_->var(i);
        const Value& value = params[i];
        const int described = v.sqltype & ~1;
        if (!IsNull(value)) v.sqlscale = 0;
        if (std::holds_alternative<int32_t>(value)) {
            v.sqltype = SQL_LONG;
            v.sqllen = sizeof(ISC_LONG);
        } else if (std::holds_alternative<int64_t>(value)) {
            v.sqltype = SQL_INT64;
            v.sqllen = sizeof(ISC_INT64);
        } else if (std::holds_alternative<double>(value)) {
            v.sqltype = SQL_DOUBLE;
            v.sqllen = sizeof(double);
        } else if (auto* text = std::get_if<std::string>(&value)) {
            if (text->size() > 32767) throw std::invalid_argument("text parameter too long");
            if (described != SQL_TEXT && described != SQL_VARYING) v.sqlsubtype = kCharsetIso8859_1;
            v.sqltype = SQL_TEXT;
            v.sqllen = static_cast<ISC_SHORT>(text->size());
        } else if (std::holds_alternative<DateTime>(value)) {
            v.sqltype = SQL_TIMESTAMP;
            v.sqllen = sizeof(ISC_TIMESTAMP);
        }
        v.sqltype = static_cast<ISC_SHORT>(v.sqltype | 1);
        input_->Allocate(i);
        input_->indicators[i] = IsNull(value) ? -1 : 0;
        char* out = input_->data[i].data();
        if (auto* small = std::get_if<int32_t>(&value)) {
            const ISC_LONG raw = *small;
            std::memcpy(out, &raw, sizeof raw);
        } else if (auto* large = std::get_if<int64_t>(&value)) {
            const ISC_INT64 raw = *large;
            std::memcpy(out, &raw, sizeof raw);
        } else if (auto* d = std::get_if<double>(&value)) {
            std::memcpy(out, d, sizeof *d);
        } else if (auto* text = std::get_if<std::string>(&value)) {
            std::memcpy(out, text->data(), text->size());
        } else if (auto* when = std::get_if<DateTime>(&value)) {
            const ISC_TIMESTAMP stamp = EncodeTimestamp(*when);
            std::memcpy(out, &stamp, sizeof stamp);
        }
    }
}

void Statement::Execute(const std::vector<Value>& params) {
    Bind(params);
    const auto& api = db::Api();
    db::CheckStatus(api.isc_dsql_execute(db::StatusVector(), transaction_.Handle(), &handle_,
                                         SQLDA_VERSION1,
                                         input_->count() ? input_->sqlda() : nullptr));
    if (output_->count())
        db::CleanUpAfterFailure(
            [&] { api.isc_dsql_free_statement(db::StatusVector(), &handle_, DSQL_close); });
}

namespace {

std::string ReadTextBlob(Transaction& transaction, ISC_QUAD id) {
    const auto& api = db::Api();
    isc_blob_handle blob = 0;
    db::CheckStatus(api.isc_open_blob2(db::StatusVector(), transaction.Owner().Handle(),
                                       transaction.Handle(), &blob, &id, 0, nullptr));
    std::string text;
    char segment[8192];
    while (true) {
        unsigned short length = 0;
        const ISC_STATUS result =
            api.isc_get_segment(db::StatusVector(), &blob, &length, sizeof segment, segment);
        if (result != 0 && result != isc_segment) break;
        text.append(segment, length);
    }
    const bool at_end = db::StatusVector()[1] == isc_segstr_eof;
    if (!at_end) {
        db::CleanUpAfterFailure([&] { api.isc_close_blob(db::StatusVector(), &blob); });
        db::RaiseServerError();
    }
    db::CheckStatus(api.isc_close_blob(db::StatusVector(), &blob));
    return text;
}

}  // namespace

std::vector<Row> Statement::Select(const std::vector<Value>& params) {
    Bind(params);
    const auto& api = db::Api();
    db::CheckStatus(api.isc_dsql_execute(db::StatusVector(), transaction_.Handle(), &handle_,
                                         SQLDA_VERSION1,
                                         input_->count() ? input_->sqlda() : nullptr));
    std::vector<Row> rows;
    while (true) {
        const ISC_STATUS fetched =
            api.isc_dsql_fetch(db::StatusVector(), &handle_, SQLDA_VERSION1, output_->sqlda());
        if (fetched == kNoMoreRows) break;
        if (fetched != 0) {
            db::CleanUpAfterFailure(
                [&] { api.isc_dsql_free_statement(db::StatusVector(), &handle_, DSQL_close); });
            db::RaiseServerError();
        }
        Row row;
        row.reserve(static_cast<size_t>(output_->count()));
        for (int i = 0; i < output_->count(); ++i) {
            XSQLVAR& v = output_->var(static_cast<size_t>(i));
            if (*v.sqlind < 0) {
                row.emplace_back(kNull);
                continue;
            }
            const char* in = v.sqldata;
            switch (v.sqltype & ~1) {
                case SQL_TEXT:
                    row.emplace_back(std::string(in, static_cast<size_t>(v.sqllen)));
                    break;
                case SQL_VARYING: {
                    ISC_SHORT length;
                    std::memcpy(&length, in, sizeof length);
                    row.emplace_back(std::string(in + sizeof length, static_cast<size_t>(length)));
                    break;
                }
                case SQL_SHORT:
                case SQL_LONG:
                case SQL_INT64:
                case SQL_BOOLEAN: {
                    int64_t raw = 0;
                    const int type = v.sqltype & ~1;
                    if (type == SQL_SHORT) {
                        ISC_SHORT s;
                        std::memcpy(&s, in, sizeof s);
                        raw = s;
                    } else if (type == SQL_LONG) {
                        ISC_LONG l;
                        std::memcpy(&l, in, sizeof l);
                        raw = l;
                    } else if (type == SQL_INT64) {
                        ISC_INT64 q;
                        std::memcpy(&q, in, sizeof q);
                        raw = q;
                    } else {
                        raw = static_cast<unsigned char>(*in);
                    }
                    if (v.sqlscale < 0)
                        row.emplace_back(Scaled(raw, v.sqlscale));
                    else if (type == SQL_INT64)
                        row.emplace_back(raw);
                    else
                        row.emplace_back(static_cast<int32_t>(raw));
                    break;
                }
                case SQL_FLOAT: {
                    float f;
                    std::memcpy(&f, in, sizeof f);
                    row.emplace_back(static_cast<double>(f));
                    break;
                }
                case SQL_DOUBLE:
                case SQL_D_FLOAT: {
                    double d;
                    std::memcpy(&d, in, sizeof d);
                    row.emplace_back(d);
                    break;
                }
                case SQL_TIMESTAMP: {
                    ISC_TIMESTAMP stamp;
                    std::memcpy(&stamp, in, sizeof stamp);
                    row.emplace_back(DecodeTimestamp(stamp.timestamp_date, stamp.timestamp_time));
                    break;
                }
                case SQL_TYPE_DATE: {
                    ISC_DATE date;
                    std::memcpy(&date, in, sizeof date);
                    row.emplace_back(DecodeTimestamp(date, 0));
                    break;
                }
                case SQL_TYPE_TIME: {
                    ISC_TIME time;
                    std::memcpy(&time, in, sizeof time);
                    row.emplace_back(DecodeTimestamp(kDayZero, time));
                    break;
                }
                case SQL_BLOB: {
                    ISC_QUAD id;
                    std::memcpy(&id, in, sizeof id);
                    row.emplace_back(ReadTextBlob(transaction_, id));
                    break;
                }
                default:
                    db::CleanUpAfterFailure([&] {
                        api.isc_dsql_free_statement(db::StatusVector(), &handle_, DSQL_close);
                    });
                    throw std::invalid_argument("unsupported column type " +
                                                std::to_string(v.sqltype & ~1) + " in: " + sql_);
            }
        }
        rows.push_back(std::move(row));
    }
    db::CheckStatus(api.isc_dsql_free_statement(db::StatusVector(), &handle_, DSQL_close));
    return rows;
}

std::vector<Row> SelectRows(Transaction& transaction, const std::string& sql,
                            const std::vector<Value>& params) {
    Statement statement(transaction, sql);
    return statement.Select(params);
}

Value SelectValue(Transaction& transaction, const std::string& sql,
                  const std::vector<Value>& params) {
    auto rows = SelectRows(transaction, sql, params);
    if (rows.empty() || rows.front().empty()) return kNull;
    return rows.front().front();
}

}  // namespace demo
