#include "filter/lower_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace filter {
namespace {

constexpr const char* kUnicodeDataPath = "/usr/share/unicode/UnicodeData.txt";
constexpr char32_t kMaxCodePoint = 0x10FFFF;

std::string hex(char32_t value) {
    std::ostringstream out;
    out << "U+" << std::hex << std::uppercase << static_cast<unsigned long>(value);
    return out.str();
}

TEST(SimpleLowercase, FixedExpectations) {
    struct Case {
        char32_t in;
        char32_t out;
    };
    const Case cases[] = {
        {U'A', U'a'},
        {U'Z', U'z'},
        {U'a', U'a'},
        {U'@', U'@'},    // just before A
        {U'[', U'['},    // just after Z
        {U'\\', U'\\'},  // path separators and digits stay
        {U'7', U'7'},
        {0x00C0, 0x00E0},    // À
        {0x00DC, 0x00FC},    // Ü
        {0x00D7, 0x00D7},    // multiplication sign sits among the capitals
        {0x00DF, 0x00DF},    // ß has no single lowercase partner to change to
        {0x0130, 0x0069},    // dotted capital I lowercases to ASCII i
        {0x0049, 0x0069},    // plain I
        {0x212A, 0x006B},    // Kelvin sign
        {0x2126, 0x03C9},    // Ohm sign
        {0x212B, 0x00E5},    // Angstrom sign
        {0x1E9E, 0x00DF},    // capital sharp s
        {0x01C5, 0x01C6},    // titlecase Dž
        {0x2160, 0x2170},    // Roman numeral one
        {0x24B6, 0x24D0},    // circled A
        {0x03A3, 0x03C3},    // Σ
        {0x0410, 0x0430},    // Cyrillic А
        {0xA7AE, 0x026A},    // large negative delta
        {0x10400, 0x10428},  // Deseret, outside the BMP
        {0x1E900, 0x1E922},  // Adlam, the last cased block
        {0x1E921, 0x1E943},  // last code point with a mapping
        {0x1E922, 0x1E922},
        {0xD800, 0xD800},  // surrogates stay
        {0xDC80, 0xDC80},
        {0xFFFF, 0xFFFF},
        {0x10FFFF, 0x10FFFF},
        {0x110000, 0x110000},  // beyond Unicode stays
        {0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(simpleLowercase(c.in), c.out) << hex(c.in);
    }
}

// Field 13 of every line that has one; the First/Last range lines have none, so
// every code point not listed maps to itself.
std::unordered_map<char32_t, char32_t> readLowercaseMappings(std::ifstream& data) {
    std::unordered_map<char32_t, char32_t> mappings;
    std::string line;
    while (std::getline(data, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, ';')) fields.push_back(field);
        if (fields.size() < 14 || fields[13].empty()) continue;
        const auto from = static_cast<char32_t>(std::stoul(fields[0], nullptr, 16));
        const auto to = static_cast<char32_t>(std::stoul(fields[13], nullptr, 16));
        mappings[from] = to;
    }
    return mappings;
}

TEST(SimpleLowercase, MatchesUnicodeData) {
    std::ifstream data(kUnicodeDataPath);
    if (!data) GTEST_SKIP() << kUnicodeDataPath << " not found (Debian package unicode-data)";
    const auto mappings = readLowercaseMappings(data);
    // A parse that found (almost) nothing would make the comparison below pointless.
    ASSERT_GT(mappings.size(), 1000u);

    std::size_t mismatches = 0;
    for (char32_t cp = 0; cp <= kMaxCodePoint; ++cp) {
        const auto found = mappings.find(cp);
        const char32_t expected = found == mappings.end() ? cp : found->second;
        const char32_t actual = simpleLowercase(cp);
        if (actual != expected && ++mismatches <= 20) {
            ADD_FAILURE() << hex(cp) << ": got " << hex(actual) << ", UnicodeData.txt says "
                          << hex(expected);
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

}  // namespace
}  // namespace filter
