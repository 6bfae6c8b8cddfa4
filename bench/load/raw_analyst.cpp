#include "bench/load/raw_analyst.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "bench/lookup/raw_lookup.h"

namespace bench {
namespace {

// The text as a JSON string.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

int RunRawAnalyst(const std::string& database) {
    std::unique_ptr<RawLookup> lookup;
    try {
        lookup = std::make_unique<RawLookup>(database, RawLookup::Preparation::kOnce);
    } catch (const std::exception& error) {
        std::cout << "{\"error\": " << Quoted(error.what()) << "}" << std::endl;
        return 1;
    }
    std::cout << "{\"ready\": true}" << std::endl;
    std::string line;
    while (std::getline(std::cin, line) && line != "quit") {
        if (!line.starts_with("code ")) {
            std::cout << "{\"error\": " << Quoted("unknown command: " + line) << "}" << std::endl;
            continue;
        }
        try {
            const int rows = lookup->Run(line.substr(5));
            std::cout << "{\"rows\": " << rows << "}" << std::endl;
        } catch (const std::exception& error) {
            std::cout << "{\"error\": " << Quoted(error.what()) << "}" << std::endl;
        }
    }
    return 0;
}

}  // namespace bench
