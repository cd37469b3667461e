#include "textio/utf8.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/seeded_random.h"

namespace textio {
namespace {

using test_support::SeededRandom;

using namespace std::string_literals;

constexpr char32_t esc(unsigned byte) {
    return kEscapeBase + byte;
}

std::string hexBytes(const std::string& bytes) {
    std::ostringstream out;
    out << std::hex;
    for (const char c : bytes) out << static_cast<unsigned>(static_cast<unsigned char>(c)) << ' ';
    return out.str();
}

struct Case {
    std::string bytes;
    std::u32string units;
};

std::vector<Case> decodeCases() {
    std::vector<Case> cases = {
        {"", U""},
        {"A~\x7F"s + '\0', {U'A', U'~', 0x7F, 0}},
        {"\xC3\xA9", {0xE9}},                  // é
        {"\xE2\x82\xAC", {0x20AC}},            // €
        {"\xF0\x9F\x92\x80", {0x1F480}},       // a four-byte form
        {"\xC2\x80", {0x80}},                  // smallest two-byte
        {"\xDF\xBF", {0x7FF}},                 // largest two-byte
        {"\xE0\xA0\x80", {0x800}},             // smallest three-byte
        {"\xED\x9F\xBF", {0xD7FF}},            // just below the surrogates
        {"\xEE\x80\x80", {0xE000}},            // just above them
        {"\xEF\xBF\xBF", {0xFFFF}},            // largest three-byte
        {"\xF0\x90\x80\x80", {0x10000}},       // smallest four-byte
        {"\xF4\x8F\xBF\xBF", {0x10FFFF}},      // largest code point
        {"\xEF\xBB\xBFx", {0xFEFF, U'x'}},     // a byte-order mark is a character
        {"\xC0\x80", {esc(0xC0), esc(0x80)}},  // overlong NUL
        {"\xC1\xBF", {esc(0xC1), esc(0xBF)}},  // overlong 7F
        {"\xE0\x80\x80", {esc(0xE0), esc(0x80), esc(0x80)}},
        {"\xE0\x9F\xBF", {esc(0xE0), esc(0x9F), esc(0xBF)}},
        {"\xF0\x80\x80\x80", {esc(0xF0), esc(0x80), esc(0x80), esc(0x80)}},
        {"\xF0\x8F\xBF\xBF", {esc(0xF0), esc(0x8F), esc(0xBF), esc(0xBF)}},
        {"\xED\xA0\x80", {esc(0xED), esc(0xA0), esc(0x80)}},  // encoded surrogates
        {"\xED\xBF\xBF", {esc(0xED), esc(0xBF), esc(0xBF)}},
        // The form a folded escape takes is still ill-formed input.
        {"\xED\xB3\x83", {esc(0xED), esc(0xB3), esc(0x83)}},
        {"\xF4\x90\x80\x80", {esc(0xF4), esc(0x90), esc(0x80), esc(0x80)}},  // past U+10FFFF
        {"\xF5\x80\x80\x80", {esc(0xF5), esc(0x80), esc(0x80), esc(0x80)}},
        {"\x80", {esc(0x80)}},  // lone continuation bytes
        {"\xBF", {esc(0xBF)}},
        {"a\x80\x80z", {U'a', esc(0x80), esc(0x80), U'z'}},
        {"\xC3", {esc(0xC3)}},  // truncated at the end
        {"\xE2\x82", {esc(0xE2), esc(0x82)}},
        {"\xF0\x9F\x92", {esc(0xF0), esc(0x9F), esc(0x92)}},
        {"\xE2\x82\x41", {esc(0xE2), esc(0x82), U'A'}},  // truncated mid-text
        {"\xC3(", {esc(0xC3), U'('}},
        {"\xF0\x9F\x92\x41", {esc(0xF0), esc(0x9F), esc(0x92), U'A'}},
        {"\xC3\xC3\xA9", {esc(0xC3), 0xE9}},  // a new lead byte starts afresh
        {"\xE2\x82\xE2\x82\xAC", {esc(0xE2), esc(0x82), 0x20AC}},
        {"\xC3\xA9\xFF\xC3\xA9", {0xE9, esc(0xFF), 0xE9}},
    };
    for (unsigned byte = 0xF5; byte <= 0xFF; ++byte) {
        cases.push_back({std::string(1, static_cast<char>(byte)), {esc(byte)}});
    }
    return cases;
}

TEST(Utf8, DecodesAndEncodesWithEscapes) {
    for (const Case& c : decodeCases()) {
        SCOPED_TRACE(hexBytes(c.bytes));
        EXPECT_EQ(decodeText(c.bytes), c.units);
        EXPECT_EQ(encodeText(c.units), c.bytes);
    }
}

TEST(Utf8, EveryLoneHighByteIsItsOwnEscape) {
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string bytes(1, static_cast<char>(byte));
        const std::u32string units = decodeText(bytes);
        ASSERT_EQ(units.size(), 1u) << byte;
        EXPECT_EQ(units[0], esc(byte));
        EXPECT_TRUE(isEscapeUnit(units[0]));
        EXPECT_EQ(encodeText(units), bytes);
    }
    EXPECT_FALSE(isEscapeUnit(0xDC7F));
    EXPECT_FALSE(isEscapeUnit(0xDD00));
    EXPECT_FALSE(isEscapeUnit(U'A'));
}

TEST(Utf8, DecodeUnitReportsTheBytesUsed) {
    const auto unit = [](const std::string& bytes) {
        return decodeUnit(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(unit("Ab").length, 1u);
    EXPECT_EQ(unit("\xC3\xA9x").length, 2u);
    EXPECT_EQ(unit("\xE2\x82\xAC").length, 3u);
    EXPECT_EQ(unit("\xF0\x9F\x92\x80").length, 4u);
    EXPECT_EQ(unit("\xE2\x82\x41").length, 1u);
    // A well-formed start cut short by the end of the input.
    EXPECT_EQ(unit("\xF0\x9F\x92\x80").unit, char32_t{0x1F480});
    const std::string whole = "\xF0\x9F\x92\x80";
    const DecodedUnit cut = decodeUnit(reinterpret_cast<const unsigned char*>(whole.data()), 3);
    EXPECT_EQ(cut.unit, esc(0xF0));
    EXPECT_EQ(cut.length, 1u);
}

// Bytes that sit on the edges of the decoder's ranges turn up far more often
// than uniform random bytes would give them.
unsigned char randomByte(SeededRandom& random) {
    static constexpr unsigned char kEdges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                               0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xDF, 0xE0, 0xE2,
                                               0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    if (random.below(2) == 0) return static_cast<unsigned char>(random.below(256));
    return kEdges[random.below(sizeof kEdges)];
}

TEST(Utf8, AnyBytesSurviveDecodeThenEncode) {
    SeededRandom random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random.below(24), '\0');
        for (char& byte : bytes) byte = static_cast<char>(randomByte(random));
        const std::u32string units = decodeText(bytes);
        for (const char32_t unit : units) {
            // Either an escape or a real character, never a surrogate of any other kind.
            ASSERT_TRUE(isEscapeUnit(unit) || unit < 0xD800 || (unit > 0xDFFF && unit <= 0x10FFFF))
                << hexBytes(bytes);
        }
        ASSERT_EQ(encodeText(units), bytes) << hexBytes(bytes);
    }
}

TEST(Utf8, WellFormedTextDecodesWithoutEscapes) {
    SeededRandom random(7);
    for (int round = 0; round < 5000; ++round) {
        std::u32string units;
        for (std::size_t n = random.below(8); n > 0; --n) {
            // Pick a plane size first so that every encoded length turns up.
            const std::uint32_t limits[] = {0x80, 0x800, 0x10000, 0x110000};
            const std::uint32_t limit = limits[random.below(4)];
            auto unit = static_cast<char32_t>(random.below(limit));
            if (unit >= 0xD800 && unit <= 0xDFFF) unit -= 0x800;
            units.push_back(unit);
        }
        const std::string bytes = encodeText(units);
        ASSERT_EQ(decodeText(bytes), units) << hexBytes(bytes);
    }
}

}  // namespace
}  // namespace textio
