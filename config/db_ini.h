#pragma once

#include <string>

namespace config {

// The database name: the last line of the configuration file, exactly as
// written. A line ends at LF or CR LF; a lone CR is dropped; Ctrl-Z ends
// the data. Raises runtime::EInOutError when the file cannot be read.
std::string ReadDatabaseName(const std::string& path = "db.ini");

// The last line of a file's bytes by the same rules.
std::string LastLine(const std::string& bytes);

// Start-up's message when the database cannot be opened: the fixed text
// with the name, then the reason on lines of its own. Control characters
// are shown as \xNN and long texts cut, so any db.ini gives a box that fits
// on the screen.
std::string ConnectionFailureMessage(const std::string& name, const std::string& reason);

// The message for an operating-system error number, in the words users of
// the program know ("File not found", "I/O error 21").
std::string InOutErrorMessage(int error_number);

}  // namespace config
