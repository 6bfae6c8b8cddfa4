#pragma once

#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/fields.h"
#include "runtime/text.h"

namespace db {

// What a prepared select offers as fields: its column definitions and an
// index of them by name ignoring case. Worked out once per server
// statement and kept with it, so a text that returns to a kept statement
// neither asks the schema about its columns nor indexes their names again
// (the member set's 182 columns at every lookup).
class FieldLayout {
  public:
    explicit FieldLayout(std::vector<TFieldDef> defs);
    FieldLayout(const FieldLayout&) = delete;  // the index points into defs_
    FieldLayout& operator=(const FieldLayout&) = delete;

    const std::vector<TFieldDef>& Defs() const { return defs_; }
    // The first definition of that name; nullptr when none.
    const TFieldDef* Find(std::string_view name) const;

  private:
    std::vector<TFieldDef> defs_;
    std::unordered_map<std::string_view, const TFieldDef*, runtime::Latin1NoCaseHash,
                       runtime::Latin1NoCaseEqual>
        by_name_;
};

}  // namespace db
