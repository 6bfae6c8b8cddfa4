#include "tests/support/test_database.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "runtime/number_text.h"
#include "tests/support/server_process.h"
#include "tools/demo_db/demo_database.h"
#include "tools/raw_client/raw_client.h"

namespace test_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "coop-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
    // The server may run as another user and must be able to create files here.
    std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CommandRun RunCommand(const TempDir& dir, const std::string& command_line) {
    const std::string out = dir.File("stdout.txt");
    const std::string err = dir.File("stderr.txt");
    const std::string command = "cd '" + dir.Path().string() + "' && " + command_line + " >'" +
                                out + "' 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    CommandRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

namespace {

// The process's shared server, or why there is none.
struct SharedServer {
    bool tried = false;
    std::string unavailable;
    std::string failure;
    std::unique_ptr<ServerProcess> server;
};

SharedServer& Shared() {
    static SharedServer shared;
    return shared;
}

}  // namespace

std::string ServerUnavailable() {
    SharedServer& shared = Shared();
    if (!shared.tried) {
        shared.tried = true;
        shared.unavailable = ServerProcess::Unavailable();
        if (shared.unavailable.empty()) {
            try {
                shared.server = std::make_unique<ServerProcess>();
            } catch (const std::exception& error) {
                shared.failure = error.what();
            }
        } else if (const char* required = std::getenv("COOP_REQUIRE_SERVER");
                   required != nullptr && std::string(required) == "1") {
            shared.failure = "COOP_REQUIRE_SERVER=1, but " + shared.unavailable;
        }
    }
    if (!shared.failure.empty()) throw std::runtime_error("the tests' server: " + shared.failure);
    return shared.unavailable;
}

int ServerPort() {
    const std::string unavailable = ServerUnavailable();
    if (!unavailable.empty()) throw std::runtime_error("no test server: " + unavailable);
    return Shared().server->Port();
}

std::string ServerHost() {
    return "127.0.0.1/" + std::to_string(ServerPort());
}

AnalystLogin::AnalystLogin(const std::string& database, const char* user, const char* role) {
    RawConnection(database).Execute(std::string("grant ") + role + " to " + user);
    setenv("ISC_USER", user, 1);
    setenv("ISC_PASSWORD", kAnalystPassword, 1);
    setenv("ISC_ROLE", role, 1);
}

AnalystLogin::~AnalystLogin() {
    for (const char* variable : {"ISC_USER", "ISC_PASSWORD", "ISC_ROLE"}) unsetenv(variable);
}

void CopyDemoDatabase(const std::string& path) {
    const std::filesystem::path built = COOP_TEST_DEMO_DB;
    if (!std::filesystem::exists(built)) {
        throw std::runtime_error("the tests' demo database " + built.string() +
                                 " is missing: build the coop_test_demo_db target");
    }
    std::filesystem::copy_file(built, path);
}

std::string DatabaseName(Route route, const std::string& file) {
    return route == Route::kServer ? ServerHost() + ":" + file : file;
}

const char* RouteName(Route route) {
    return route == Route::kServer ? "Server" : "Embedded";
}

void CreateEmptyDatabase(const std::string& name, int dialect) {
    demo::CreateEmptyDatabase(name, dialect);
}

RawConnection::RawConnection(const std::string& name)
    : attachment_(std::make_unique<demo::Attachment>(name)) {}

RawConnection::~RawConnection() {
    ReleasePending();
}

void RawConnection::ExecutePending(const std::string& sql) {
    if (!pending_) pending_ = std::make_unique<demo::Transaction>(*attachment_);
    demo::ExecuteImmediate(*pending_, sql);
}

void RawConnection::ReleasePending() {
    pending_.reset();
}

void RawConnection::Execute(const std::string& sql) {
    demo::Transaction transaction(*attachment_);
    demo::ExecuteImmediate(transaction, sql);
    transaction.Commit();
}

namespace {

std::string ValueText(const demo::Value& value) {
    if (demo::IsNull(value)) return "<null>";
    if (const auto* text = std::get_if<std::string>(&value)) return *text;
    // to_string's "%f" would follow a Spanish desktop's decimal comma.
    if (const auto* number = std::get_if<double>(&value)) return runtime::FixedText(*number, 6);
    if (const auto* when = std::get_if<demo::DateTime>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when->year, when->month,
                      when->day, when->hour, when->minute, when->second);
        return text;
    }
    return std::to_string(demo::AsInt(value));
}

}  // namespace

std::string RawConnection::QueryText(const std::string& sql) {
    demo::Transaction transaction(*attachment_);
    const std::vector<demo::Row> rows = demo::SelectRows(transaction, sql);
    if (rows.empty()) return "<none>";
    return ValueText(rows.front().front());
}

std::vector<std::string> RawConnection::QueryRows(const std::string& sql) {
    demo::Transaction transaction(*attachment_);
    std::vector<std::string> lines;
    for (const demo::Row& row : demo::SelectRows(transaction, sql)) {
        std::string line;
        for (const demo::Value& value : row) {
            if (!line.empty()) line += '|';
            line += ValueText(value);
        }
        lines.push_back(line);
    }
    return lines;
}

void RunSqlScript(const std::string& name, const std::string& script) {
    const std::vector<std::string> statements =
        demo::ReadSqlScript(std::string(COOP_SQL_DIR) + "/" + script);
    RawConnection raw(name);
    for (const std::string& statement : statements) {
        // Each is committed anyway, as isql with autocommitted definitions.
        if (statement == "COMMIT") continue;
        raw.Execute(statement);
    }
}

void DropRecordTables(const std::string& name) {
    RawConnection raw(name);
    raw.Execute("drop table reparaciones_imagenes");
    raw.Execute("drop table reparaciones");
}

}  // namespace test_support
