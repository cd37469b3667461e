#include "search/hit_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter/fold.h"
#include "filter/match.h"
#include "isa_variants.h"
#include "search/block_kernels.h"
#include "search/line_runs.h"
#include "search/search.h"
#include "search/term_search.h"
#include "tests/support/seeded_random.h"
#include "textio/line_index.h"
#include "textio/utf8.h"

namespace search {
namespace {

using filter::containsText;
using filter::foldText;
using filter::foldUnit;

// Pieces of raw text. The ASCII ones and the Latin-1 letters (lead byte C3)
// leave a block searchable unfolded, and so do ill-formed bytes and a C1
// control; the rest bring a lead byte of a character that folds into ASCII or
// Latin-1 from beyond (C4, C5, E1, E2): İ, the Kelvin and Ångström signs, Ÿ
// and ẞ, and others with those leads (ı, ĉ, ł, a dash), and leads alone.
const std::vector<std::string> kAsciiPieces = {"a", "b", "k", "i", "K", "I", "A", " ", ".", "@"};
const std::vector<std::string> kPlainPieces = {
    "\xC3\xA9", "\xC3\x89", "\xC3\xA3", "\xC3\xBF", "\xC3\x9F", "\xC3\xA5", "\xC3\x85",
    "\xC3\x97", "\xC3\xB7", "\xC2\x89", "\xFF",     "\x80",     "\x89",     "\xC3"};
const std::vector<std::string> kLeadPieces = {
    "\xC4\xB0",      // İ
    "\xE2\x84\xAA",  // Kelvin sign
    "\xE2\x84\xAB",  // Ångström sign
    "\xC5\xB8",      // Ÿ
    "\xE1\xBA\x9E",  // ẞ
    "\xC4\xB1",      // ı
    "\xC4\x89",      // ĉ
    "\xC5\x82",      // ł
    "\xE2\x80\x93",  // en dash
    "\xC4",          // a lead alone
    "\xE2\x84",      // cut short
};

struct Generator : test_support::SeededRandom {
    Generator() : SeededRandom(20240612u) {}

    // How much of the pieces a text or term draws from: ASCII only, also
    // plain accented letters and ill-formed bytes, or everything.
    std::string piece(std::size_t reach) {
        const std::size_t kind = below(reach + 1);
        if (kind >= 2 && below(4) == 0) return kLeadPieces[below(kLeadPieces.size())];
        if (kind >= 1 && below(3) == 0) return kPlainPieces[below(kPlainPieces.size())];
        return kAsciiPieces[below(kAsciiPieces.size())];
    }

    std::string pieces(std::size_t count, std::size_t reach) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) out += piece(reach);
        return out;
    }

    // Folded terms, as the run makes them.
    std::vector<std::string> terms(std::size_t reach) {
        static constexpr std::size_t kCounts[] = {1, 2, 3, 5, 30, 80};
        std::vector<std::string> out;
        for (std::size_t n = kCounts[below(std::size(kCounts))]; n > 0; --n) {
            const std::string term = foldText(pieces(1 + below(below(4) == 0 ? 8 : 3), reach));
            if (!term.empty()) out.push_back(term);
        }
        return out;
    }

    // Lines of pieces, each followed by LF, with terms put in now and then.
    // Some come again on the next lines, as a folder does once per file in
    // it, and some of those copies lose their last byte or change their
    // first: a hit's copies are marked without being searched again.
    std::string text(std::size_t bytes, std::size_t reach, const std::vector<std::string>& terms) {
        std::string out;
        while (out.size() < bytes) {
            const std::size_t length = below(4) == 0 ? below(200) : below(30);
            std::string line = pieces(length, reach);
            if (below(8) == 0) line.insert(below(line.size() + 1), terms[below(terms.size())]);
            for (std::size_t copies = below(3) == 0 ? 1 + below(5) : 1; copies > 0; --copies) {
                std::string copy = line;
                if (!copy.empty() && below(6) == 0) copy.pop_back();
                if (!copy.empty() && below(6) == 0) copy[0] = 'x';
                out += copy;
                out += '\n';
            }
        }
        return out;
    }
};

std::vector<bool> referenceHits(std::string_view text, std::size_t limit,
                                const std::vector<std::string>& terms) {
    std::vector<bool> hits(limit, false);
    std::size_t line = 0;
    for (std::size_t at = 0; at < text.size() && line < limit; ++line) {
        const std::size_t lineFeed = text.find('\n', at);
        const std::string folded = foldText(text.substr(at, lineFeed - at));
        for (const std::string& term : terms) {
            if (containsText(folded, term)) hits[line] = true;
        }
        at = lineFeed + 1;
    }
    return hits;
}

std::string_view lineOf(std::string_view text, std::size_t line) {
    std::size_t at = 0;
    for (; line > 0; --line) at = text.find('\n', at) + 1;
    return text.substr(at, text.find('\n', at) - at);
}

std::size_t lineCount(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Returns whether the raw search was offered (and so tried too).
bool expectSameHits(std::string_view text, const std::vector<std::string>& terms, std::size_t limit,
                    const std::string& what) {
    const TermSearch search = buildTermSearch(terms);
    const std::optional<TermSearch> raw = buildCaselessSearch(terms);
    const std::vector<bool> want = referenceHits(text, limit, terms);
    std::vector<std::uint32_t> linesBefore(textio::lineIndexEntries(text.size()));
    const textio::LineIndex index = textio::indexLines(text, linesBefore.data());
    for (const TermSearch* rawSearch :
         {raw ? &*raw : nullptr, static_cast<const TermSearch*>(nullptr)}) {
        // Hit lines counted, and looked up in the index.
        for (const bool lookUp : {false, true}) {
            LineHits hits(limit, 0);
            FoldBuffer buffer{filter::blockFolding(), {}};
            HitLineTexts texts;
            if (lookUp) {
                markHitLines(index, static_cast<std::int32_t>(limit), search, rawSearch, hits,
                             buffer, &texts);
                // The texts told are hit lines', in order, each its line exactly.
                std::size_t after = 0;
                for (const HitLineText& told : texts) {
                    const bool hitInOrder =
                        told.line >= after && told.line < limit && want[told.line];
                    EXPECT_TRUE(hitInOrder) << what << ", a text told for line " << told.line;
                    if (!hitInOrder) return raw.has_value();
                    EXPECT_EQ(text.substr(told.start, told.length), lineOf(text, told.line))
                        << what << ", line " << told.line;
                    after = told.line + 1;
                }
                // Searched raw throughout (no block needed folding), every
                // hit line's text is told.
                if (rawSearch != nullptr &&
                    !hasFoldLead(text.data(), text.size(), rawSearch->latinTerms)) {
                    EXPECT_EQ(texts.size(),
                              static_cast<std::size_t>(std::count(want.begin(), want.end(), true)))
                        << what;
                }
            } else {
                markHitLines(text, static_cast<std::int32_t>(limit), search, rawSearch, hits,
                             buffer);
            }
            for (std::size_t line = 0; line < limit; ++line) {
                EXPECT_EQ(hits[line] != 0, want[line])
                    << what << ", line " << line << (rawSearch ? " (raw search" : " (folded only")
                    << (lookUp ? ", lines indexed)" : ")");
                if ((hits[line] != 0) != want[line]) return raw.has_value();
            }
        }
    }
    return raw.has_value();
}

// Each test runs with the kernels and engines of every instruction set.
class MarkHitLines : public testing_isa::OnEveryIsa {};

// Small texts: one block each, of every mix of pieces, with term sets of
// ASCII and Latin-1 letters (so the raw search is offered) and not.
TEST_P(MarkHitLines, AgreesWithFoldingEachLine) {
    Generator gen;
    int rawOffered = 0;
    int latinRawOffered = 0;
    for (int round = 0; round < 1500; ++round) {
        const std::size_t termReach = gen.below(3);
        const std::vector<std::string> terms = gen.terms(termReach);
        if (terms.empty()) continue;
        const std::size_t textReach = gen.below(3);
        const std::string text = gen.text(gen.below(3000), textReach, terms);
        const std::size_t lines = lineCount(text);
        const std::size_t limit = gen.below(4) == 0 ? gen.below(lines + 1) : lines;
        const bool raw =
            expectSameHits(text, terms, limit,
                           "round " + std::to_string(round) + ", reaches " +
                               std::to_string(termReach) + "/" + std::to_string(textReach));
        if (HasFailure()) return;
        rawOffered += raw ? 1 : 0;
        latinRawOffered += raw && termReach == 1 ? 1 : 0;
    }
    // Both kinds of raw search were really tried.
    EXPECT_GT(rawOffered, 400);
    EXPECT_GT(latinRawOffered, 50);
}

// Texts of several blocks, some of which need folding and some not, so
// that the two ways alternate within one text and line numbers carry over.
TEST_P(MarkHitLines, AgreesAcrossBlocksSearchedBothWays) {
    Generator gen;
    for (int round = 0; round < 12; ++round) {
        const std::vector<std::string> terms = gen.terms(static_cast<std::size_t>(round % 3));
        if (terms.empty()) continue;
        std::string text;
        for (int part = 0; part < 6; ++part) text += gen.text(100 * 1024, gen.below(3), terms);
        const std::size_t lines = lineCount(text);
        const std::size_t limit = round % 4 == 1 ? lines / 2 : lines;
        expectSameHits(text, terms, limit, "round " + std::to_string(round));
        if (HasFailure()) return;
    }
}

// The letters that fold into ASCII or Latin-1 from beyond, each alone in its
// block, and letters that look alike but do not fold so.
TEST_P(MarkHitLines, FoldsLettersThatBecomeAsciiOrLatin1) {
    struct Case {
        const char* term;  // folded
        const char* text;
        bool hit;
    };
    const Case cases[] = {
        {"kit", "KIT", true},
        {"kit",
         "\xE2\x84\xAA"
         "it",
         true},                        // Kelvin sign
        {"kit", "k\xC4\xB0t", true},   // İ
        {"kit", "k\xC4\xB1t", false},  // ı stays itself
        {"kit", "kat", false},
        {"\xC3\xA9", "\xC3\x89", true},      // é, É
        {"\xC3\xBF", "\xC5\xB8", true},      // ÿ, Ÿ
        {"\xC3\x9F", "\xE1\xBA\x9E", true},  // ß, ẞ
        {"\xC3\xA5", "\xE2\x84\xAB", true},  // å, Ångström sign
        {"\xC3\xA5", "\xC3\x85", true},      // å, Å
        {"\xC3\xB7", "\xC3\x97", false},     // ÷ is not ×
        {"\xC3\xBF", "\xC3\x9F", false},     // ÿ is not ß
        {"\xC3\xA9", "\xC4\x89", false},     // ĉ: 89 after another lead
        {"\xC3\xA9", "\xC2\x89", false},     // a C1 control
        {"x\xC3\xA9", "X\xC3\x89", true},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> terms = {c.term};
        const TermSearch search = buildTermSearch(terms);
        const std::optional<TermSearch> raw = buildCaselessSearch(terms);
        ASSERT_TRUE(raw.has_value()) << c.term;
        for (const TermSearch* rawSearch : {&*raw, static_cast<const TermSearch*>(nullptr)}) {
            LineHits hits(1, 0);
            FoldBuffer buffer{filter::blockFolding(), {}};
            // Far enough in for the sixteen-byte scan to meet the letter.
            const std::string text = std::string(80, '.') + c.text + std::string(80, '.') + '\n';
            markHitLines(text, 1, search, rawSearch, hits, buffer);
            EXPECT_EQ(hits[0] != 0, c.hit)
                << c.term << " in " << c.text << (rawSearch ? " (raw)" : "");
        }
    }
}

// A mapped list may change under the run after it is indexed (another
// process writing to it). Whatever its bytes then, marking a block's hits
// (both ways, whole and by runs), finding its runs and giving its lines
// stay within it: each text is indexed, then overwritten with other bytes.
TEST_P(MarkHitLines, StaysWithinABlockWhoseBytesChangedAfterIndexing) {
    std::string lines;
    for (int i = 0; i < 600; ++i) {
        // Runs of equal lines, some longer than an index group, some hits.
        const std::string line =
            std::string(static_cast<std::size_t>(i / 3 % 97), static_cast<char>('a' + i % 3)) +
            (i / 3 % 4 == 0 ? "doc" : "");
        lines += line + "\n";
    }
    lines += std::string(37, 'z') + "\n";  // a partial last group
    Generator gen;
    std::string random(lines.size(), 'r');
    for (char& byte : random) byte = static_cast<char>(gen.below(40) == 0 ? '\n' : gen.below(256));
    const std::string changes[] = {
        std::string(lines.size(), 'x'),  // no LF left
        std::string(lines.size(), '\n'),
        std::string(lines.size(), '\0'),
        lines.substr(1) + "\n",  // every LF a byte early
        "y" + lines.substr(0, lines.size() - 1),
        random,
    };
    const RunSearches searches = buildRunSearches({"doc"});
    for (std::size_t change = 0; change < std::size(changes); ++change) {
        SCOPED_TRACE(change);
        // Exactly the text's size: a read past it is a read past the block.
        std::vector<char> bytes(lines.begin(), lines.end());
        std::vector<std::uint32_t> linesBefore(textio::lineIndexEntries(bytes.size()) + 1);
        const textio::LineIndex index = textio::indexLines(
            {bytes.data(), bytes.size()}, linesBefore.data(), bytesToWatch(searches));
        std::copy(changes[change].begin(), changes[change].end(), bytes.begin());
        const std::size_t size = bytes.size();

        HitScratch scratch;
        scratch.fold.folding = filter::blockFolding();
        // The runs trial tries its ways on the first blocks in turn.
        for (int block = 0; block < 8; ++block) {
            LineHits hits(index.lines, 0);
            HitLineTexts texts;
            markBlockHits(index, index.lines, searches, true, scratch, hits, &texts);
            for (const HitLineText& told : texts) {
                EXPECT_LT(told.line, index.lines);
                EXPECT_LE(told.start + told.length, size);
            }
        }
        LineRuns runs;
        if (collapseRuns(index, index.lines, runs)) {
            EXPECT_LE(runs.size, size);
        }
        textio::LineCursor cursor{&index};
        for (std::size_t line = 0; line < index.lines; ++line) {
            const std::string_view text = textio::lineText(cursor, line);
            EXPECT_GE(text.data(), bytes.data());
            EXPECT_LE(text.data() + text.size(), bytes.data() + size);
            EXPECT_LT(textio::lineFeedOf(index, line), size);
        }
        for (std::size_t offset = 0; offset < size; ++offset) {
            const textio::LineAt at = textio::lineAt(index, offset);
            ASSERT_LE(at.start, offset);
            ASSERT_LE(offset, at.lineFeed);
            ASSERT_LT(at.lineFeed, size);
        }
        if (HasFailure()) return;
    }
}

INSTANTIATE_ON_EVERY_ISA(MarkHitLines);

// Every character beyond ASCII that folds into ASCII, and every one beyond
// Latin-1 that folds into Latin-1, starts with a byte that hasFoldLead looks for.
TEST(HasFoldLead, KnowsEveryLeadOfACharacterFoldingIntoTheTermRange) {
    int found = 0;
    for (char32_t unit = 0x80; unit <= 0x10FFFF; ++unit) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        const char32_t folded = foldUnit(unit);
        const bool intoAscii = folded < 0x80;
        const bool intoLatin = unit > 0xFF && folded <= 0xFF;
        if (!intoAscii && !intoLatin) continue;
        ++found;
        const std::string encoded = textio::encodeText(std::u32string(1, unit));
        const auto code = static_cast<std::uint32_t>(unit);
        EXPECT_TRUE(hasFoldLead(encoded.data(), 1, true)) << std::hex << code;
        if (intoAscii) {
            EXPECT_TRUE(hasFoldLead(encoded.data(), 1, false)) << std::hex << code;
        }
    }
    EXPECT_EQ(found, 5);  // İ, K, Å, Ÿ, ẞ
}

// Every variant, with the leads and every other byte value at every place.
TEST(HasFoldLead, EveryVariantFindsEachLeadAnywhere) {
    for (const simd::Isa isa : testing_isa::distinctVariants(blockKernels)) {
        const auto hasFoldLead = blockKernels(isa).hasFoldLead;
        SCOPED_TRACE(simd::isaName(isa));
        for (const std::size_t size : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 200u, 600u}) {
            const std::string plain(size, 'A');
            // Every other byte value, the leads' neighbours among them.
            std::string everyOther;
            for (unsigned byte = 0; byte < 256; ++byte) {
                if (byte != 0xC4 && byte != 0xC5 && byte != 0xE1 && byte != 0xE2) {
                    everyOther.push_back(static_cast<char>(byte));
                }
            }
            std::string others = plain;
            for (std::size_t at = 0; at < size; ++at)
                others[at] = everyOther[at % everyOther.size()];
            for (const bool latin : {false, true}) {
                EXPECT_FALSE(hasFoldLead(plain.data(), plain.size(), latin)) << size;
                EXPECT_FALSE(hasFoldLead(others.data(), others.size(), latin)) << size;
            }
            for (const char lead : {'\xC4', '\xE2', '\xC5', '\xE1'}) {
                const bool asciiLead = lead == '\xC4' || lead == '\xE2';
                for (std::size_t at = 0; at < size; ++at) {
                    std::string text = plain;
                    text[at] = lead;
                    EXPECT_TRUE(hasFoldLead(text.data(), text.size(), true))
                        << size << " at " << at;
                    EXPECT_EQ(hasFoldLead(text.data(), text.size(), false), asciiLead)
                        << size << " at " << at;
                    // Bytes past the end are not looked at.
                    EXPECT_FALSE(hasFoldLead(text.data(), at, true)) << size << " at " << at;
                }
            }
        }
    }
}

}  // namespace
}  // namespace search
