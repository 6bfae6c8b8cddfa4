#include "runtime/durable_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace runtime {

int WriteFully(int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0) return errno;
        if (wrote == 0) return EIO;
        written += static_cast<std::size_t>(wrote);
    }
    return 0;
}

int SyncFolder(const std::filesystem::path& folder) {
    const std::string where = folder.empty() ? std::string(".") : folder.string();
    const int dir = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errno;
    const int error = ::fsync(dir) != 0 && errno != EINVAL ? errno : 0;
    ::close(dir);
    return error;
}

}  // namespace runtime
