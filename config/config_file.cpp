#include "config/config_file.h"

#include <filesystem>

#include "config/db_ini.h"
#include "config/login.h"
#include "runtime/exception.h"

namespace config {
namespace {

constexpr const char* kFileName = "db.ini";
constexpr int kFileNotFound = 2;

std::optional<std::string>& DatabaseOverride() {
    static std::optional<std::string> name;
    return name;
}

}  // namespace

std::vector<std::string> ConfigFilePlaces() {
    // The bare name keeps the current folder first and follows a change of
    // folder after start-up, as the program always has.
    return ConfigFilePlaces(kFileName);
}

std::string FindConfigFile(const std::vector<std::string>& places) {
    std::string looked;
    for (const std::string& place : places) {
        std::error_code error;
        // A dangling link or an unreadable folder counts as there: reading
        // it then says what is wrong instead of quietly moving on.
        if (std::filesystem::symlink_status(place, error).type() !=
            std::filesystem::file_type::not_found) {
            if (!error) return place;
        }
        const std::filesystem::path shown = std::filesystem::path(place).is_absolute()
                                                ? std::filesystem::path(place)
                                                : std::filesystem::current_path(error) / place;
        looked += "  " + shown.string() + "\n";
    }
    // Texts of the program are Latin-1 bytes.
    throw runtime::EInOutError("File not found.\n\nSe busc\xF3 " + std::string(kFileName) +
                                   " en estos lugares, en este orden:\n" + looked +
                                   "\nCree uno de ellos con el nombre de la base de datos en "
                                   "su \xFAltima l\xEDnea.",
                               kFileNotFound);
}

void SetDatabaseOverride(std::optional<std::string> name) {
    DatabaseOverride() = std::move(name);
}

std::string StartupDatabaseName() {
    if (DatabaseOverride()) return *DatabaseOverride();
    return ReadDatabaseName(FindConfigFile(ConfigFilePlaces()));
}

}  // namespace config
