#pragma once

#include <string>

namespace bench {

// The member search with every box empty, in the real search dialog over
// the real main window (offscreen): from the click on Buscar until its
// grid is painted with its first screen of rows, against the bare client
// API fetching the same first rows of the same statement. Prints
// "search_<label>_..." lines.
void SearchFirstScreenFigures(const std::string& database, const std::string& label);

}  // namespace bench
