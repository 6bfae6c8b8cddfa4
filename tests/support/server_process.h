#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/test_database.h"

namespace test_support {

// The full path of an installed program found through PATH ("" when none).
std::string InstalledProgram(const std::string& name);

// A Firebird server of the test's own: the installed server binary run as a
// child of the test on a loopback port of its own, with its own root folder
// (configuration, security database with the program's SYSDBA password) and
// its own lock folder, so it shares nothing with any other server on the
// machine. The test may kill it (-9), pause and resume it, and start it
// again on the same port; whatever happens to the test, the server goes
// with it.
class ServerProcess {
  public:
    // Why no such server can run here ("" when it can): the server binary,
    // its character sets or isql-fb are not installed.
    static std::string Unavailable();

    // Prepares the root folder and starts the server; throws when it does
    // not answer.
    ServerProcess();
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    bool Running() const { return pid_ > 0; }
    // "127.0.0.1/port:file", the name a program uses to reach `file` here.
    std::string DatabaseName(const std::string& file) const;

    // Starts the server and waits until it accepts connections. Call it
    // (and Restart) from the test's own thread: the server is bound to the
    // life of the thread that started it.
    void Start();
    // Kills it outright (SIGKILL) and reaps it: a crash, as the clients see it.
    void Kill();
    // Kill, then Start on the same port.
    void Restart();
    // Pauses (SIGSTOP) and resumes (SIGCONT) it: a server that stops
    // answering with its connections still open.
    void Stop();
    void Continue();
    // What the server wrote on its standard output and error so far.
    std::string Log() const;

  private:
    void WriteConfiguration();
    void CreateSecurityDatabase();
    bool Answers() const;

    TempDir root_;
    int port_ = 0;
    pid_t pid_ = 0;
};

}  // namespace test_support
