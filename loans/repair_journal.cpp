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

#include "formats/latin1.h"
#include "loans/durable_io.h"
#include "loans/portfolio_report.h"
#include "runtime/exception.h"

namespace loans {
namespace {

// A JSON string of the program's bytes: escaped on the ISO8859_1 bytes,
// then written as UTF-8.
std::string Utf8String(const std::string& latin1) {
    std::string escaped;
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            escaped += '\\';
            escaped += ch;
        } else if (byte < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            escaped += code;
        } else {
            escaped += ch;
        }
    }
    return "\"" + formats::Latin1ToUtf8(escaped) + "\"";
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

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& cause) {
    throw runtime::EInOutError(
        "No se pudo abrir el registro de reparaciones " + path + ": " + cause, EACCES);
}

// The journal's folder: made for the user alone when missing; an existing
// one must be a real folder (not a link) of the user's own.
bool PrepareFolder(const std::string& path, const std::filesystem::path& folder) {
    std::error_code error;
    if (folder.has_parent_path()) {
        std::filesystem::create_directories(folder.parent_path(), error);
        if (error) Fail(path, "carpeta", error.value());
    }
    bool made = false;
    if (::mkdir(folder.c_str(), 0700) == 0) {
        made = true;
        // Whatever the umask: the journal's folder is the user's alone.
        if (::chmod(folder.c_str(), 0700) != 0) Fail(path, "carpeta", errno);
    } else if (errno != EEXIST) {
        Fail(path, "carpeta", errno);
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) Fail(path, "carpeta", errno);
    if (S_ISLNK(info.st_mode)) Refuse(path, "su carpeta es un enlace simbolico");
    if (!S_ISDIR(info.st_mode)) Fail(path, "carpeta", ENOTDIR);
    if (info.st_uid != ::geteuid()) Refuse(path, "su carpeta es de otro usuario");
    return made;
}

}  // namespace

JournalFile::JournalFile(const std::string& path) : path_(path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) PrepareFolder(path, folder);
    struct stat before {};
    created_ = ::lstat(path.c_str(), &before) != 0;
    // Never through a link, never waiting on a pipe without a reader; read
    // as well, to see whether the last line was ended.
    fd_ =
        ::open(path.c_str(),
               O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        if (errno == ELOOP) Refuse(path, "es un enlace simbolico");
        if (errno == ENXIO) Refuse(path, "no es un archivo comun");
        Fail(path, "abrir", errno);
    }
    struct stat info {};
    const bool regular = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    const bool own = regular && info.st_uid == ::geteuid();
    if (!regular || !own) {
        ::close(fd_);
        fd_ = -1;
        Refuse(path, regular ? "es de otro usuario" : "no es un archivo comun");
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
}

JournalFile::~JournalFile() {
    if (fd_ >= 0) ::close(fd_);
}

void JournalFile::Append(const RepairRecord& record) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) Fail(path_, "escribir", errno);
    const off_t size = info.st_size;
    std::string line = JournalLine(record) + "\n";
    char last = '\n';
    if (size > 0 && ::pread(fd_, &last, 1, size - 1) == 1 && last != '\n') line.insert(0, "\n");

    // One write: with O_APPEND a line is never interleaved with another
    // writer's. A short one is retried for the rest, only to learn why it
    // failed; either way the file goes back to its old length.
    size_t done = 0;
    int error = WriteFully(fd_, line, done);
    if (error == 0 && ::fsync(fd_) != 0) error = errno;
    if (error != 0) {
        if (done > 0 && ::ftruncate(fd_, size) == 0) ::fsync(fd_);
        Fail(path_, "escribir", error);
    }
    // A new file's name is on disk only once its folder is.
    if (created_) {
        if (const int sync_error = SyncFolder(std::filesystem::path(path_).parent_path());
            sync_error != 0) {
            Fail(path_, "sincronizar carpeta", sync_error);
        }
        created_ = false;
    }
}

void AppendToJournal(const RepairRecord& record, const std::string& path) {
    JournalFile(path).Append(record);
}

}  // namespace loans
