#include "tests/support/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace test_support {
namespace {

constexpr const char* kServerBinary = "/usr/sbin/firebird";
// The installed server's root folder (Debian's), for its messages and
// character sets; its plugins are found where the package put them.
constexpr const char* kInstalledRoots[] = {
    "/usr/lib/x86_64-linux-gnu/firebird/3.0",
    "/usr/lib/firebird/3.0",
};
constexpr int kAnswerTimeoutSeconds = 30;

}  // namespace

std::string InstalledProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = folders.find(':', start);
        const std::string folder =
            folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return "";
}

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// A loopback port nobody listens on now. The server binds it a moment
// later, and binds it again after every restart.
int FreeLoopbackPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(probe);
        throw std::runtime_error("no free loopback port");
    }
    close(probe);
    return ntohs(address.sin_port);
}

}  // namespace

std::string ServerProcess::Unavailable() {
    if (access(kServerBinary, X_OK) != 0) {
        return std::string("no Firebird server binary (") + kServerBinary + ")";
    }
    if (InstalledProgram("isql-fb").empty()) return "no isql-fb to create a security database";
    for (const char* installed : kInstalledRoots) {
        if (access((std::string(installed) + "/intl/libfbintl.so").c_str(), R_OK) == 0) return "";
    }
    return "no Firebird character sets module (intl/libfbintl.so)";
}

ServerProcess::ServerProcess() : port_(FreeLoopbackPort()) {
    std::filesystem::create_directories(root_.Path() / "lock");
    WriteConfiguration();
    CreateSecurityDatabase();
    Start();
}

ServerProcess::~ServerProcess() {
    Kill();
}

std::string ServerProcess::DatabaseName(const std::string& file) const {
    return "127.0.0.1/" + std::to_string(port_) + ":" + file;
}

void ServerProcess::WriteConfiguration() {
    // Read from the folder named by FIREBIRD.
    std::ofstream(root_.File("firebird.conf"))
        << "RemoteServicePort = " << port_ << "\n"
        << "RemoteBindAddress = 127.0.0.1\n"
        << "SecurityDatabase = " << root_.File("security3.fdb") << "\n"
        << "UdfAccess = None\n";
    std::ofstream(root_.File("databases.conf")) << "";
    for (const char* installed : kInstalledRoots) {
        const std::filesystem::path from(installed);
        if (!std::filesystem::is_directory(from)) continue;
        std::filesystem::create_symlink(from / "firebird.msg", root_.Path() / "firebird.msg");
        // The character sets' module is looked for under the root, and is
        // refused when it is loaded through a link: a copy of it.
        std::filesystem::create_directory(root_.Path() / "intl");
        std::filesystem::copy_file(from / "intl" / "libfbintl.so",
                                   root_.Path() / "intl" / "libfbintl.so");
        break;
    }
}

void ServerProcess::CreateSecurityDatabase() {
    // Through the embedded engine, with this root's configuration: the new
    // database is its own security database, and SYSDBA gets the password
    // the program connects with.
    std::ofstream(root_.File("make_security.sql"))
        << "create database '" << root_.File("security3.fdb") << "' user 'SYSDBA';\n"
        << "create user SYSDBA password '" << kPassword << "' using plugin Srp;\n"
        << "create user " << kAnalystUser << " password '" << kAnalystPassword
        << "' using plugin Srp;\n"
        << "create user " << kSecondAnalystUser << " password '" << kAnalystPassword
        << "' using plugin Srp;\n"
        << "create user " << kSupervisorUser << " password '" << kAnalystPassword
        << "' using plugin Srp;\n"
        << "create user " << kSecondSupervisorUser << " password '" << kAnalystPassword
        << "' using plugin Srp;\n"
        << "commit;\n";
    const CommandRun run =
        RunCommand(root_, "env -u LD_LIBRARY_PATH FIREBIRD=" + Quoted(root_.Path().string()) +
                              " FIREBIRD_LOCK=" + Quoted(root_.File("lock")) + " " +
                              Quoted(InstalledProgram("isql-fb")) + " -q -i make_security.sql");
    if (run.exit_code != 0) {
        throw std::runtime_error("the security database could not be made: " + run.out + run.err);
    }
}

void ServerProcess::Start() {
    if (Running()) return;
    // Everything the child needs is built before fork: after it, in a
    // process with threads, only async-signal-safe calls are allowed.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        // The installed server runs on the installed client library, never
        // on a stand-in the test loads through LD_LIBRARY_PATH.
        if (text.rfind("FIREBIRD", 0) == 0 || text.rfind("ISC_", 0) == 0 ||
            text.rfind("LD_LIBRARY_PATH=", 0) == 0) {
            continue;
        }
        environment.push_back(text);
    }
    environment.push_back("FIREBIRD=" + root_.Path().string());
    environment.push_back("FIREBIRD_LOCK=" + root_.File("lock"));
    std::vector<char*> envp;
    for (std::string& text : environment) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::string binary = kServerBinary;
    char* argv[] = {binary.data(), nullptr};
    const std::string log = root_.File("server.log");

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        // The server dies with the thread that started it, even when the
        // test is killed: no stray server outlives a test.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int null = open("/dev/null", O_RDONLY);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (null < 0 || out < 0) _exit(127);
        dup2(null, 0);
        dup2(out, 1);
        dup2(out, 2);
        // Nothing of the test (its connections, its relays) may stay open
        // in the server.
        if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
            for (int fd = 3; fd < 1024; ++fd) close(fd);
        }
        execve(argv[0], argv, envp.data());
        _exit(127);
    }
    pid_ = child;

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(kAnswerTimeoutSeconds);
    while (!Answers()) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = 0;
            throw std::runtime_error("the test's server ended at start: " + Log());
        }
        if (std::chrono::steady_clock::now() > deadline) {
            Kill();
            throw std::runtime_error("the test's server did not answer: " + Log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void ServerProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
}

void ServerProcess::Restart() {
    Kill();
    Start();
}

void ServerProcess::Stop() {
    if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void ServerProcess::Continue() {
    if (pid_ > 0) ::kill(pid_, SIGCONT);
}

std::string ServerProcess::Log() const {
    return ReadFile(root_.File("server.log"));
}

bool ServerProcess::Answers() const {
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    if (client < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    const bool answered =
        connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(client);
    return answered;
}

}  // namespace test_support
