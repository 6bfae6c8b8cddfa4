#include "config/login.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "runtime/exception.h"

namespace config {
namespace {

constexpr const char* kFolderName = "analisis-socios";
constexpr const char* kMachineFolder = "/etc/";
constexpr const char* kBuiltInUser = "sysdba";
constexpr const char* kBuiltInPassword = "plumbrid";
// A login file is a few lines; anything bigger is not one.
constexpr size_t kLargestFile = 64 * 1024;

// What a message calls the file: its full path, as the db.ini message does.
std::string Shown(const std::string& place) {
    std::error_code error;
    const std::filesystem::path path(place);
    return path.is_absolute() ? place : (std::filesystem::current_path(error) / path).string();
}

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Wipes the bytes of a buffer that held a password; the call is not dropped
// as a dead store.
void Wipe(std::string& bytes) {
    explicit_bzero(bytes.data(), bytes.size());
    bytes.clear();
}

void ChooseNonEmpty(std::optional<std::string>& part, std::optional<std::string> value) {
    if (value && !value->empty()) part = std::move(value);
}

}  // namespace

std::string UserConfigPlace(const std::string& file_name) {
    // The XDG rule: an unset, empty or relative XDG_CONFIG_HOME means ~/.config.
    std::string user;
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    if (config_home != nullptr && config_home[0] == '/') {
        user = config_home;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        user = std::string(home) + "/.config";
    }
    if (user.empty()) return {};
    return (std::filesystem::path(user) / kFolderName / file_name).string();
}

std::vector<std::string> ConfigFilePlaces(const std::string& file_name) {
    std::vector<std::string> places{file_name};
    if (std::string user = UserConfigPlace(file_name); !user.empty()) {
        places.push_back(std::move(user));
    }
    places.push_back(std::string(kMachineFolder) + kFolderName + "/" + file_name);
    return places;
}

Login ParseConnectionFile(const std::string& bytes, const std::string& shown_name) {
    Login login;
    size_t start = 0;
    int line_number = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string_view line = std::string_view(bytes).substr(start, end - start);
        start = end + 1;
        ++line_number;
        if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == '#' || trimmed.front() == ';') continue;
        const size_t eq = line.find('=');
        std::string key(eq == std::string_view::npos ? std::string_view()
                                                     : TrimBlanks(line.substr(0, eq)));
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // The value exactly as written: a password may begin or end with a blank.
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
        std::optional<std::string>* part = key == "user_name"       ? &login.user_name
                                           : key == "password"      ? &login.password
                                           : key == "sql_role_name" ? &login.sql_role_name
                                                                    : nullptr;
        // The line itself is never quoted: it may be a password.
        if (part == nullptr) {
            throw runtime::Exception("El archivo " + shown_name + " tiene en la l\xEDnea " +
                                     std::to_string(line_number) +
                                     " algo que no es user_name=, password= ni sql_role_name=.");
        }
        *part = std::string(value);
    }
    return login;
}

Login ReadConnectionFile(const std::vector<std::string>& places) {
    for (const std::string& place : places) {
        std::error_code error;
        if (std::filesystem::symlink_status(place, error).type() ==
            std::filesystem::file_type::not_found) {
            continue;
        }
        const std::string shown = Shown(place);
        // Never blocked by a pipe put there: only a regular file is read.
        const int fd = open(place.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            const int code = errno;
            throw runtime::EInOutError(
                "No se pudo leer el archivo " + shown + ": " + std::strerror(code), code);
        }
        struct Closer {
            int fd;
            ~Closer() { close(fd); }
        } closer{fd};
        struct stat facts {};
        if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
            throw runtime::Exception("El archivo " + shown + " no es un archivo normal.");
        }
        // As ssh and libpq do with their secrets: a password others can read
        // is no secret. A machine-wide file may be shared with a group.
        const bool machine_wide = place.starts_with(kMachineFolder);
        const mode_t others = machine_wide ? S_IROTH : (S_IRGRP | S_IROTH);
        if ((facts.st_mode & others) != 0) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(facts.st_mode & 07777));
            throw runtime::Exception(
                "No se usa el archivo " + shown + ": guarda una contrase\xF1" +
                "a y lo pueden leer otros usuarios " +
                (machine_wide ? "fuera de su due\xF1o y su grupo" : "adem\xE1s de su due\xF1o") +
                " (permisos " + mode + ").\nQu\xEDteles ese permiso con:\n  chmod " +
                (machine_wide ? "640 " : "600 ") + shown);
        }
        if (facts.st_size > static_cast<off_t>(kLargestFile)) {
            throw runtime::Exception("El archivo " + shown + " es demasiado grande.");
        }
        std::string bytes(kLargestFile + 1, '\0');
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                const int code = errno;
                Wipe(bytes);
                throw runtime::EInOutError(
                    "No se pudo leer el archivo " + shown + ": " + std::strerror(code), code);
            }
            got += static_cast<size_t>(n);
        }
        if (got > kLargestFile) {
            Wipe(bytes);
            throw runtime::Exception("El archivo " + shown + " es demasiado grande.");
        }
        try {
            bytes.resize(got);  // shrinking keeps the buffer: it is wiped whole below
            const Login login = ParseConnectionFile(bytes, shown);
            Wipe(bytes);
            return login;
        } catch (...) {
            Wipe(bytes);
            throw;
        }
    }
    return {};
}

Login ResolveLogin(const Login& file, const std::function<const char*(const char*)>& environment) {
    auto from_environment = [&environment](const char* name) -> std::optional<std::string> {
        const char* value = environment(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    Login login{kBuiltInUser, kBuiltInPassword, std::nullopt};
    // An empty value counts as not given, wherever it is written.
    ChooseNonEmpty(login.user_name, file.user_name);
    ChooseNonEmpty(login.password, file.password);
    ChooseNonEmpty(login.sql_role_name, file.sql_role_name);
    ChooseNonEmpty(login.user_name, from_environment("ISC_USER"));
    ChooseNonEmpty(login.password, from_environment("ISC_PASSWORD"));
    ChooseNonEmpty(login.sql_role_name, from_environment("ISC_ROLE"));
    return login;
}

std::vector<std::string> LoginLines(const Login& login) {
    std::vector<std::string> lines{"user_name=" + login.user_name.value_or(kBuiltInUser),
                                   "password=" + login.password.value_or(kBuiltInPassword)};
    if (login.sql_role_name) lines.push_back("sql_role_name=" + *login.sql_role_name);
    return lines;
}

std::vector<std::string> ProgramLoginLines() {
    return LoginLines(ResolveLogin(ReadConnectionFile(ConfigFilePlaces("conexion.ini")),
                                   [](const char* name) { return std::getenv(name); }));
}

std::vector<std::string> ProgramConnectionLines(const std::vector<std::string>& settings) {
    std::vector<std::string> lines = ProgramLoginLines();
    lines.insert(lines.end(), settings.begin(), settings.end());
    return lines;
}

}  // namespace config
