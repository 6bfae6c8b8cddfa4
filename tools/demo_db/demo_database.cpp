#include "tools/demo_db/demo_database.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "db/errors.h"
#include "runtime/exception.h"
#include "runtime/text.h"
#include "tools/raw_client/raw_client.h"

#ifndef COOP_SQL_DIR
#error "COOP_SQL_DIR must name the folder of schema.sql"
#endif

namespace demo {
namespace {

std::string TrimBlank(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void RunSchemaStatement(Transaction& transaction, const std::string& statement) {
    try {
        ExecuteImmediate(transaction, statement);
    } catch (const db::EIBError& error) {
        // Name the statement: the server's message rarely does.
        throw db::EIBInterBaseError(
            error.Message() + "\nin schema statement: " + statement.substr(0, 200),
            error.SqlErrorCode(), error.EngineErrorCode());
    }
}

}  // namespace

std::string SchemaFile() {
    return std::string(COOP_SQL_DIR) + "/schema.sql";
}

std::string RoleFile() {
    return std::string(COOP_SQL_DIR) + "/analista.sql";
}

std::string RecordTableFile() {
    return std::string(COOP_SQL_DIR) + "/reparaciones.sql";
}

std::string RunHistoryFile() {
    return std::string(COOP_SQL_DIR) + "/revisiones.sql";
}

std::vector<std::string> SplitSqlScript(const std::string& script) {
    std::vector<std::string> statements;
    std::string current;
    std::string terminator = ";";
    char quote = 0;
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        std::string kept;
        for (size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '\'' || c == '"') {
                quote = c;
            } else if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
                break;
            }
            kept += c;
        }
        const std::string trimmed = TrimBlank(kept);
        // isql's "SET TERM new old": the statements between end with the new
        // terminator, so a block's own semicolons stay inside it.
        if (!quote && TrimBlank(current).empty() && trimmed.size() > 9 + terminator.size() &&
            runtime::UpperLatin1(trimmed.substr(0, 9)) == "SET TERM " &&
            EndsWith(trimmed, terminator)) {
            const std::string words =
                TrimBlank(trimmed.substr(9, trimmed.size() - 9 - terminator.size()));
            if (!words.empty()) terminator = words;
            current.clear();
            continue;
        }
        current += kept;
        current += '\n';
        if (!quote && EndsWith(trimmed, terminator)) {
            std::string statement = TrimBlank(current);
            statement.resize(statement.size() - terminator.size());
            statement = TrimBlank(statement);
            if (!statement.empty()) statements.push_back(std::move(statement));
            current.clear();
        }
    }
    if (std::string rest = TrimBlank(current); !rest.empty()) statements.push_back(rest);
    return statements;
}

std::vector<std::string> ReadSqlScript(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int error = errno;
        throw runtime::EInOutError(
            "Cannot read the SQL script " + file + ": " + std::strerror(error), error);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return SplitSqlScript(text.str());
}

void CreateCoopDatabase(const std::string& path, int dialect) {
    if (dialect != 1 && dialect != 3)
        throw runtime::Exception("SQL dialect must be 1 or 3, not " + std::to_string(dialect));
    std::error_code ignored;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ignored)))
        throw runtime::EInOutError(
            "Cannot create the database " + path + ": the file already exists", EEXIST);
    // Read first: a missing schema must not leave an empty database behind.
    const std::vector<std::string> statements = ReadSqlScript(SchemaFile());
    const std::vector<std::string> role_statements = ReadSqlScript(RoleFile());
    const std::vector<std::string> record_statements = ReadSqlScript(RecordTableFile());
    const std::vector<std::string> history_statements = ReadSqlScript(RunHistoryFile());

    CreateEmptyDatabase(path, dialect);

    std::unique_ptr<Attachment> attachment;
    try {
        // The first attachment switches forced writes off for good: test
        // databases are scratch files, and synchronous writes would make
        // every commit wait for the disk.
        attachment = std::make_unique<Attachment>(
            path, AttachOptions{.dialect = dialect, .forced_writes_off = true});
        // The schema in one transaction; the scripts after it as isql runs
        // them, each statement committed, since a grant names a table (and
        // a trigger a table) only once that is committed.
        Transaction schema(*attachment);
        for (const std::string& statement : statements) RunSchemaStatement(schema, statement);
        schema.Commit();
        for (const std::vector<std::string>* script :
             {&role_statements, &record_statements, &history_statements}) {
            for (const std::string& statement : *script) {
                if (runtime::UpperLatin1(statement) == "COMMIT")
                    continue;  // each is committed anyway
                Transaction transaction(*attachment);
                RunSchemaStatement(transaction, statement);
                transaction.Commit();
            }
        }
    } catch (...) {
        // The file is ours: remove it so the path stays free for a retry,
        // and keep the first failure, which says what went wrong.
        bool dropped = false;
        if (attachment) {
            try {
                attachment->Drop();
                dropped = true;
            } catch (const std::exception&) {
            }
            attachment.reset();
        }
        if (!dropped) std::filesystem::remove(path, ignored);
        throw;
    }
}

}  // namespace demo
