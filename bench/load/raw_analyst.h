#pragma once

#include <string>

namespace bench {

// The raw client's side of the load: a child process that attaches once,
// says {"ready": true}, then answers each "code NNNNN" line on standard
// input with one JSON line once the seven lookup statements (prepared at
// their first use, then only executed) have run: {"rows": N}, or
// {"error": "..."}. Ends at "quit" or at the end of its input.
int RunRawAnalyst(const std::string& database);

}  // namespace bench
