#pragma once

#include "db/ib_query.h"

namespace main_window {

// Replaces a query's text with one line (the query is closed first).
inline void SetStatement(db::TIBQuery& query, const char* text) {
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(text);
}

}  // namespace main_window
