#include "db/fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/date_time.h"
#include "db/errors.h"
#include "db/ib_query.h"
#include "db/row_cache.h"
#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "formats/date_time.h"
#include "formats/general_format.h"
#include "formats/text_parse.h"
#include "runtime/text.h"

namespace db {
namespace {

template <typename T>
T Read(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// A number read as a 32-bit integer: outside its range (NaN included) the
// conversion fails rather than yield some other number.
int32_t ToInteger(double value) {
    if (!(value >= -2147483648.0 && value <= 2147483647.0)) {
        throw runtime::EConvertError("'" +
                                     formats::FormatGeneral(value, formats::FormatSettings{}) +
                                     "' is not a valid integer value");
    }
    return static_cast<int32_t>(value);
}

}  // namespace

bool DescribeFieldDef(const XSQLVAR& column, TFieldDef& def) {
    def.required = (column.sqltype & 1) == 0;
    const int type = column.sqltype & ~1;
    const int scale = column.sqlscale;
    using T = TFieldType;
    switch (type) {
        case SQL_VARYING:
        case SQL_TEXT:
            def.data_type = T::ftString;
            def.size = std::max<int>(column.sqllen, 0);
            def.fixed = type == SQL_TEXT;
            return true;
        case SQL_DOUBLE:
        case SQL_FLOAT:
            def.data_type = T::ftFloat;
            return true;
        case SQL_LONG:
        case SQL_SHORT:
        case SQL_INT64: {
            const int precision = type == SQL_LONG ? 9 : type == SQL_SHORT ? 4 : 18;
            if (scale == 0) {
                def.data_type = type == SQL_LONG    ? T::ftInteger
                                : type == SQL_SHORT ? T::ftSmallint
                                                    : T::ftLargeint;
            } else if (scale >= -4 || type == SQL_SHORT) {
                def.data_type = T::ftBCD;
                def.size = -scale;
                def.precision = precision;
            } else {
                def.data_type = T::ftFloat;
            }
            return true;
        }
        case SQL_TIMESTAMP:
            def.data_type = T::ftDateTime;
            return true;
        case SQL_TYPE_DATE:
            def.data_type = T::ftDate;
            return true;
        case SQL_TYPE_TIME:
            def.data_type = T::ftTime;
            return true;
        case SQL_BLOB:
            def.data_type = column.sqlsubtype == 1 ? T::ftMemo : T::ftBlob;
            def.size = 8;
            return true;
        default:
            return false;
    }
}

TField::TField(TFieldType type, std::string field_name, int size, std::string name)
    : TComponent(std::move(name)),
      data_type_(type),
      field_name_(std::move(field_name)),
      size_(size) {}

void TField::Bind(TIBQuery* dataset, int column, int field_no, const ColumnSlot* slot) {
    dataset_ = dataset;
    BindRows(dataset, column, field_no, slot);
}

void TField::BindRows(const TFieldRowSource* rows, int column, int field_no,
                      const ColumnSlot* slot) {
    rows_ = rows;
    column_ = column;
    field_no_ = field_no;
    slot_ = slot;
}

void TField::Unbind() {
    column_ = -1;
    slot_ = nullptr;
    rows_ = nullptr;
}

const char* TField::Value() const {
    if (rows_ == nullptr || column_ < 0) return nullptr;
    const char* row = rows_->ActiveRow();
    if (row == nullptr || RowCache::IsNull(row, column_)) return nullptr;
    return row + slot_->offset;
}

bool TField::IsNullValue() const {
    return Value() == nullptr;
}

void TField::AccessError(const char* type_name) const {
    RaiseDatabaseError(nullptr, "Cannot access field '" + field_name_ + "' as type " + type_name);
}

std::string TField::GetString() const {
    AccessError("String");
}
int32_t TField::GetInteger() const {
    AccessError("Integer");
}
double TField::GetFloat() const {
    AccessError("Float");
}
double TField::GetDateTime() const {
    AccessError("DateTime");
}
std::string TField::DisplayText() const {
    return GetString();
}

int TField::EffectiveDisplayWidth() const {
    if (DisplayWidth > 0) return DisplayWidth;
    switch (FieldTypeClass(data_type_)) {
        case 0:
            return size_;  // text
        case 3:
            return 18;  // date-time
        default:
            return 10;
    }
}

TAlignment TField::Alignment() const {
    const int type_class = FieldTypeClass(data_type_);
    const bool numeric = type_class == 1 || type_class == 2 || data_type_ == TFieldType::ftBCD ||
                         data_type_ == TFieldType::ftLargeint;
    return numeric ? TAlignment::taRightJustify : TAlignment::taLeftJustify;
}

// --- text ---

bool TIBStringField::Stored(std::string_view& text) const {
    const char* value = Value();
    if (value == nullptr) return false;
    text = Slot().kind == ColumnSlot::Kind::kVarying ? Rows().Cache().VaryingText(value)
                                                     : std::string_view(value, Slot().size);
    if (static_cast<int>(text.size()) > Size()) {
        RaiseClientError(kFieldSizeMismatch, {FieldName()});
    }
    return true;
}

std::string TIBStringField::GetString() const {
    std::string text;
    ReadString(text);
    return text;
}

void TIBStringField::ReadString(std::string& into) const {
    std::string_view stored;
    if (!Stored(stored)) {
        into.clear();
        return;
    }
    // Written at its final length in one step: a member row reads nearly
    // two hundred of these.
    if (FixedChar && static_cast<int>(stored.size()) < Size()) {
        into.assign(static_cast<size_t>(Size()), ' ');
        stored.copy(into.data(), stored.size());
        return;
    }
    into.assign(stored);
}

int32_t TIBStringField::GetInteger() const {
    return runtime::StrToInt(GetString());
}
double TIBStringField::GetFloat() const {
    return formats::StrToFloat(GetString());
}
double TIBStringField::GetDateTime() const {
    return formats::StrToDateTime(GetString());
}

// --- integers ---

int32_t TIntegerField::GetInteger() const {
    const char* value = Value();
    return value ? Read<int32_t>(value) : 0;
}

std::string TIntegerField::GetString() const {
    return IsNullValue() ? std::string() : std::to_string(GetInteger());
}

int32_t TSmallintField::GetInteger() const {
    const char* value = Value();
    return value ? static_cast<int16_t>(Read<int32_t>(value) & 0xFFFF) : 0;
}

int32_t TLargeintField::GetInteger() const {
    const int64_t value = GetLargeint();
    if (value < INT32_MIN || value > INT32_MAX) {
        throw runtime::EConvertError("'" + std::to_string(value) +
                                     "' is not a valid integer value");
    }
    return static_cast<int32_t>(value);
}

int64_t TLargeintField::GetLargeint() const {
    const char* value = Value();
    return value ? Read<int64_t>(value) : 0;
}

std::string TLargeintField::GetString() const {
    return IsNullValue() ? std::string() : std::to_string(GetLargeint());
}

// --- floating point ---

double TFloatField::GetFloat() const {
    const char* value = Value();
    if (value == nullptr) return 0.0;
    if (Slot().kind == ColumnSlot::Kind::kCurrency) {
        return ScaledToDouble(Read<int64_t>(value), Slot().scale);
    }
    return Read<double>(value);
}

int32_t TFloatField::GetInteger() const {
    // Halves go to the even neighbour, as the default rounding mode does.
    return ToInteger(std::nearbyint(GetFloat()));
}

std::string TFloatField::GetString() const {
    return IsNullValue() ? std::string() : formats::FormatGeneral(GetFloat());
}

std::string TFloatField::DisplayText() const {
    if (IsNullValue()) return {};
    return formats::FormatFloat(DisplayFormat, GetFloat());
}

// --- date-time ---

double TDateTimeField::GetDateTime() const {
    const char* value = Value();
    if (value == nullptr) return 0.0;
    switch (Slot().kind) {
        case ColumnSlot::Kind::kTimestamp:
            return DateTimeFromTimestamp(Read<ISC_QUAD>(value));
        case ColumnSlot::Kind::kDate: {
            ISC_QUAD timestamp{Read<ISC_DATE>(value), 0};
            return DateTimeFromTimestamp(timestamp);
        }
        case ColumnSlot::Kind::kTime: {
            // Day 0 carries the time of day alone.
            ISC_QUAD timestamp{15018, static_cast<ISC_ULONG>(Read<ISC_TIME>(value))};
            return DateTimeFromTimestamp(timestamp);
        }
        default:
            return 0.0;
    }
}

std::string TDateTimeField::GetString() const {
    return IsNullValue() ? std::string() : formats::FormatDefaultDateTime(GetDateTime());
}

std::string TDateTimeField::DisplayText() const {
    if (IsNullValue()) return {};
    return formats::FormatDateTime(DisplayFormat, GetDateTime());
}

// --- blobs ---

std::string TBlobField::GetString() const {
    const char* value = Value();
    if (value == nullptr) return {};
    ISC_QUAD id = Read<ISC_QUAD>(value);
    TIBQuery* query = DataSet();
    if (query == nullptr) RaiseClientError(kDatabaseNotAssigned);
    const ClientApi& api = Api();
    isc_blob_handle blob = 0;
    const isc_db_handle* attachment = query->Base().DBHandle();
    CheckStatus(Watched(attachment, [&] {
        return api.isc_open_blob2(StatusVector(), query->Base().DBHandle(),
                                  query->Base().TRHandle(), &blob, &id, 0, nullptr);
    }));
    auto close = [&] {
        return Watched(attachment, [&] { return api.isc_close_blob(StatusVector(), &blob); });
    };
    std::string text;
    char buffer[8192];
    while (true) {
        unsigned short got = 0;
        const ISC_STATUS result = Watched(attachment, [&] {
            return api.isc_get_segment(StatusVector(), &blob, &got, sizeof buffer, buffer);
        });
        if (result != 0 && result != isc_segment) {
            if (result == isc_segstr_eof) break;
            // Closed after the failure is saved: the read's error is reported.
            CleanUpAfterFailure(close);
            RaiseServerError();
        }
        text.append(buffer, got);
    }
    CheckStatus(close());
    return text;
}

std::string TBlobField::DisplayText() const {
    return IsNullValue() ? std::string() : "(blob)";
}

// --- making fields ---

std::unique_ptr<TField> MakeAutomaticField(const TFieldDef& def) {
    std::unique_ptr<TField> field;
    switch (def.data_type) {
        case TFieldType::ftString:
            field = std::make_unique<TIBStringField>(def.name, def.size);
            break;
        case TFieldType::ftSmallint:
            field = std::make_unique<TSmallintField>(def.name);
            break;
        case TFieldType::ftInteger:
            field = std::make_unique<TIntegerField>(def.name);
            break;
        case TFieldType::ftFloat:
            field = std::make_unique<TFloatField>(def.name);
            break;
        case TFieldType::ftBCD:
            field = std::make_unique<TIBBCDField>(def.name, def.size);
            break;
        case TFieldType::ftDate:
            field = std::make_unique<TDateField>(def.name);
            break;
        case TFieldType::ftTime:
            field = std::make_unique<TTimeField>(def.name);
            break;
        case TFieldType::ftDateTime:
            field = std::make_unique<TDateTimeField>(def.name);
            break;
        case TFieldType::ftBlob:
            field = std::make_unique<TBlobField>(def.name);
            break;
        case TFieldType::ftMemo:
            field = std::make_unique<TMemoField>(def.name);
            break;
        case TFieldType::ftLargeint:
            field = std::make_unique<TLargeintField>(def.name);
            break;
        default:
            return nullptr;
    }
    field->Required = def.required;
    field->FixedChar = def.fixed;
    return field;
}

int FieldTypeClass(TFieldType type) {
    switch (type) {
        case TFieldType::ftString:
        case TFieldType::ftFixedChar:
            return 0;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftWord:
        case TFieldType::ftAutoInc:
            return 1;
        case TFieldType::ftFloat:
        case TFieldType::ftCurrency:
            return 2;
        case TFieldType::ftDate:
        case TFieldType::ftTime:
        case TFieldType::ftDateTime:
            return 3;
        case TFieldType::ftBlob:
        case TFieldType::ftMemo:
        case TFieldType::ftGraphic:
        case TFieldType::ftFmtMemo:
            return 4;
        default:
            return 100 + static_cast<int>(type);  // each other type alone
    }
}

}  // namespace db
