#include <memory>
#include <utility>

#include "db/fields.h"
#include "main_window/result_sets/field_declaration.h"

namespace main_window {

void DeclareFields(db::TIBQuery& query, std::span<const FieldDeclaration> fields,
                   bool text_sizes_from_server) {
    for (const FieldDeclaration& d : fields) {
        db::TFieldDef def;
        def.name = d.column;
        def.data_type = d.type;
        def.size = d.size;
        def.fixed = d.fixed;
        // One factory for both paths: a declared column gets the same field
        // class that an open would make for it undeclared.
        std::unique_ptr<db::TField> field = db::MakeAutomaticField(def);
        if (field == nullptr) continue;
        field->SetName(query.Name() + d.column);
        if (d.display_format != nullptr) field->DisplayFormat = d.display_format;
        field->SetSizeFromServer(text_sizes_from_server);
        query.AddField(std::move(field));
    }
}

}  // namespace main_window
