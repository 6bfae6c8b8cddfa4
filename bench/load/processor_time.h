#pragma once

#include <sys/types.h>

namespace bench {

// Processor time (user and system) a process has used so far, in seconds,
// from /proc; negative when it cannot be read.
double ProcessorSeconds(pid_t pid);

// The same for the Firebird server on this machine: every process named
// "firebird" added up; negative when there is none.
double ServerProcessorSeconds();

}  // namespace bench
