#include "loans/repair_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "loans/portfolio_report.h"
#include "runtime/exception.h"

namespace loans {
namespace {

std::string Utf8String(const std::string& latin1) {
    std::string out = "\"";
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out + "\"";
}

std::string UtcTime(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

[[noreturn]] void Fail(const std::string& path, const char* step, int error) {
    throw runtime::EInOutError("No se pudo escribir el registro de reparaciones " + path + " (" +
                                   step + "): " + std::strerror(error),
                               error);
}

}  // namespace

std::string JournalPath() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            if (const passwd* entry = getpwuid(geteuid()); entry != nullptr) home = entry->pw_dir;
        }
        base = std::string(home != nullptr ? home : ".") + "/.local/share";
    }
    return base + "/analisis-socios/reparaciones.jsonl";
}

std::string CurrentUser() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string JournalLine(const RepairRecord& r) {
    std::string line = "{\"time\":\"" + UtcTime(r.time) + "\"";
    line += ",\"user\":" + Utf8String(r.user);
    line += ",\"database\":" + Utf8String(r.database);
    line += ",\"member\":" + Utf8String(r.member);
    line += ",\"loan\":" + std::to_string(r.loan);
    line += ",\"repair\":" + Utf8String(r.repair);
    line += std::string(",\"outcome\":\"") + (r.rolled_back ? "rolled back" : "done") + "\"";
    if (r.rolled_back) line += ",\"message\":" + Utf8String(r.message);
    line += ",\"documents_balance_before\":" + CsvAmount(r.documents_balance_before);
    line += ",\"receivable_balance_before\":" + CsvAmount(r.receivable_balance_before);
    line += ",\"documents_balance_after\":" + CsvAmount(r.documents_balance_after);
    line += ",\"receivable_balance_after\":" + CsvAmount(r.receivable_balance_after);
    line += ",\"rows_deleted\":" + std::to_string(r.rows_deleted);
    line += ",\"rows_inserted\":" + std::to_string(r.rows_inserted);
    line += ",\"rows_updated\":" + std::to_string(r.rows_updated);
    return line + "}";
}

void AppendToJournal(const RepairRecord& record, const std::string& path) {
    const std::string line = JournalLine(record) + "\n";
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, error);
        if (error) Fail(path, "carpeta", error.value());
    }
    struct stat existing {};
    const bool created = ::stat(path.c_str(), &existing) != 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) Fail(path, "abrir", errno);
    // One write: with O_APPEND a line is never interleaved with another
    // writer's, and a short write is a failure, not half a record.
    const ssize_t written = ::write(fd, line.data(), line.size());
    const int write_error =
        written < 0 ? errno : (static_cast<size_t>(written) != line.size() ? EIO : 0);
    if (write_error != 0) {
        ::close(fd);
        Fail(path, "escribir", write_error);
    }
    if (::fsync(fd) != 0) {
        const int sync_error = errno;
        ::close(fd);
        Fail(path, "sincronizar", sync_error);
    }
    if (::close(fd) != 0) Fail(path, "cerrar", errno);
    // A new file's name is on disk only once its folder is.
    if (created) {
        const std::string where = folder.empty() ? std::string(".") : folder.string();
        const int dir = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) Fail(path, "abrir carpeta", errno);
        const int sync_error = ::fsync(dir) != 0 && errno != EINVAL ? errno : 0;
        ::close(dir);
        if (sync_error != 0) Fail(path, "sincronizar carpeta", sync_error);
    }
}

}  // namespace loans
