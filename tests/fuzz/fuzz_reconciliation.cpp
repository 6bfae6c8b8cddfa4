// The reconciliation's ways of working held to each other on portfolios
// made from the input's bytes: the window's statement added up as the
// window adds it, the portfolio check with its sums worked by the server
// and here, the repair's second look and the schedule correction run and
// rolled back, on one embedded database made at the first input and
// emptied and filled again for each. A disagreement aborts with the
// loan's rows.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/random_loans.h"
#include "tools/demo_db/demo_database.h"

namespace {

struct Database {
    std::string folder;
    std::unique_ptr<random_loans::Writer> writer;
    std::unique_ptr<random_loans::Ways> ways;
};

// Made once per process and kept to its end: a database per input would
// cost more than the input's work.
Database& Shared() {
    static Database* const shared = [] {
        auto* made = new Database;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "coop-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        made->folder = pattern;
        const std::string path = made->folder + "/reconciliation.fdb";
        demo::CreateCoopDatabase(path);
        made->writer = std::make_unique<random_loans::Writer>(path);
        made->ways = std::make_unique<random_loans::Ways>(path);
        return made;
    }();
    return *shared;
}

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Shared().folder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Shared();
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Database& database = Shared();
    random_loans::ByteChoices choices(data, size);
    random_loans::CompareOptions compare;
    compare.connections = 1 + static_cast<int>(choices.Below(2));
    compare.server_round_loans = 1 + static_cast<int>(choices.Below(4));
    random_loans::Options options;
    options.loans = 1 + static_cast<int>(choices.Below(6));
    const random_loans::Portfolio portfolio = random_loans::Generate(choices, options);
    database.writer->Empty();
    database.writer->Insert(portfolio);
    const random_loans::Comparison found = database.ways->Compare(portfolio, compare);
    if (!found.disagreements.empty()) {
        std::fprintf(stderr, "The ways disagree on %zu loans; the first:\n%s",
                     found.disagreements.size(), found.disagreements.front().c_str());
        std::abort();
    }
    return 0;
}
