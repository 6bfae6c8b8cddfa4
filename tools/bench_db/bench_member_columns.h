#pragma once

// Every CLIENTES column of a benchmark member with the expression of its
// value.

#include <string>
#include <vector>

namespace bench::blocks {

struct Column {
    const char* name;
    std::string value;
};

std::vector<Column> MemberColumns();

}  // namespace bench::blocks
