#pragma once

// The two steps every file the program writes for keeps shares: writing all
// of a text through short writes and interruptions, and putting a folder's
// entries (a new or renamed file) on disk. No Qt.

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace runtime {

// Writes every byte of `bytes` to `fd`; `written` counts those that went
// in. 0 when all did, else the cause (an errno value).
int WriteFully(int fd, std::string_view bytes, std::size_t& written);

// Flushes the folder itself, so that a file created or renamed in it stays
// after a crash. 0, or the cause (a file system that cannot counts as done).
int SyncFolder(const std::filesystem::path& folder);

}  // namespace runtime
