#include "shell/db_ini.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "runtime/exception.h"

namespace shell {
namespace {

// The program's input/output codes for the operating-system errors it
// names; any other error keeps its own number ("I/O error 5" for EIO).
enum InOutErrorCode : int {
    kFileNotFound = 2,
    kInvalidFilename = 3,
    kTooManyOpenFiles = 4,
    kFileAccessDenied = 5,
    kDiskFull = 101,
};

int InOutCode(int error_number) {
    switch (error_number) {
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kInvalidFilename;
        case EMFILE:
        case ENFILE:
            return kTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
            return kFileAccessDenied;
        case ENOSPC:
            return kDiskFull;
        default:
            return -1;
    }
}

[[noreturn]] void Fail(int error_number) {
    const int code = InOutCode(error_number);
    throw runtime::EInOutError(InOutErrorMessage(error_number), code >= 0 ? code : error_number);
}

}  // namespace

std::string InOutErrorMessage(int error_number) {
    switch (InOutCode(error_number)) {
        case kFileNotFound:
            return "File not found";
        case kInvalidFilename:
            return "Invalid filename";
        case kTooManyOpenFiles:
            return "Too many open files";
        case kFileAccessDenied:
            return "File access denied";
        case kDiskFull:
            return "Disk full";
        default:
            return "I/O error " + std::to_string(error_number);
    }
}

std::string LastLine(const std::string& bytes) {
    constexpr char kEndOfData = 26;
    std::string last;
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n && bytes[i] != kEndOfData) {
        std::string line;
        while (i < n) {
            const char c = bytes[i];
            if (c == kEndOfData) {
                i = n;
                break;
            }
            if (c == '\n') {
                ++i;
                break;
            }
            if (c == '\r') {
                if (i + 1 < n && bytes[i + 1] == '\n') {
                    i += 2;
                    break;
                }
                ++i;  // a lone carriage return is dropped
                continue;
            }
            line += c;
            ++i;
        }
        last = std::move(line);
    }
    return last;
}

std::string ReadDatabaseName(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) Fail(errno);
    std::string bytes;
    char buffer[4096];
    while (true) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.append(buffer, got);
        if (got < sizeof buffer) {
            if (std::ferror(file.get())) Fail(errno);
            break;
        }
    }
    return LastLine(bytes);
}

}  // namespace shell
