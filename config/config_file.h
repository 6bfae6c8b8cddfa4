#pragma once

#include <optional>
#include <string>
#include <vector>

namespace config {

// Where db.ini is looked for, in this order: the current folder (as always),
// the user's configuration folder, then the machine-wide one.
std::vector<std::string> ConfigFilePlaces();

// The first place that holds a db.ini (a file or anything else there: a
// folder then fails on reading with its own message). When none does,
// raises the "File not found" input/output failure naming every place.
std::string FindConfigFile(const std::vector<std::string>& places);

// A database name given on the command line replaces db.ini for this run.
void SetDatabaseOverride(std::optional<std::string> name);

// The database name for start-up: the override when there is one, else the
// last line of the first db.ini found.
std::string StartupDatabaseName();

}  // namespace config
