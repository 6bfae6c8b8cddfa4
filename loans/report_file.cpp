#include "loans/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "loans/durable_io.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw runtime::EInOutError("No se pudo escribir " + path + ": " + std::strerror(error), error);
}

}  // namespace

void WriteWholeFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    if (path.empty()) Fail(path, ENOENT);
    // The whole report first: nothing touches the disk if composing fails.
    std::ostringstream contents;
    write(contents);
    if (!contents) Fail(path, EIO);

    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) Fail(path, errno);
    bool renamed = false;
    const runtime::ScopeGuard cleanup([&] {
        ::close(fd);
        if (!renamed) ::unlink(temporary.c_str());
    });
    // The permissions a newly created file would have, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) Fail(path, errno);
    std::size_t written = 0;
    if (const int error = WriteFully(fd, contents.str(), written); error != 0) Fail(path, error);
    if (::fsync(fd) != 0) Fail(path, errno);
    if (::rename(temporary.c_str(), path.c_str()) != 0) Fail(path, errno);
    renamed = true;
    // The rename itself on disk: the folder's entry. The report is in place
    // by now; a folder that cannot be flushed is not worth failing it for.
    SyncFolder(folder);
}

}  // namespace loans
