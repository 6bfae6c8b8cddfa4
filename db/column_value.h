#pragma once

// A fetched column's value read straight from its buffer, for code that
// works through many rows of a plain statement without fields (the
// portfolio check): every type the client library hands over, decoded here
// rather than by its users. No Qt.

#include <ibase.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "db/xsqlda.h"

namespace db {

struct ColumnValue {
    enum class Type { kNull, kInteger, kReal, kDate, kTime, kTimestamp, kText, kOther };
    Type type = Type::kNull;
    int64_t integer = 0;    // kInteger: as stored, its scale not applied
    int scale = 0;          // kInteger: a NUMERIC's negative scale
    double real = 0;        // kReal (float columns widened)
    int32_t date = 0;       // kDate, kTimestamp: days as the client library counts them
    uint32_t time = 0;      // kTime, kTimestamp: ten-thousandths of a second
    std::string_view text;  // kText: into the column's buffer, trailing blanks dropped

    // kReal, or kInteger with its scale applied.
    double Number() const {
        if (type == Type::kReal) return real;
        double result = static_cast<double>(integer);
        for (int s = scale; s < 0; ++s) result /= 10;
        return result;
    }
};

namespace column_detail {
template <typename T>
T Read(const XSQLVAR& raw) {
    T value;
    std::memcpy(&value, raw.sqldata, sizeof value);  // buffers are not aligned for T
    return value;
}

}  // namespace column_detail

// The value the column holds now (kNull when null). Valid until the next
// fetch. Inline: the check reads every column of millions of rows.
inline ColumnValue ReadColumn(const TIBXSQLVAR& var) {
    ColumnValue value;
    if (var.IsNull()) return value;
    const XSQLVAR& raw = var.Var();
    switch (var.SqlType()) {
        case SQL_SHORT:
            value.type = ColumnValue::Type::kInteger;
            value.integer = column_detail::Read<int16_t>(raw);
            value.scale = raw.sqlscale;
            break;
        case SQL_LONG:
            value.type = ColumnValue::Type::kInteger;
            value.integer = column_detail::Read<int32_t>(raw);
            value.scale = raw.sqlscale;
            break;
        case SQL_INT64:
            value.type = ColumnValue::Type::kInteger;
            value.integer = column_detail::Read<int64_t>(raw);
            value.scale = raw.sqlscale;
            break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            value.type = ColumnValue::Type::kReal;
            value.real = column_detail::Read<double>(raw);
            break;
        case SQL_FLOAT:
            value.type = ColumnValue::Type::kReal;
            value.real = column_detail::Read<float>(raw);
            break;
        case SQL_TYPE_DATE:
            value.type = ColumnValue::Type::kDate;
            value.date = column_detail::Read<ISC_DATE>(raw);
            break;
        case SQL_TYPE_TIME:
            value.type = ColumnValue::Type::kTime;
            value.time = column_detail::Read<ISC_TIME>(raw);
            break;
        case SQL_TIMESTAMP: {
            const auto stamp = column_detail::Read<ISC_TIMESTAMP>(raw);
            value.type = ColumnValue::Type::kTimestamp;
            value.date = stamp.timestamp_date;
            value.time = stamp.timestamp_time;
            break;
        }
        case SQL_TEXT:
        case SQL_VARYING: {
            const char* text = raw.sqldata;
            size_t length = raw.sqllen > 0 ? static_cast<size_t>(raw.sqllen) : 0;
            if (var.SqlType() == SQL_VARYING) {
                length = std::min<size_t>(column_detail::Read<uint16_t>(raw), length);
                text += sizeof(uint16_t);
            }
            while (length > 0 && text[length - 1] == ' ') --length;
            value.type = ColumnValue::Type::kText;
            value.text = std::string_view(text, length);
            break;
        }
        default:
            value.type = ColumnValue::Type::kOther;
            break;
    }
    return value;
}

}  // namespace db
