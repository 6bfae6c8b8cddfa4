#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace demo {
class Attachment;
class Transaction;
}  // namespace demo

namespace test_support {

// The program's built-in credentials; the test server gives SYSDBA this password.
inline constexpr const char* kUser = "sysdba";
inline constexpr const char* kPassword = "plumbrid";

// A scratch folder for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// What a command run through the shell left behind.
struct CommandRun {
    int exit_code = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// A whole file's bytes ("" when it cannot be read).
std::string ReadFile(const std::string& path);

// Runs a shell command line with no input, in `dir`, capturing its output
// in files there.
CommandRun RunCommand(const TempDir& dir, const std::string& command_line);

// Host of the loopback test server, or empty when the tests run without one.
std::string ServerHost();

// How a test reaches its database: a bare path opens it embedded, a
// "host:path" name goes through the server.
enum class Route { kEmbedded, kServer };
std::string DatabaseName(Route route, const std::string& file);
const char* RouteName(Route route);

// Creates an empty database (ISO8859_1, given dialect) through the raw client
// API, independent of the layer under test.
void CreateEmptyDatabase(const std::string& name, int dialect = 1);

// A plain attachment through the raw client API, to set up and check data
// behind the back of the components under test.
class RawConnection {
  public:
    explicit RawConnection(const std::string& name);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // Runs one statement in its own committed transaction.
    void Execute(const std::string& sql);
    // First column of the first row as text ("<null>" for NULL, "<none>"
    // when there is no row), in its own transaction.
    std::string QueryText(const std::string& sql);
    long long QueryCount(const std::string& sql) { return std::stoll(QueryText(sql)); }
    // Every row, its values as QueryText gives them joined by "|", in its
    // own transaction.
    std::vector<std::string> QueryRows(const std::string& sql);
    // Runs one statement in a transaction left open: its changes stay
    // uncommitted, holding their rows, until ReleasePending rolls them back
    // (or the connection goes).
    void ExecutePending(const std::string& sql);
    void ReleasePending();

  private:
    std::unique_ptr<demo::Attachment> attachment_;
    std::unique_ptr<demo::Transaction> pending_;
};

}  // namespace test_support
