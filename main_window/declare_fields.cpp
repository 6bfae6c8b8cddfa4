#include "main_window/declared_fields.h"

namespace main_window {

void DeclareFields(db::TIBQuery& query, std::span<const FieldDeclaration> fields) {
    for (const FieldDeclaration& d : fields) {
        const std::string name = query.Name() + d.column;
        db::TField* field = nullptr;
        switch (d.type) {
            case db::TFieldType::ftString: {
                auto& text = query.AddField<db::TIBStringField>(d.column, d.size, name);
                text.FixedChar = d.fixed;
                field = &text;
                break;
            }
            case db::TFieldType::ftInteger: field = &query.AddField<db::TIntegerField>(d.column, name); break;
            case db::TFieldType::ftSmallint: field = &query.AddField<db::TSmallintField>(d.column, name); break;
            case db::TFieldType::ftFloat: field = &query.AddField<db::TFloatField>(d.column, name); break;
            case db::TFieldType::ftDateTime: field = &query.AddField<db::TDateTimeField>(d.column, name); break;
            case db::TFieldType::ftMemo: field = &query.AddField<db::TMemoField>(d.column, name); break;
            default: continue;
        }
        if (d.display_format != nullptr) field->DisplayFormat = d.display_format;
    }
}

}  // namespace main_window
