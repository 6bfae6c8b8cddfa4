#pragma once

#include <string>
#include <vector>

namespace db {

// The statement text as the server receives it: every marker (":name",
// ":"quoted"", or "?") replaced by "?", with the marker names in order.
struct PreprocessedSql {
    std::string text;
    std::vector<std::string> names;
};

// Raises "SQL Parse Error:" with the detail for a text ending inside a
// comment or a string, or a marker without a name.
PreprocessedSql PreprocessSql(const std::string& text);

}  // namespace db
