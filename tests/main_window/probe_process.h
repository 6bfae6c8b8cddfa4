#pragma once

#include <QJsonObject>
#include <QProcess>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

// The window test driver as a program of its own, started in a folder with
// a db.ini: a second analyst's program, or one the test kills outright.
// Commands go to its standard input; each dump comes back as one line.
class ProbeProcess {
  public:
    // `environment` is added to this process's own.
    explicit ProbeProcess(const std::string& folder,
                          const std::vector<std::pair<std::string, std::string>>& environment = {});
    ~ProbeProcess();
    ProbeProcess(const ProbeProcess&) = delete;
    ProbeProcess& operator=(const ProbeProcess&) = delete;

    qint64 Pid() const { return process_.processId(); }
    // Sends command lines without waiting.
    void Send(std::initializer_list<std::string> commands);
    // The next dump's state: empty when none came within `seconds`.
    QJsonObject NextState(int seconds = 60);
    // Sends the commands and a dump; returns the state the dump printed.
    QJsonObject Do(std::initializer_list<std::string> commands);
    // Looks the member up and makes the loan current; returns the state.
    QJsonObject Show(const std::string& member, int loan);
    // Kills it (SIGKILL) wherever it is, and reaps it.
    void Kill();
    // Quits and waits; true when it ended normally with code 0.
    bool Quit();
    // Waits up to `seconds` for it to end by itself (told by a signal, say):
    // its exit code, or -1 when it crashed or is still running.
    int ExitCode(int seconds = 60);
    // What it wrote on its standard error.
    std::string Errors();

  private:
    QProcess process_;
};
