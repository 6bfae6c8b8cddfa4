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

// The same for a writer that opens the file itself by name (a library):
// `fill` writes the new contents into the temporary file it is given, beside
// `path`; the file then gets a new file's permissions, goes to disk and is
// renamed over `path`. A failure `fill` raises passes on, the old file kept.
void ReplaceFileWhole(const std::string& path,
                      const std::function<void(const std::string& temporary)>& fill);

}  // namespace loans
