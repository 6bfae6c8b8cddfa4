// The connection and transaction parameter-block builders on arbitrary
// parameter lines: either a client or conversion error, or a block in the
// published format (items that account for every byte, within 32767).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db/parameter_blocks.h"
#include "runtime/exception.h"
#include "runtime/strings.h"

namespace {

void CheckDatabaseBlock(const std::string& block) {
    if (block.empty() || block[0] != 1 || block.size() > 32767) __builtin_trap();
    size_t i = 1;
    while (i < block.size()) {
        if (i + 2 > block.size()) __builtin_trap();  // code and length byte
        i += 2 + static_cast<unsigned char>(block[i + 1]);
    }
    if (i != block.size()) __builtin_trap();
}

void CheckTransactionBlock(const runtime::TStrings& lines, const std::string& block) {
    if (lines.Empty() != block.empty() || block.size() > 32767) __builtin_trap();
    if (!block.empty() && block[0] != 3) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> split(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            split.emplace_back();
        } else {
            split.back() += static_cast<char>(data[i]);
        }
    }
    runtime::TStrings lines;
    lines.Assign(std::move(split));
    try {
        CheckDatabaseBlock(db::BuildDatabaseParameterBlock(lines));
    } catch (const runtime::Exception&) {
    }
    try {
        CheckTransactionBlock(lines, db::BuildTransactionParameterBlock(lines));
    } catch (const runtime::Exception&) {
    }
    return 0;
}
