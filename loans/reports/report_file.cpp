#include "loans/reports/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "runtime/durable_io.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw runtime::EInOutError("No se pudo escribir " + path + ": " + std::strerror(error), error);
}

}  // namespace

void ReplaceFileWhole(const std::string& path,
                      const std::function<void(const std::string& temporary)>& fill) {
    if (path.empty()) Fail(path, ENOENT);
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int made = ::mkstemp(temporary.data());
    if (made < 0) Fail(path, errno);
    ::close(made);
    bool renamed = false;
    const runtime::ScopeGuard cleanup([&] {
        if (!renamed) ::unlink(temporary.c_str());
    });
    fill(temporary);
    // Opened again by name: a writer may have replaced the file it was given.
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(path, errno);
    const runtime::ScopeGuard close_fd([fd] { ::close(fd); });
    // The permissions a newly created file would have, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) Fail(path, errno);
    if (::fsync(fd) != 0) Fail(path, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) Fail(path, errno);
    renamed = true;
    // The rename itself on disk: the folder's entry. The report is in place
    // by now; a folder that cannot be flushed is not worth failing it for.
    runtime::SyncFolder(folder);
}

void WriteWholeFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    if (path.empty()) Fail(path, ENOENT);
    // The whole report first: nothing touches the disk if composing fails.
    std::ostringstream contents;
    write(contents);
    if (!contents) Fail(path, EIO);
    ReplaceFileWhole(path, [&](const std::string& temporary) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) Fail(path, errno);
        const runtime::ScopeGuard close_fd([fd] { ::close(fd); });
        std::size_t written = 0;
        if (const int error = runtime::WriteFully(fd, contents.str(), written); error != 0) {
            Fail(path, error);
        }
    });
}

}  // namespace loans
