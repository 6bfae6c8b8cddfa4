#pragma once

#include <string>

#include "runtime/strings.h"

namespace db {

// Database parameter block (version byte 1, then code/length/value items)
// from "name=value" lines. Raises the client errors of unknown, unsupported
// and unencodable entries before anything reaches the server.
std::string BuildDatabaseParameterBlock(const runtime::TStrings& lines);

// Transaction parameter block (version byte 3, then option bytes); empty
// when there are no lines, so the server applies its defaults.
std::string BuildTransactionParameterBlock(const runtime::TStrings& lines);

}  // namespace db
