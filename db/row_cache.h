#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace db {

class TIBXSQLDA;

// raw x 10^scale, in one correctly rounded step where the operands allow
// (|raw| below 2^53, at most 22 decimals), so no digit is lost on the way.
double ScaledToDouble(int64_t raw, int scale);

// Where one column's value sits in a cached row, and how it is stored.
struct ColumnSlot {
    enum class Kind : uint8_t {
        kVarying,  // where the text sits in the text block: 4-byte offset, 2-byte length
        kText,     // described-length bytes, blank padded by the server
        kDouble,
        kInt32,
        kInt64,
        kCurrency,   // the unscaled integer in 64 bits, scaled once when read
        kTimestamp,  // the server's 8-byte timestamp, decoded when read
        kDate,
        kTime,
        kId,        // 8-byte blob or array id
        kUnmapped,  // a type no field reads (a BOOLEAN, say): nothing stored
    };
    Kind kind = Kind::kInt32;
    int16_t sql_type = 0;
    int16_t scale = 0;
    bool nullable = false;
    uint32_t offset = 0;  // of the stored value within the row
    uint32_t size = 0;    // bytes the value may take
};

// Every fetched row of an open result set, in fetch order, at a fixed size
// per row, in one block that grows by a fixed number of rows. Variable-length
// text is kept at its actual length in a second block: a member row of 182
// columns holds about 1.5 KB of text but declares about 9 KB, and touching
// the declared size costs more than the fetch itself.
class RowCache {
  public:
    RowCache() = default;
    ~RowCache() { Release(); }
    RowCache(const RowCache&) = delete;
    RowCache& operator=(const RowCache&) = delete;

    // Lays the rows out for the columns of `columns` and reserves `chunk` rows.
    void Configure(TIBXSQLDA& columns, int chunk);
    void Release();

    // Copies the values the last fetch left in the descriptors into a new row.
    void Append(TIBXSQLDA& columns);

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }
    size_t RowSize() const { return row_size_; }
    const std::vector<ColumnSlot>& Columns() const { return slots_; }
    const char* Row(int i) const { return block_ + static_cast<size_t>(i) * row_size_; }
    // The row's null flag for column c.
    static bool IsNull(const char* row, int c) { return row[kNullFlagsOffset + c] != 0; }
    // A variable-length text value of a row (its slot's stored value).
    std::string_view VaryingText(const char* value) const {
        uint32_t offset;
        uint16_t length;
        std::memcpy(&offset, value, 4);
        std::memcpy(&length, value + 4, 2);
        return {text_ + offset, length};
    }
    size_t TextBytes() const { return text_used_; }

  private:
    // Row record: row number, bookmark flag, one null flag per column, values.
    static constexpr size_t kNullFlagsOffset = sizeof(int32_t) + 1;

    std::vector<ColumnSlot> slots_;
    size_t row_size_ = 0;
    int chunk_ = 1000;
    int count_ = 0;
    int capacity_ = 0;
    char* block_ = nullptr;
    char* text_ = nullptr;
    size_t text_used_ = 0;
    size_t text_capacity_ = 0;
};

}  // namespace db
