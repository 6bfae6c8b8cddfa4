// Row decoding on arbitrary descriptions and bytes: any type code, length,
// scale, subtype and null indicator, the bytes a fetch could leave, stored
// by the row cache (growing it) and read back through every getter of
// every field kind a dataset would bind to such a column. A value that
// cannot be read as asked is a clear error; nothing may read out of bounds
// or hit undefined behaviour.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "db/client_library.h"
#include "db/column_value.h"
#include "db/fields.h"
#include "db/row_cache.h"
#include "db/xsqlda.h"
#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "runtime/exception.h"

namespace {

constexpr short kTypes[] = {SQL_VARYING, SQL_TEXT,      SQL_DOUBLE,    SQL_FLOAT,   SQL_LONG,
                            SQL_SHORT,   SQL_TIMESTAMP, SQL_BLOB,      SQL_D_FLOAT, SQL_ARRAY,
                            SQL_QUAD,    SQL_TYPE_TIME, SQL_TYPE_DATE, SQL_INT64,   SQL_BOOLEAN};

class Rows : public db::TFieldRowSource {
  public:
    const char* ActiveRow() const override {
        return current < cache.Count() ? cache.Row(current) : nullptr;
    }
    const db::RowCache& Cache() const override { return cache; }

    db::RowCache cache;
    int current = 0;
};

// The automatic field, and the declared kinds a dataset accepts for the
// column's type class.
std::vector<std::unique_ptr<db::TField>> FieldsFor(const db::TFieldDef& def,
                                                   FuzzedDataProvider& in) {
    std::vector<std::unique_ptr<db::TField>> fields;
    if (auto field = db::MakeAutomaticField(def)) fields.push_back(std::move(field));
    switch (db::FieldTypeClass(def.data_type)) {
        case 0: {
            auto text =
                std::make_unique<db::TIBStringField>(def.name, in.ConsumeIntegralInRange(0, 40));
            text->FixedChar = in.ConsumeBool();
            fields.push_back(std::move(text));
            break;
        }
        case 1:
            fields.push_back(std::make_unique<db::TIntegerField>(def.name));
            fields.push_back(std::make_unique<db::TSmallintField>(def.name));
            break;
        case 2: {
            auto amount = std::make_unique<db::TFloatField>(def.name);
            amount->DisplayFormat = std::string(formats::kAmountPattern);
            fields.push_back(std::move(amount));
            break;
        }
        case 3: {
            auto date = std::make_unique<db::TDateField>(def.name);
            date->DisplayFormat = std::string(formats::kDatePattern);
            fields.push_back(std::move(date));
            fields.push_back(std::make_unique<db::TTimeField>(def.name));
            break;
        }
        case 4:
            fields.push_back(std::make_unique<db::TBlobField>(def.name));
            fields.push_back(std::make_unique<db::TMemoField>(def.name));
            break;
        default:
            break;
    }
    return fields;
}

template <typename F>
void Try(F&& read) {
    try {
        read();
    } catch (const runtime::Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    db::EnsureClientLoaded();  // timestamps are decoded by the client library
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    db::TIBXSQLDA columns;
    const int count = in.ConsumeIntegralInRange(1, 6);
    columns.SetCount(count);
    for (int i = 0; i < count; ++i) {
        XSQLVAR& var = columns[i].Var();
        // Mostly plausible values, sometimes any at all; lengths in the
        // tens of kilobytes only now and then, as they slow every run.
        const short type =
            in.ConsumeBool() ? in.PickValueInArray(kTypes) : in.ConsumeIntegral<short>();
        var.sqltype = static_cast<short>(type | (in.ConsumeBool() ? 1 : 0));
        var.sqllen = in.ConsumeIntegralInRange(0, 7) != 0 ? in.ConsumeIntegralInRange<short>(-4, 64)
                                                          : in.ConsumeIntegral<short>();
        var.sqlscale = in.ConsumeBool() ? in.ConsumeIntegralInRange<short>(-20, 2)
                                        : in.ConsumeIntegral<short>();
        var.sqlsubtype = in.ConsumeIntegral<short>();
    }
    columns.InitializeOutput();

    Rows rows;
    rows.cache.Configure(columns, in.ConsumeIntegralInRange(1, 3));
    const int fetched = in.ConsumeIntegralInRange(1, 4);
    for (int r = 0; r < fetched; ++r) {
        for (int i = 0; i < count; ++i) {
            XSQLVAR& var = columns[i].Var();
            const size_t described = var.sqllen > 0 ? static_cast<size_t>(var.sqllen) : 0;
            // As much as the server writes for the description.
            const size_t written = (var.sqltype & ~1) == SQL_VARYING ? described + 2 : described;
            const std::vector<char> bytes = in.ConsumeBytes<char>(written);
            if (!bytes.empty()) std::memcpy(var.sqldata, bytes.data(), bytes.size());
            if (var.sqlind != nullptr) {
                *var.sqlind = in.ConsumeBool() ? in.ConsumeIntegral<short>()
                                               : static_cast<short>(in.ConsumeBool() ? -1 : 0);
            }
        }
        rows.cache.Append(columns);
        // Read straight from the buffers, as the portfolio check reads them.
        for (int i = 0; i < count; ++i) {
            const db::ColumnValue value = db::ReadColumn(columns[i]);
            const XSQLVAR& var = columns[i].Var();
            if (value.type == db::ColumnValue::Type::kText &&
                value.text.size() > static_cast<size_t>(std::max<short>(var.sqllen, 0))) {
                __builtin_trap();
            }
        }
    }

    for (int i = 0; i < count; ++i) {
        db::TFieldDef def;
        def.name = "F" + std::to_string(i);
        if (!db::DescribeFieldDef(columns[i].Var(), def)) continue;
        for (auto& field : FieldsFor(def, in)) {
            field->BindRows(&rows, i, i + 1, &rows.cache.Columns()[static_cast<size_t>(i)]);
            for (rows.current = 0; rows.current <= fetched; ++rows.current) {  // one past: no row
                Try([&] { field->IsNullValue(); });
                Try([&] { field->GetString(); });
                Try([&] { field->GetInteger(); });
                Try([&] { field->GetFloat(); });
                Try([&] { field->GetDateTime(); });
                Try([&] { field->DisplayText(); });
            }
        }
    }
    return 0;
}
