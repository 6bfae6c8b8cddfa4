#include "db/row_cache.h"

#include <ibase.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "db/xsqlda.h"

namespace db {
namespace {

int64_t ReadInteger(const XSQLVAR& var, int16_t type) {
    if (type == SQL_SHORT) {
        int16_t s;
        std::memcpy(&s, var.sqldata, 2);
        return s;
    }
    if (type == SQL_LONG) {
        int32_t l;
        std::memcpy(&l, var.sqldata, 4);
        return l;
    }
    int64_t q;
    std::memcpy(&q, var.sqldata, 8);
    return q;
}

}  // namespace

double ScaledToDouble(int64_t raw, int scale) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int64_t kExact = int64_t{1} << 53;
    if (raw == 0 || scale == 0) return static_cast<double>(raw);
    const int digits = scale < 0 ? -scale : scale;
    if (digits <= 22 && raw > -kExact && raw < kExact) {
        const double value = static_cast<double>(raw);
        return scale < 0 ? value / kPowers[digits] : value * kPowers[digits];
    }
    const long double value = static_cast<long double>(raw);
    const long double power = std::pow(10.0L, static_cast<long double>(digits));
    return static_cast<double>(scale < 0 ? value / power : value * power);
}

void RowCache::Configure(TIBXSQLDA& columns, int chunk) {
    Release();
    chunk_ = chunk > 0 ? chunk : 1000;
    slots_.clear();
    size_t offset = kNullFlagsOffset + static_cast<size_t>(columns.Count());
    for (int i = 0; i < columns.Count(); ++i) {
        const XSQLVAR& var = columns[i].Var();
        ColumnSlot slot;
        slot.sql_type = static_cast<int16_t>(var.sqltype & ~1);
        slot.scale = var.sqlscale;
        slot.nullable = (var.sqltype & 1) != 0;
        using K = ColumnSlot::Kind;
        switch (slot.sql_type) {
            case SQL_VARYING:
                slot.kind = K::kVarying;
                slot.size = 6;
                break;
            case SQL_TEXT:
                slot.kind = K::kText;
                slot.size = static_cast<uint32_t>(std::max<ISC_SHORT>(var.sqllen, 0));
                break;
            case SQL_DOUBLE:
            case SQL_FLOAT:
            case SQL_D_FLOAT:
                slot.kind = K::kDouble;
                slot.size = 8;
                break;
            case SQL_LONG:
            case SQL_SHORT:
            case SQL_INT64:
                if (slot.scale == 0) {
                    slot.kind = slot.sql_type == SQL_INT64 ? K::kInt64 : K::kInt32;
                } else if (slot.scale >= -4) {
                    slot.kind = K::kCurrency;
                } else {
                    slot.kind = K::kDouble;
                }
                slot.size = slot.kind == K::kInt32 ? 4 : 8;
                break;
            case SQL_TIMESTAMP:
                slot.kind = K::kTimestamp;
                slot.size = 8;
                break;
            case SQL_TYPE_DATE:
                slot.kind = K::kDate;
                slot.size = 4;
                break;
            case SQL_TYPE_TIME:
                slot.kind = K::kTime;
                slot.size = 4;
                break;
            case SQL_BLOB:
            case SQL_ARRAY:
            case SQL_QUAD:
                slot.kind = K::kId;
                slot.size = 8;
                break;
            // Stored as nothing: an unknown type's length says nothing of
            // how to read it, and no field reaches such a column.
            default:
                slot.kind = K::kUnmapped;
                slot.size = 0;
                break;
        }
        slot.offset = static_cast<uint32_t>(offset);
        offset += slot.size;
        slots_.push_back(slot);
    }
    row_size_ = offset;
}

void RowCache::Release() {
    std::free(block_);
    std::free(text_);
    block_ = nullptr;
    text_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    text_used_ = 0;
    text_capacity_ = 0;
}

void RowCache::Append(TIBXSQLDA& columns) {
    if (count_ == capacity_) {
        const size_t rows = static_cast<size_t>(capacity_) + static_cast<size_t>(chunk_);
        void* grown = std::realloc(block_, rows * row_size_);
        if (grown == nullptr) throw std::bad_alloc();
        block_ = static_cast<char*>(grown);
        capacity_ = static_cast<int>(rows);
    }
    char* row = block_ + static_cast<size_t>(count_) * row_size_;
    const int32_t number = count_;
    std::memcpy(row, &number, sizeof number);
    row[sizeof number] = 0;
    const int n = static_cast<int>(slots_.size());
    for (int c = 0; c < n; ++c) {
        const ColumnSlot& slot = slots_[static_cast<size_t>(c)];
        const XSQLVAR& var = columns[c].Var();
        const bool null = slot.nullable && var.sqlind != nullptr && *var.sqlind == -1;
        row[kNullFlagsOffset + c] = null ? 1 : 0;
        char* value = row + slot.offset;
        if (null) continue;
        using K = ColumnSlot::Kind;
        switch (slot.kind) {
            case K::kVarying: {
                uint16_t length;
                std::memcpy(&length, var.sqldata, 2);
                const auto described = static_cast<uint16_t>(std::max<ISC_SHORT>(var.sqllen, 0));
                if (length > described) length = described;
                if (text_used_ + length > text_capacity_) {
                    // Doubling keeps appends amortised constant; large blocks
                    // are remapped by realloc, not copied.
                    const size_t grown = std::max(text_capacity_ * 2, text_used_ + length + 65536);
                    void* block = std::realloc(text_, grown);
                    if (block == nullptr) throw std::bad_alloc();
                    text_ = static_cast<char*>(block);
                    text_capacity_ = grown;
                }
                if (text_used_ > UINT32_MAX - length) throw std::bad_alloc();
                const auto offset = static_cast<uint32_t>(text_used_);
                // An empty first value finds no text block yet.
                if (length > 0) std::memcpy(text_ + text_used_, var.sqldata + 2, length);
                text_used_ += length;
                std::memcpy(value, &offset, 4);
                std::memcpy(value + 4, &length, 2);
                break;
            }
            case K::kInt32:
                if (slot.sql_type == SQL_SHORT) {
                    int16_t s;
                    std::memcpy(&s, var.sqldata, 2);
                    const int32_t widened = s;
                    std::memcpy(value, &widened, 4);
                } else {
                    std::memcpy(value, var.sqldata, 4);
                }
                break;
            case K::kCurrency: {
                // Kept unscaled: multiplying up to four decimals here would
                // overflow near the top of an 18-digit column.
                const int64_t raw = ReadInteger(var, slot.sql_type);
                std::memcpy(value, &raw, 8);
                break;
            }
            case K::kDouble:
                if (slot.sql_type == SQL_FLOAT) {
                    float f;
                    std::memcpy(&f, var.sqldata, 4);
                    const double d = f;
                    std::memcpy(value, &d, 8);
                } else if (slot.sql_type == SQL_DOUBLE || slot.sql_type == SQL_D_FLOAT) {
                    std::memcpy(value, var.sqldata, 8);
                } else {  // scaled integer beyond four decimals
                    const double d = ScaledToDouble(ReadInteger(var, slot.sql_type), slot.scale);
                    std::memcpy(value, &d, 8);
                }
                break;
            case K::kUnmapped:
                break;
            default:
                std::memcpy(value, var.sqldata, slot.size);
        }
    }
    ++count_;
}

}  // namespace db
