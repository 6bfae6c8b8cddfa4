#pragma once

// What a declared field is, and the helpers each result set writes its
// declarations with. The declarations are written out, not read from the
// schema: they are what opening a query checks the server's columns against.

#include <span>

#include "db/field_types.h"
#include "db/ib_query.h"

namespace main_window {

// One declared column: the result must have it, with a compatible type.
struct FieldDeclaration {
    const char* column;
    db::TFieldType type;
    int size;                    // text columns: the most characters a value may have
    const char* display_format;  // nullptr: the general form
    bool fixed;                  // CHAR column: read padded to its size
};

// Gives `query` one persistent field per declaration, each named after the
// query and its column (qpresNO_DOCUMENTO).
// With text_sizes_from_server, the text fields take the size the server
// describes at each open: a production column longer than the declared one
// must not make every read fail.
void DeclareFields(db::TIBQuery& query, std::span<const FieldDeclaration> fields,
                   bool text_sizes_from_server = false);

namespace declare {

inline constexpr const char* kAmountFormat = "###,###,##0.00";
inline constexpr const char* kDateFormat = "dd/mm/yyyy";

// VARCHAR of at most `size` characters.
constexpr FieldDeclaration Text(const char* column, int size) {
    return {column, db::TFieldType::ftString, size, nullptr, false};
}
// CHAR of `size` characters, read with its padding.
constexpr FieldDeclaration FixedText(const char* column, int size) {
    return {column, db::TFieldType::ftString, size, nullptr, true};
}
constexpr FieldDeclaration Integer(const char* column) {
    return {column, db::TFieldType::ftInteger, 0, nullptr, false};
}
constexpr FieldDeclaration Smallint(const char* column) {
    return {column, db::TFieldType::ftSmallint, 0, nullptr, false};
}
// A number shown in the general form.
constexpr FieldDeclaration Float(const char* column) {
    return {column, db::TFieldType::ftFloat, 0, nullptr, false};
}
// Money: thousands separated, two decimals.
constexpr FieldDeclaration Amount(const char* column) {
    return {column, db::TFieldType::ftFloat, 0, kAmountFormat, false};
}
// A timestamp shown in the general form (the time only when there is one).
constexpr FieldDeclaration DateTime(const char* column) {
    return {column, db::TFieldType::ftDateTime, 0, nullptr, false};
}
// A timestamp shown as its day.
constexpr FieldDeclaration Date(const char* column) {
    return {column, db::TFieldType::ftDateTime, 0, kDateFormat, false};
}
// A text blob; 8 is the size of its id.
constexpr FieldDeclaration Memo(const char* column) {
    return {column, db::TFieldType::ftMemo, 8, nullptr, false};
}

}  // namespace declare
}  // namespace main_window
