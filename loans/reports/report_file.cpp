#include "loans/reports/report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include "runtime/durable_io.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw runtime::EInOutError("No se pudo escribir " + path + ": " + std::strerror(error), error);
}

// A new, empty file in `folder` under a name of the target's that nobody
// else holds, created as any new file is: 0666 less the process's umask,
// which the kernel applies (reading the umask would mean changing it, for
// every thread and the embedded engine at once).
std::string CreateTemporary(const std::filesystem::path& folder, const std::string& name,
                            const std::string& path) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        const std::string temporary = (folder / ("." + name + "." + suffix)).string();
        const int made = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (made >= 0) {
            ::close(made);
            return temporary;
        }
        if (errno != EEXIST) Fail(path, errno);
    }
    Fail(path, EEXIST);
}

}  // namespace

void ReplaceFileWhole(const std::string& path,
                      const std::function<void(const std::string& temporary)>& fill) {
    if (path.empty()) Fail(path, ENOENT);
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string temporary = CreateTemporary(folder, target.filename().string(), path);
    bool renamed = false;
    const runtime::ScopeGuard cleanup([&] {
        if (!renamed) ::unlink(temporary.c_str());
    });
    fill(temporary);
    // Opened again by name: a writer may have replaced the file it was given.
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail(path, errno);
    const runtime::ScopeGuard close_fd([fd] { ::close(fd); });
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
