// coop-demo-db PATH: creates the demo cooperative database at PATH.

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tools/demo_db/demo_database.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty()) {
        std::fprintf(stderr,
                     "usage: coop-demo-db PATH\n"
                     "Creates a new embedded database file at PATH holding the demo "
                     "cooperative.\n");
        return 2;
    }
    const std::string path = argv[1];
    const auto start = std::chrono::steady_clock::now();
    try {
        demo::CreateCoopDatabase(path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-demo-db: %s\n", error.what());
        return 1;
    }
    try {
        demo::FillDemoDatabase(path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-demo-db: cannot fill %s: %s\n", path.c_str(), error.what());
        // A schema-only file would block the next attempt; it is ours to remove.
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return 1;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("Demo database written to %s in %lld ms\n", path.c_str(),
                static_cast<long long>(elapsed.count()));
    return 0;
}
