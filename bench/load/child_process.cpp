#include "bench/load/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bench {
namespace {

void Pipe(int ends[2]) {
    // Close-on-exec, so that no child holds another child's pipes open.
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
}

std::string Ending(int status) {
    if (WIFEXITED(status)) {
        const int code = WEXITSTATUS(status);
        return code == 0 ? "" : "exit code " + std::to_string(code);
    }
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder, const std::vector<std::string>& environment,
                           const std::string& error_file) {
    // Everything the child needs is made before the fork: between fork
    // and exec a process with threads may only make plain system calls.
    std::vector<std::string> argument_texts{program};
    argument_texts.insert(argument_texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argument_texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment_texts(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('=') + 1);
        bool overridden = false;
        for (const std::string& added : environment) overridden |= added.starts_with(name);
        if (!overridden) environment_texts.push_back(text);
    }
    std::vector<char*> envp;
    for (std::string& text : environment_texts) envp.push_back(text.data());
    envp.push_back(nullptr);

    const int error_fd = ::open(error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (error_fd < 0) throw std::runtime_error("cannot write " + error_file);
    int to_child[2];
    int from_child[2];
    Pipe(to_child);
    Pipe(from_child);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        if (::dup2(to_child[0], STDIN_FILENO) < 0 || ::dup2(from_child[1], STDOUT_FILENO) < 0 ||
            ::dup2(error_fd, STDERR_FILENO) < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(error_fd);
    ::close(to_child[0]);
    ::close(from_child[1]);
    input_ = to_child[1];
    output_ = from_child[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
}

bool ChildProcess::Send(const std::string& text) {
    // SIGPIPE is ignored by the benchmark: a child gone shows as EPIPE.
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t wrote = ::write(input_, text.data() + sent, text.size() - sent);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        sent += static_cast<size_t>(wrote);
    }
    return true;
}

bool ChildProcess::ReadLine(std::string& line, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd ready{output_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (polled < 0 && errno != EINTR) return false;
        if (polled <= 0) continue;
        char chunk[65536];
        const ssize_t got = ::read(output_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        pending_.append(chunk, static_cast<size_t>(got));
    }
}

std::string ChildProcess::Finish(std::chrono::steady_clock::time_point deadline) {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) break;
        if (ended < 0) return std::string("waitpid: ") + std::strerror(errno);
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return "did not end; killed";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    return Ending(status);
}

}  // namespace bench
