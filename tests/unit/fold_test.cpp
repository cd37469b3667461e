#include "filter/fold.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "filter/fold_kernels.h"
#include "filter/search_filter.h"
#include "isa_variants.h"
#include "tests/support/seeded_random.h"
#include "textio/utf8.h"

namespace filter {
namespace {

std::string utf8(char32_t unit) {
    std::string bytes;
    textio::encodeUnit(unit, bytes);
    return bytes;
}

// The tests of folding whole texts run with every variant of its kernel.
class FoldEveryVariant : public testing_isa::OnEveryIsa {};

TEST_P(FoldEveryVariant, LowercasesAndKeepsAccents) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"", ""},
        {"PDF", "pdf"},
        {"Relat\xC3\xB3rio.Pdf", "relat\xC3\xB3rio.pdf"},
        {"C:\\Docs 2024\\[A-Z]_@", "c:\\docs 2024\\[a-z]_@"},  // only letters change
        {"A\xC3\x87\xC3\x83O", "a\xC3\xA7\xC3\xA3o"},          // AÇÃO -> ação
        {"a\xC3\xA7\xC3\xA3o.txt", "a\xC3\xA7\xC3\xA3o.txt"},  // already folded
        {"\xC3\x96l.txt", "\xC3\xB6l.txt"},                    // Öl -> öl
        {"\xC3\x88", "\xC3\xA8"},                              // È -> è, not in the table
        {"\xC3\x91", "\xC3\xB1"},                              // Ñ -> ñ, not in the table
        {"\xC3\x89", "\xC3\xA9"},                              // É -> é, never e
        {"\xC4\xB0", "i"},                                     // İ -> i
        {"\xE2\x84\xAA", "k"},                                 // Kelvin sign -> k
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},              // U+10400 -> U+10428
        {"\xCE\xA3\xD0\x90", "\xCF\x83\xD0\xB0"},              // Σ А -> σ а
        {"\xC3\x9F\xC3\x97", "\xC3\x9F\xC3\x97"},              // ß and × stay
        {"\xEF\xBB\xBF\x41", "\xEF\xBB\xBF\x61"},              // a byte-order mark stays
        {"\xC8\xBA", "\xE2\xB1\xA5"},                          // Ⱥ -> ⱥ grows a byte
        {"\xE1\xBA\x9E", "\xC3\x9F"},                          // ẞ -> ß shrinks one
    };
    for (const Case& c : cases) {
        EXPECT_EQ(foldText(c.in), c.out) << c.in;
    }
    EXPECT_NE(foldText("\xC3\xA9"), foldText("e"));  // é and e stay different
    EXPECT_NE(foldText("\xC3\x89"), foldText("E"));
}

TEST_P(FoldEveryVariant, AsciiLettersOnlyChangeAtAnyPosition) {
    // Every ASCII byte at every position of a longer run, so that bytes are
    // folded alone as well as in groups.
    for (int byte = 0; byte < 0x80; ++byte) {
        for (std::size_t size = 1; size <= 20; ++size) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string in(size, 'Q');
                in[at] = static_cast<char>(byte);
                std::string out(size, 'q');
                out[at] = static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
                ASSERT_EQ(foldText(in), out) << "byte " << byte << " at " << at << " of " << size;
            }
        }
    }
}

TEST_P(FoldEveryVariant, RoomForTheLargestGrowth) {
    // Every byte an escape: the folded text is three times as long as the raw one.
    std::string raw;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const char byte = static_cast<char>(0x80 + i % 0x40);
        raw += byte;
        expected += foldText(std::string(1, byte));
    }
    EXPECT_EQ(expected.size(), 3 * raw.size());
    EXPECT_EQ(foldText(raw), expected);
    std::string out = "X";
    appendFolded(raw, out);
    EXPECT_EQ(out, "X" + expected);
}

TEST(FoldText, AppendsAfterExistingText) {
    std::string out = "X";
    appendFolded("AB", out);
    EXPECT_EQ(out, "Xab");
}

TEST(FoldText, EveryFoldTablePairFolds) {
    for (const FoldPair& pair : kFoldTable) {
        SCOPED_TRACE(static_cast<unsigned>(pair.upper));
        EXPECT_EQ(foldUnit(pair.upper), pair.lower);
        EXPECT_EQ(foldUnit(pair.lower), pair.lower);
        EXPECT_EQ(foldText(utf8(pair.upper)), utf8(pair.lower));
        EXPECT_EQ(foldText("x" + utf8(pair.upper) + "Y"), "x" + utf8(pair.lower) + "y");
    }
}

TEST(FoldText, EscapesHaveNoCase) {
    for (char32_t unit = 0xDC80; unit <= 0xDCFF; ++unit) {
        EXPECT_EQ(foldUnit(unit), unit);
    }
    // The lone byte C3 is not the letter Ã, so it does not fold to the byte of ã.
    EXPECT_NE(foldText("\xC3"), foldText("\xE3"));
    EXPECT_EQ(foldText("\xC3"), foldText("\xC3"));
}

TEST(FoldText, EscapesStayDistinctFromEveryCharacter) {
    // Every lone high byte folds to a form of its own.
    std::set<std::string, std::less<>> escapeForms;
    std::set<std::size_t> formSizes;
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string form = foldText(std::string(1, static_cast<char>(byte)));
        EXPECT_FALSE(form.empty());
        escapeForms.insert(form);
        formSizes.insert(form.size());
    }
    EXPECT_EQ(escapeForms.size(), 128u);

    // No well-formed character folds to a form that equals or holds one of
    // them, so a lone byte can never match inside a character.
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string folded = foldText(utf8(cp));
        const std::string_view view = folded;
        for (const std::size_t size : formSizes) {
            for (std::size_t from = 0; from + size <= view.size(); ++from) {
                ASSERT_EQ(escapeForms.count(view.substr(from, size)), 0u)
                    << "U+" << std::hex << static_cast<unsigned>(cp);
            }
        }
    }
}

TEST_P(FoldEveryVariant, FastPathsAgreeWithFoldingEachCharacter) {
    // Every character inside the first step of every width, after ASCII and
    // before more of it, so that the ASCII, Latin-1 and general paths all
    // meet it.
    const std::string before = "ABCDEFGHIs";
    const std::string foldedBefore = "abcdefghis";
    const std::string after(40, 'Z');
    const std::string foldedAfter(40, 'z');
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string expected = foldedBefore + utf8(foldUnit(cp)) + foldedAfter;
        ASSERT_EQ(foldText(before + utf8(cp) + after), expected)
            << "U+" << std::hex << static_cast<unsigned>(cp);
    }
}

// The folded form of raw bytes, one unit at a time: the plain definition.
std::string foldByUnits(std::string_view raw) {
    std::string folded;
    for (const char32_t unit : textio::decodeText(raw)) {
        const char32_t lower = foldUnit(unit);
        folded += textio::isEscapeUnit(lower) ? foldText(utf8(lower)) : utf8(lower);
    }
    return folded;
}

TEST_P(FoldEveryVariant, WideStepsAgreeWithFoldingEachUnit) {
    // Two-byte characters at every offset of the steps of every width, next
    // to ASCII capitals and to other two-byte characters.
    for (char32_t cp = 0x80; cp < 0x800; ++cp) {
        for (std::size_t offset = 0; offset < 36; ++offset) {
            const std::string raw =
                std::string(offset, 'Q') + utf8(cp) + "\xC3\x89" + utf8(cp) + std::string(40, 'W');
            ASSERT_EQ(foldText(raw), foldByUnits(raw))
                << "U+" << std::hex << static_cast<unsigned>(cp) << " at " << std::dec << offset;
        }
    }
    // Random mixes of ASCII, Latin-1 letters, other characters and stray bytes.
    test_support::SeededRandom random(20261208);
    const std::string pieces[] = {"A",
                                  "z",
                                  "\n",
                                  " ",
                                  "\xC3\x80",
                                  "\xC3\x97",
                                  "\xC3\x9E",
                                  "\xC3\x9F",
                                  "\xC3\xBF",
                                  "\xC3",
                                  "\x97",
                                  "\xC3\xC3\x89",
                                  "\xC4\xB0",
                                  "\xE2\x84\xAA",
                                  "\xF0\x90\x90\x80",
                                  "\xFF"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 60);
    for (int round = 0; round < 20000; ++round) {
        std::string raw;
        for (int n = length(random); n > 0; --n) raw += pieces[pick(random)];
        ASSERT_EQ(foldText(raw), foldByUnits(raw)) << "round " << round;
    }
}

TEST_P(FoldEveryVariant, IllFormedBytesFoldAroundTheirNeighbours) {
    // The letters next to a lone byte still fold; the byte itself survives.
    EXPECT_EQ(foldText("A\xC3Z"), "a" + foldText("\xC3") + "z");
    EXPECT_EQ(foldText("\xE2\x82\x41"), foldText("\xE2") + foldText("\x82") + "a");
    EXPECT_EQ(foldText("\xC3\xC3\x89"), foldText("\xC3") + "\xC3\xA9");
}

INSTANTIATE_ON_EVERY_VARIANT(FoldEveryVariant, foldKernels);

}  // namespace
}  // namespace filter
