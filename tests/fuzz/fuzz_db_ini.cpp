// The configuration file's line reader on arbitrary bytes: the database
// name it picks never holds a line end or the end-of-data mark.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/db_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string line = config::LastLine(bytes);
    if (line.size() > bytes.size() || line.find_first_of("\r\n\x1a") != std::string::npos) {
        __builtin_trap();
    }
    return 0;
}
