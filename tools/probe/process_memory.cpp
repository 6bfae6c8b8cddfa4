#include "tools/probe/process_memory.h"

#include <malloc.h>

#include <fstream>
#include <string>

namespace probe {

ProcessMemory ReadProcessMemory() {
    ProcessMemory memory;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        // Lines like "VmRSS:	   53216 kB".
        long* target = nullptr;
        if (line.rfind("VmRSS:", 0) == 0) target = &memory.resident_kb;
        if (line.rfind("VmHWM:", 0) == 0) target = &memory.peak_resident_kb;
        if (target != nullptr) *target = std::stol(line.substr(line.find(':') + 1));
    }
    const struct mallinfo2 heap = mallinfo2();
    memory.allocated_kb = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
    return memory;
}

}  // namespace probe
