#pragma once

#include <QStringList>
#include <optional>
#include <string>

namespace shell {

// What the command line asks for. When `run` is false the program prints
// `output` (to standard output for --help and --version, to standard error
// otherwise) and ends with `exit_code` before any window exists.
struct CommandLine {
    bool run = true;
    int exit_code = 0;
    bool to_standard_error = false;
    std::string output;
    std::optional<std::string> database;  // --database PATH, its bytes as given
};

inline constexpr int kUsageExitCode = 2;

// Parsed before the application object exists, so --help and --version
// work without a display.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace shell
