#include "config/db_ini.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>

#include "runtime/exception.h"

namespace config {
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

namespace {

// Editors add these without the user seeing them: a line of nothing else
// names no database, and tabs around a name are not part of it.
bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

std::string WithoutTabsAround(const std::string& line) {
    const size_t first = line.find_first_not_of('\t');
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of('\t') - first + 1);
}

}  // namespace

std::string LastLine(const std::string& bytes) {
    constexpr char kEndOfData = 26;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    std::string last;
    size_t i = std::string_view(bytes).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
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
        if (!IsBlank(line)) last = std::move(line);
    }
    return WithoutTabsAround(last);
}

namespace {

// Readable lengths for the connection message: a long path still shows
// whole, a 10 MB line does not make a box wider than the screen.
constexpr size_t kShownNameLength = 160;
constexpr size_t kShownReasonLineLength = 160;
constexpr size_t kShownReasonLines = 8;

std::string Readable(const std::string& text, size_t length) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        // C0 and C1 controls and DEL: invisible or worse in a message box.
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += c;
        }
        if (shown.size() > length) {
            shown.resize(length);
            return shown + "...";
        }
    }
    return shown;
}

}  // namespace

std::string ConnectionFailureMessage(const std::string& name, const std::string& reason) {
    std::string message = "Error de conexion a la base de datos " +
                          Readable(name, kShownNameLength) + "\r" +
                          "La aplicacion no podra ser ejecutada, contacte a soporte tecnico";
    size_t lines = 0;
    size_t start = 0;
    while (start < reason.size() && lines < kShownReasonLines) {
        size_t end = reason.find_first_of("\r\n", start);
        if (end == std::string::npos) end = reason.size();
        if (end > start) {
            message += "\r" + Readable(reason.substr(start, end - start), kShownReasonLineLength);
            ++lines;
        }
        start = end + 1;
    }
    return message;
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

}  // namespace config
