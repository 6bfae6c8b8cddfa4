// coop-bench-startup PROBE DATABASE [LABEL]: times the start of the main
// window on a database: from starting the window driver (the program's own
// start-up: the main window made, shown, db.ini read and the connection
// opened, offscreen) until it answers its first command, which it reads
// only once the window is shown. Prints "startup_<label>_ms value ms", the
// best of several starts, and the slowest.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

constexpr int kStarts = 5;

// Runs the driver in `folder` and returns the milliseconds until its first
// line of output.
double TimeOneStart(const std::string& probe, const std::filesystem::path& folder) {
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) throw std::runtime_error("pipe failed");
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(to_child[0], 0);
        dup2(from_child[1], 1);
        close(to_child[1]);
        close(from_child[0]);
        if (chdir(folder.c_str()) != 0) _exit(127);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(probe.c_str(), probe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    const char commands[] = "dump\nquit\n";
    if (write(to_child[1], commands, sizeof commands - 1) < 0) throw std::runtime_error("write");
    close(to_child[1]);
    char c = 0;
    std::string first_line;
    while (read(from_child[0], &c, 1) == 1 && c != '\n') first_line += c;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    while (read(from_child[0], &c, 1) == 1) {
    }
    close(from_child[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (first_line.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the window driver did not start: " + first_line);
    if (first_line.find("\"messages\":[]") == std::string::npos &&
        first_line.find("\"messages\": []") == std::string::npos)
        throw std::runtime_error("the window started with a message: " + first_line);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: coop-bench-startup PROBE DATABASE [LABEL]\n");
        return 2;
    }
    const std::string probe = std::filesystem::absolute(argv[1]).string();
    const std::string database = std::filesystem::absolute(argv[2]).string();
    const std::string label = argc > 3 ? argv[3] : "embedded";
    try {
        char pattern[] = "/tmp/coop-bench-startup-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no temporary folder");
        const std::filesystem::path folder = pattern;
        std::ofstream(folder / "db.ini") << database << "\n";
        double best = 1e9;
        double worst = 0;
        for (int i = 0; i < kStarts; ++i) {
            const double ms = TimeOneStart(probe, folder);
            best = std::min(best, ms);
            worst = std::max(worst, ms);
        }
        std::filesystem::remove_all(folder);
        std::printf("startup_%s_ms %.1f ms\n", label.c_str(), best);
        std::printf("startup_%s_slowest_ms %.1f ms\n", label.c_str(), worst);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-startup: %s\n", error.what());
        return 1;
    }
    return 0;
}
