#include "loans/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw runtime::EInOutError("No se pudo escribir " + path + ": " + std::strerror(error), error);
}

// Writes every byte, going on after short writes and interruptions.
bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
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
    std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> temporary(name.begin(), name.end());
    temporary.push_back('\0');
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) Fail(path, errno);
    bool renamed = false;
    const runtime::ScopeGuard cleanup([&] {
        ::close(fd);
        if (!renamed) ::unlink(temporary.data());
    });
    // The permissions a newly created file would have, not mkstemp's 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) Fail(path, errno);
    if (!WriteAll(fd, contents.str())) Fail(path, errno != 0 ? errno : EIO);
    if (::fsync(fd) != 0) Fail(path, errno);
    if (::rename(temporary.data(), path.c_str()) != 0) Fail(path, errno);
    renamed = true;
    // The rename itself on disk: the folder's entry.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace loans
