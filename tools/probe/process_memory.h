#pragma once

namespace probe {

// This process's memory in kB: the resident set now and its peak as the
// kernel counts them (-1 when /proc cannot be read), and the bytes the C
// allocator has handed out and not had back. The last tells retained
// objects apart from pages the allocator keeps for reuse.
struct ProcessMemory {
    long resident_kb = -1;
    long peak_resident_kb = -1;
    long allocated_kb = -1;
};
ProcessMemory ReadProcessMemory();

}  // namespace probe
