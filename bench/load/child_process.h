#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace bench {

// A program started with fork and exec, its standard input and output
// piped to us and its standard error going to a file, so that many of them
// can be driven line by line from threads of one process.
class ChildProcess {
  public:
    // `environment` is added to this process's own; the program starts in
    // `folder`.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::string& folder, const std::vector<std::string>& environment,
                 const std::string& error_file);
    ~ChildProcess();  // kills it when still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False when the child no longer reads (it ended).
    bool Send(const std::string& text);
    // The next line without its line break; false at the child's end or
    // when none came by `deadline`.
    bool ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline);
    // Closes its standard input and waits for it to end until `deadline`,
    // then kills it. Returns how it ended ("" for exit code 0).
    std::string Finish(std::chrono::steady_clock::time_point deadline);
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int input_ = -1;   // the child's standard input
    int output_ = -1;  // its standard output
    std::string pending_;
};

}  // namespace bench
