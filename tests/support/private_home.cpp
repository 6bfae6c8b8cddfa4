// Every test process, and every program it starts, gets a home and XDG
// folders of its own, made before main and removed at exit: nothing a test
// does may reach the real user's journal or configuration. Linked as an
// object, so nothing needs to call it.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

class PrivateHome {
  public:
    PrivateHome() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/coop-home-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return;
        root_ = pattern;
        for (const auto& [variable, folder] : {std::pair{"HOME", "home"},
                                               {"XDG_DATA_HOME", "data"},
                                               {"XDG_CONFIG_HOME", "config"},
                                               {"XDG_CACHE_HOME", "cache"},
                                               {"XDG_STATE_HOME", "state"},
                                               {"XDG_RUNTIME_DIR", "runtime"}}) {
            const std::string path = root_ + "/" + folder;
            ::mkdir(path.c_str(), 0700);
            ::setenv(variable, path.c_str(), 1);
        }
        // Nor does the login of the user running the tests: the tests choose it.
        for (const char* variable : {"ISC_USER", "ISC_PASSWORD", "ISC_ROLE"}) ::unsetenv(variable);
    }
    ~PrivateHome() {
        if (root_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    PrivateHome(const PrivateHome&) = delete;
    PrivateHome& operator=(const PrivateHome&) = delete;

  private:
    std::string root_;
};

const PrivateHome private_home;

}  // namespace
