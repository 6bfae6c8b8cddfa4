#include "loans/records/journal_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "loans/records/journal_line.h"
#include "runtime/durable_io.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* step, int error) {
    throw runtime::EInOutError("No se pudo escribir el registro de reparaciones " + path + " (" +
                                   step + "): " + std::strerror(error),
                               error);
}

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
    // Every writer (this program's other windows and runs, of this user)
    // appends under the file's lock: the length seen here stays the end
    // until the line is on disk, so cutting a failed write back to it
    // never takes another writer's record with it.
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) Fail(path_, "bloquear", errno);
    }
    const runtime::ScopeGuard unlock([this] { ::flock(fd_, LOCK_UN); });
    struct stat info {};
    if (::fstat(fd_, &info) != 0) Fail(path_, "escribir", errno);
    const off_t size = info.st_size;
    // A line left unfinished by another writer is ended first.
    char last = '\n';
    const bool unfinished = size > 0 && ::pread(fd_, &last, 1, size - 1) == 1 && last != '\n';
    std::string line = unfinished ? "\n" : "";
    line += JournalLine(record);
    line += '\n';

    // One write: with O_APPEND a line is never interleaved with another
    // writer's. A short one is retried for the rest, only to learn why it
    // failed; either way the file goes back to its old length.
    size_t done = 0;
    int error = runtime::WriteFully(fd_, line, done);
    if (error == 0 && ::fsync(fd_) != 0) error = errno;
    if (error != 0) {
        if (done > 0 && ::ftruncate(fd_, size) == 0) ::fsync(fd_);
        Fail(path_, "escribir", error);
    }
    // A new file's name is on disk only once its folder is.
    if (created_) {
        if (const int sync_error = runtime::SyncFolder(std::filesystem::path(path_).parent_path());
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
