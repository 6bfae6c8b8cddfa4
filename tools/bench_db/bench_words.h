#pragma once

// The pieces the benchmark database's blocks are made of: word lists packed
// into block variables, and the SQL expressions that pick from them and
// derive a row's values from its hashes.

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/raw_client/latin1.h"

namespace bench::blocks {

// A word list packed at a fixed width into one block variable: picking the
// i-th word is a SUBSTRING, far cheaper per row than a CASE of fifty
// branches or a sub-function call.
struct WordList {
    const char* variable;
    std::vector<const char*> words;  // UTF-8 here, ISO8859_1 in the block

    int Width() const {
        size_t width = 1;
        for (const char* word : words) width = std::max(width, demo::Latin1(word).size());
        return static_cast<int>(width);
    }
    int Count() const { return static_cast<int>(words.size()); }

    std::string Declaration() const {
        const size_t width = static_cast<size_t>(Width());
        std::string packed;
        // Padded by Latin-1 length; the whole block is converted once at the end.
        for (const char* word : words) {
            const std::string utf8 = word;
            if (utf8.find('\'') != std::string::npos) throw std::logic_error("quote in word list");
            packed += utf8 + std::string(width - demo::Latin1(utf8).size(), ' ');
        }
        return "  DECLARE " + std::string(variable) + " VARCHAR(" +
               std::to_string(width * words.size()) + ") = '" + packed + "';\n";
    }
    // The word at MOD(hash, count).
    std::string Pick(const std::string& hash) const {
        return At("MOD(" + hash + ", " + std::to_string(Count()) + ")");
    }
    // The word at a 0-based index expression.
    std::string At(const std::string& index) const {
        const std::string width = std::to_string(Width());
        return "TRIM(SUBSTRING(:" + std::string(variable) + " FROM (" + index + ") * " + width +
               " + 1 FOR " + width + "))";
    }
};

extern const WordList kFirstNames, kSurnames, kStreets, kSectors, kCities, kProvinces, kOccupations,
    kStores, kBanks, kCarMakes, kEmployerKinds, kEmployerPlaces;

std::string Int(const std::string& expression);
std::string Mod(const std::string& hash, int n);
std::string Phone(const std::string& h);
std::string PersonName(const std::string& first, const std::string& last);
std::string Address(const std::string& h);
std::string BusinessAddress(const std::string& h);
std::string Cedula(const std::string& h);
std::string Money(const std::string& expression);
std::string HashChain(const std::string& seed, int count);
std::string HashDeclarations(int count);
std::string Declarations(std::initializer_list<const WordList*> lists);

}  // namespace bench::blocks
