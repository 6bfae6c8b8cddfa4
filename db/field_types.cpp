#include "db/field_types.h"

namespace db {

const char* FieldTypeName(TFieldType type) {
    switch (type) {
        case TFieldType::ftUnknown:
            return "Unknown";
        case TFieldType::ftString:
            return "String";
        case TFieldType::ftSmallint:
            return "SmallInt";
        case TFieldType::ftInteger:
            return "Integer";
        case TFieldType::ftWord:
            return "Word";
        case TFieldType::ftBoolean:
            return "Boolean";
        case TFieldType::ftFloat:
            return "Float";
        case TFieldType::ftCurrency:
            return "Currency";
        case TFieldType::ftBCD:
            return "BCD";
        case TFieldType::ftDate:
            return "Date";
        case TFieldType::ftTime:
            return "Time";
        case TFieldType::ftDateTime:
            return "DateTime";
        case TFieldType::ftBytes:
            return "Bytes";
        case TFieldType::ftVarBytes:
            return "VarBytes";
        case TFieldType::ftAutoInc:
            return "AutoInc";
        case TFieldType::ftBlob:
            return "Blob";
        case TFieldType::ftMemo:
            return "Memo";
        case TFieldType::ftGraphic:
            return "Graphic";
        case TFieldType::ftFmtMemo:
            return "FmtMemo";
        case TFieldType::ftFixedChar:
            return "FixedChar";
        case TFieldType::ftLargeint:
            return "LargeInt";
        case TFieldType::ftReference:
            return "Reference";
    }
    return "Unknown";
}

}  // namespace db
