#include "bench/load/processor_time.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace bench {
namespace {

// /proc/PID/stat: "pid (name) state ..." with utime and stime the 14th and
// 15th fields; the name may hold blanks, so fields are counted after ')'.
bool ReadStat(const std::string& path, std::string& name, double& seconds) {
    std::ifstream file(path);
    std::string text;
    if (!std::getline(file, text)) return false;
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return false;
    name = text.substr(open + 1, close - open - 1);
    std::istringstream fields(text.substr(close + 1));
    std::string skipped;
    for (int field = 3; field <= 13; ++field) fields >> skipped;
    long long user = 0;
    long long system = 0;
    if (!(fields >> user >> system)) return false;
    seconds = static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return true;
}

}  // namespace

double ProcessorSeconds(pid_t pid) {
    std::string name;
    double seconds = 0;
    return ReadStat("/proc/" + std::to_string(pid) + "/stat", name, seconds) ? seconds : -1;
}

double ServerProcessorSeconds() {
    double total = -1;
    // Processes come and go while the list is read: no step may throw.
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string pid = entry->path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string name;
        double seconds = 0;
        if (ReadStat(entry->path().string() + "/stat", name, seconds) && name == "firebird") {
            total = (total < 0 ? 0 : total) + seconds;
        }
    }
    return total;
}

}  // namespace bench
