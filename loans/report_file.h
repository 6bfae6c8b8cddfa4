#pragma once

// A report written whole or not at all: into a temporary file beside it,
// flushed to disk, then renamed over the old one, so a failure midway (a
// full disk, a killed process) leaves the old report as it was. No Qt.

#include <functional>
#include <ostream>
#include <string>

namespace loans {

// Calls `write` with a stream onto the new contents of `path`. Raises
// runtime::EInOutError naming the file and the cause when any step fails
// (or `write` throws, whose failure passes on); the old file, if any, is
// then untouched and no temporary file remains.
void WriteWholeFile(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace loans
