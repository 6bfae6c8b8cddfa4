#pragma once

#include <array>
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

extern const std::array<FieldDeclaration, 182> kMemberFields;    // CLIENTES
extern const std::array<FieldDeclaration, 61> kLoanFields;       // SOLICITUDPRES
extern const std::array<FieldDeclaration, 18> kScheduleFields;   // RENGLONES
extern const std::array<FieldDeclaration, 6> kDocumentFields;    // applied documents

// Gives `query` one persistent field per declaration, each named after the
// query and its column (qpresNO_DOCUMENTO).
void DeclareFields(db::TIBQuery& query, std::span<const FieldDeclaration> fields);

}  // namespace main_window
