#pragma once

namespace probe {

// This process's memory as the kernel counts it, in kB: the resident set
// now and its peak. -1 when /proc cannot be read.
struct ProcessMemory {
    long resident_kb = -1;
    long peak_resident_kb = -1;
};
ProcessMemory ReadProcessMemory();

}  // namespace probe
