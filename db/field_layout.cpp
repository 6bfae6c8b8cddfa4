#include "db/field_layout.h"

namespace db {

FieldLayout::FieldLayout(std::vector<TFieldDef> defs) : defs_(std::move(defs)) {
    by_name_.reserve(defs_.size());
    for (const TFieldDef& def : defs_) by_name_.emplace(def.name, &def);
}

const TFieldDef* FieldLayout::Find(std::string_view name) const {
    const auto found = by_name_.find(name);
    return found == by_name_.end() ? nullptr : found->second;
}

}  // namespace db
