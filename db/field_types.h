#pragma once

namespace db {

// Data types of parameters, field definitions and fields.
enum class TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftFixedChar,
    ftLargeint,
    ftReference,
};

// The type's name as the type-mismatch message shows it.
const char* FieldTypeName(TFieldType type);

enum class TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

}  // namespace db
