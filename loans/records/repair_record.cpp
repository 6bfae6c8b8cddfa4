#include "loans/records/repair_record.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace loans {

std::string JournalPath() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            if (const passwd* entry = getpwuid(geteuid()); entry != nullptr) home = entry->pw_dir;
        }
        base = std::string(home != nullptr ? home : ".") + "/.local/share";
    }
    return base + "/analisis-socios/reparaciones.jsonl";
}

std::string CurrentUser() {
    // Asked for every record of a bulk run, and a lookup in the user
    // database is not free; the process's user does not change.
    static const std::string user = [] {
        if (const passwd* entry = getpwuid(geteuid());
            entry != nullptr && entry->pw_name != nullptr) {
            return std::string(entry->pw_name);
        }
        const char* name = std::getenv("USER");
        return std::string(name != nullptr ? name : "");
    }();
    return user;
}

std::string ThisComputer() {
    static const std::string name = [] {
        char text[256] = {};
        if (gethostname(text, sizeof text - 1) != 0) return std::string();
        return std::string(text);
    }();
    return name;
}

}  // namespace loans
