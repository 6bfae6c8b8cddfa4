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

// A user of the tests' servers who does not own the databases: with the
// analysts' role (sql/analista.sql) it may do what the program does, no more.
inline constexpr const char* kAnalystUser = "ANALISTA_PRUEBA";
inline constexpr const char* kAnalystPassword = "clave de prueba";
inline constexpr const char* kAnalystRole = "ANALISTA_SOCIOS";
// A colleague of the first, with the same role and password.
inline constexpr const char* kSecondAnalystUser = "ANALISTA_DOS";
// Two supervisors (sql/aprobacion.sql), with the analysts' password: each
// may approve the other's requests and the analysts', never their own.
inline constexpr const char* kSupervisorUser = "SUPERVISOR_UNO";
inline constexpr const char* kSecondSupervisorUser = "SUPERVISOR_DOS";
inline constexpr const char* kSupervisorRole = "SUPERVISOR_SOCIOS";

// For its life, the program's connections, in this process and in the
// programs it starts, log in as the analyst with the role (ISC_USER,
// ISC_PASSWORD, ISC_ROLE); the owner first gives the role to the analyst in
// `database`. Test code reading behind the program's back stays the owner.
// Given a supervisor and the supervisors' role, the same for a supervisor.
class AnalystLogin {
  public:
    explicit AnalystLogin(const std::string& database, const char* user = kAnalystUser,
                          const char* role = kAnalystRole);
    ~AnalystLogin();
    AnalystLogin(const AnalystLogin&) = delete;
    AnalystLogin& operator=(const AnalystLogin&) = delete;
};

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

// Why this process has no Firebird server of the tests' own ("" when it has
// one): the server, its character sets or isql-fb are not installed. The
// first call starts the server (tests/support/server_process.h) on a free
// loopback port, shared by every test of the process and killed at its
// exit; call it from the test's own thread, whose life the server's is
// bound to. Throws when the server is installed but does not start, and
// when COOP_REQUIRE_SERVER=1 (scripts/test) and no server can run: a run
// that must check the server route never skips it.
std::string ServerUnavailable();
// The shared server's "127.0.0.1/port" and port; ServerUnavailable() first.
std::string ServerHost();
int ServerPort();

// How a test reaches its database: a bare path opens it embedded, a
// "host:path" name goes through the server.
enum class Route { kEmbedded, kServer };
std::string DatabaseName(Route route, const std::string& file);
const char* RouteName(Route route);

// Copies the demo cooperative, built once at build time by coop-demo-db, to
// `path`, a new file of the caller's own (an embedded database file is
// opened by one process only). Throws when `path` exists.
void CopyDemoDatabase(const std::string& path);

// Takes the repair records' tables out of a demo copy (as its owner), as at
// a site that has not run sql/reparaciones.sql: the program then keeps its
// records in the user's journal file.
void DropRecordTables(const std::string& name);

// Runs an SQL script of sql/ (by its file name) on the database as its
// owner, statement by statement as isql runs it: aprobacion.sql turns
// approval on, sin_aprobacion.sql off.
void RunSqlScript(const std::string& name, const std::string& script);

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
