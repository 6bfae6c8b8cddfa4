#include "db/xsqlda.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "db/client_library.h"
#include "db/date_time.h"
#include "db/errors.h"
#include "formats/date_time.h"
#include "formats/text_parse.h"

namespace db {
namespace {

bool KnownType(int type) {
    switch (type) {
        case SQL_VARYING:
        case SQL_TEXT:
        case SQL_DOUBLE:
        case SQL_FLOAT:
        case SQL_LONG:
        case SQL_SHORT:
        case SQL_TIMESTAMP:
        case SQL_BLOB:
        case SQL_D_FLOAT:
        case SQL_ARRAY:
        case SQL_QUAD:
        case SQL_TYPE_TIME:
        case SQL_TYPE_DATE:
        case SQL_INT64:
            return true;
        default:
            return false;
    }
}

}  // namespace

void TIBXSQLDA::SetCount(int count) {
    vars_.clear();
    block_.assign(XSQLDA_LENGTH(count > 0 ? count : 1), 0);
    auto* sqlda = reinterpret_cast<XSQLDA*>(block_.data());
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = static_cast<ISC_SHORT>(count);
    sqlda->sqld = static_cast<ISC_SHORT>(count);
    for (int i = 0; i < count; ++i) {
        auto var = std::make_unique<TIBXSQLVAR>();
        var->list_ = this;
        var->var_ = &sqlda->sqlvar[i];
        var->index_ = i;
        vars_.push_back(std::move(var));
    }
}

void TIBXSQLDA::Swap(TIBXSQLDA& other) {
    // The descriptors point into the blocks, whose storage moves with them.
    block_.swap(other.block_);
    vars_.swap(other.vars_);
    std::swap(dialect, other.dialect);
    for (auto& v : vars_) v->list_ = this;
    for (auto& v : other.vars_) v->list_ = &other;
}

void TIBXSQLDA::InitializeInput() {
    for (auto& v : vars_) {
        XSQLVAR& var = *v->var_;
        const int type = var.sqltype & ~1;
        if (!KnownType(type)) RaiseClientError(kUnknownSqlDataType, {type});
        v->max_len_ = (type == SQL_TEXT || type == SQL_VARYING) ? var.sqllen : 0;
        const size_t size = type == SQL_VARYING
                                ? static_cast<size_t>(var.sqllen) + 2
                                : std::max<size_t>(static_cast<size_t>(var.sqllen), 1);
        v->data_.assign(size, 0);
        var.sqldata = v->data_.data();
        v->indicator_ = 0;
        var.sqlind = (var.sqltype & 1) ? &v->indicator_ : nullptr;
    }
}

namespace {

// Bytes the row cache reads from a fetched value of the type, whatever
// length was described.
size_t StoredSize(int type) {
    switch (type) {
        case SQL_SHORT:
            return 2;
        case SQL_LONG:
        case SQL_FLOAT:
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
            return 4;
        case SQL_VARYING:
            return 2;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
        case SQL_INT64:
        case SQL_TIMESTAMP:
        case SQL_BLOB:
        case SQL_ARRAY:
        case SQL_QUAD:
            return 8;
        default:
            return 1;
    }
}

}  // namespace

void TIBXSQLDA::InitializeOutput() {
    for (auto& v : vars_) {
        XSQLVAR& var = *v->var_;
        const int type = var.sqltype & ~1;
        const auto described = static_cast<size_t>(std::max<ISC_SHORT>(var.sqllen, 0));
        // Never smaller than what is read back, so a short description
        // cannot make the row cache read past the buffer.
        const size_t size =
            std::max(type == SQL_VARYING ? described + 2 : described, StoredSize(type));
        v->data_.assign(size, 0);
        var.sqldata = v->data_.data();
        v->indicator_ = 0;
        var.sqlind = &v->indicator_;
    }
}

template <typename Fn>
void TIBXSQLVAR::ForEachSameNamed(Fn&& fn) {
    for (auto& other : list_->vars_) {
        if (other->name_ == name_) fn(*other);
    }
}

void TIBXSQLVAR::Rewrite(short sqltype, short sqllen, short sqlscale) {
    var_->sqltype = static_cast<short>(sqltype | (var_->sqltype & 1));
    var_->sqllen = sqllen;
    var_->sqlscale = sqlscale;
    data_.assign(static_cast<size_t>(sqllen > 0 ? sqllen : 1), 0);
    var_->sqldata = data_.data();
    modified_ = true;
}

void TIBXSQLVAR::SetIsNull(bool null) {
    ForEachSameNamed([null](TIBXSQLVAR& v) {
        if (null) {
            v.var_->sqltype = static_cast<short>(v.var_->sqltype | 1);
            v.var_->sqlind = &v.indicator_;
            v.indicator_ = -1;
        } else if (v.Nullable()) {
            v.var_->sqlind = &v.indicator_;
            v.indicator_ = 0;
        }
        v.modified_ = true;
    });
}

#define COOP_NUMERIC_SETTER(Method, CType, SqlType, Scale)     \
    void TIBXSQLVAR::Method(CType value) {                     \
        if (Nullable()) SetIsNull(false);                      \
        ForEachSameNamed([value](TIBXSQLVAR& v) {              \
            v.Rewrite(SqlType, sizeof(CType), Scale);          \
            std::memcpy(v.data_.data(), &value, sizeof value); \
        });                                                    \
    }
COOP_NUMERIC_SETTER(SetAsLong, int32_t, SQL_LONG, 0)
COOP_NUMERIC_SETTER(SetAsShort, int16_t, SQL_SHORT, 0)
COOP_NUMERIC_SETTER(SetAsDouble, double, SQL_DOUBLE, 0)
#undef COOP_NUMERIC_SETTER

void TIBXSQLVAR::SetAsDateTime(double value) {
    const ISC_QUAD timestamp = TimestampFromDateTime(value);
    if (Nullable()) SetIsNull(false);
    ForEachSameNamed([&timestamp](TIBXSQLVAR& v) {
        v.Rewrite(SQL_TIMESTAMP, sizeof timestamp, v.var_->sqlscale);
        std::memcpy(v.data_.data(), &timestamp, sizeof timestamp);
    });
}

void TIBXSQLVAR::SetAsDate(double value) {
    if (list_->dialect < 3) return SetAsDateTime(value);
    std::tm broken = BrokenDownTime(value);
    ISC_DATE date = 0;
    Api().isc_encode_sql_date(&broken, &date);
    if (Nullable()) SetIsNull(false);
    ForEachSameNamed([date](TIBXSQLVAR& v) {
        v.Rewrite(SQL_TYPE_DATE, sizeof date, 0);
        std::memcpy(v.data_.data(), &date, sizeof date);
    });
}

void TIBXSQLVAR::SetAsTime(double value) {
    if (list_->dialect < 3) return SetAsDateTime(value);
    std::tm broken = BrokenDownTime(value);
    ISC_TIME time = 0;
    Api().isc_encode_sql_time(&broken, &time);
    if (Nullable()) SetIsNull(false);
    ForEachSameNamed([time](TIBXSQLVAR& v) {
        v.Rewrite(SQL_TYPE_TIME, sizeof time, 0);
        std::memcpy(v.data_.data(), &time, sizeof time);
    });
}

void TIBXSQLVAR::SetAsCurrency(double value) {
    if (list_->dialect < 3) return SetAsDouble(value);
    const auto scaled = static_cast<int64_t>(std::llround(value * 10000));
    if (Nullable()) SetIsNull(false);
    ForEachSameNamed([scaled](TIBXSQLVAR& v) {
        v.Rewrite(SQL_INT64, sizeof scaled, -4);
        std::memcpy(v.data_.data(), &scaled, sizeof scaled);
    });
}

void TIBXSQLVAR::SetTextOn(TIBXSQLVAR& target, const std::string& value) {
    const std::string& column = target.name_;
    const bool key_column = column == "DB_KEY" || column == "RDB$DB_KEY";
    if (!key_column)
        target.var_->sqltype = static_cast<short>(SQL_TEXT | (target.var_->sqltype & 1));
    target.var_->sqllen = static_cast<short>(value.size());
    target.data_.assign(value.size() + 1, 0);
    std::memcpy(target.data_.data(), value.data(), value.size());
    target.var_->sqldata = target.data_.data();
    target.modified_ = true;
}

void TIBXSQLVAR::SetAsString(const std::string& value) {
    const int type = SqlType();
    if (type == SQL_TEXT || type == SQL_VARYING) {
        // Checked before anything changes, so a refused value leaves the
        // descriptors as they were.
        if (max_len_ > 0 && static_cast<int>(value.size()) > max_len_) {
            RaiseClientError(kStringTooLarge, {static_cast<int>(value.size()), max_len_});
        }
        if (value.size() > 32767) {
            RaiseClientError(kStringTooLarge, {static_cast<int>(value.size()), 32767});
        }
        if (Nullable()) SetIsNull(false);
        ForEachSameNamed([this, &value](TIBXSQLVAR& v) { SetTextOn(v, value); });
        return;
    }
    if (type == SQL_BLOB) RaiseClientError(kNotSupported);
    if (value.empty()) return SetIsNull(true);
    if (type == SQL_TIMESTAMP || type == SQL_TYPE_DATE || type == SQL_TYPE_TIME) {
        return SetAsDateTime(formats::StrToDateTime(value));
    }
    // Any other type: sent as text, the server converts.
    if (value.size() > 32767) {
        RaiseClientError(kStringTooLarge, {static_cast<int>(value.size()), 32767});
    }
    if (Nullable()) SetIsNull(false);
    ForEachSameNamed([this, &value](TIBXSQLVAR& v) { SetTextOn(v, value); });
}

}  // namespace db
