// coop-bench DATABASE [GROUP...]: prints benchmark figures, one per line,
// as "name value unit". Without groups every group runs, in table order.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench/fetch/figures.h"

namespace {

struct FigureGroup {
    const char* name;
    void (*run)(bench::BenchContext&);
};

// A new group of figures is one function and one line here.
const FigureGroup kGroups[] = {
    {"schedule", bench::ScheduleFigures},
    {"members", bench::MemberFigures},
};

int Usage() {
    std::fprintf(stderr, "usage: coop-bench DATABASE [GROUP...]\ngroups:");
    for (const FigureGroup& group : kGroups) std::fprintf(stderr, " %s", group.name);
    std::fprintf(stderr, "\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') return Usage();
    std::vector<const FigureGroup*> chosen;
    for (int i = 2; i < argc; ++i) {
        const FigureGroup* found = nullptr;
        for (const FigureGroup& group : kGroups) {
            if (argv[i] == std::string(group.name)) found = &group;
        }
        if (found == nullptr) return Usage();
        chosen.push_back(found);
    }
    if (chosen.empty()) {
        for (const FigureGroup& group : kGroups) chosen.push_back(&group);
    }
    try {
        bench::BenchContext context(argv[1]);
        for (const FigureGroup* group : chosen) group->run(context);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
