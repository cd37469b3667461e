#include "filter/hit_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter/fold.h"
#include "filter/match.h"
#include "filter/term_search.h"

namespace filter {
namespace {

// Pieces of raw text. The ASCII ones and the plain accented letters (lead
// byte C3) leave a block searchable unfolded; the rest bring a C4 or E2 byte:
// İ and the Kelvin sign (which fold to i and k), ı, a dash, and ill-formed
// leads and bytes.
const std::vector<std::string> kAsciiPieces = {"a", "b", "k", "i", "K", "I", "A", " ", ".", "@"};
const std::vector<std::string> kPlainPieces = {"\xC3\xA9", "\xC3\x89", "\xC3\xA3",
                                               "\xFF",     "\x80",     "\xC3"};
const std::vector<std::string> kLeadPieces = {
    "\xC4\xB0",      // İ
    "\xE2\x84\xAA",  // Kelvin sign
    "\xC4\xB1",      // ı
    "\xE2\x80\x93",  // en dash
    "\xC4",          // a lead alone
    "\xE2\x84",      // cut short
};

struct Generator {
    std::uint64_t state = 20240612u;

    std::size_t below(std::size_t n) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return static_cast<std::size_t>((z ^ (z >> 31)) % n);
    }

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
    std::string text(std::size_t bytes, std::size_t reach, const std::vector<std::string>& terms) {
        std::string out;
        while (out.size() < bytes) {
            const std::size_t length = below(4) == 0 ? below(200) : below(30);
            std::string line = pieces(length, reach);
            if (below(8) == 0) line.insert(below(line.size() + 1), terms[below(terms.size())]);
            out += line;
            out += '\n';
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

std::size_t lineCount(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void expectSameHits(std::string_view text, const std::vector<std::string>& terms, std::size_t limit,
                    const std::string& what) {
    const TermSearch search = buildTermSearch(terms);
    const std::optional<TermSearch> raw = buildAsciiCaselessSearch(terms);
    const std::vector<bool> want = referenceHits(text, limit, terms);
    for (const TermSearch* rawSearch :
         {raw ? &*raw : nullptr, static_cast<const TermSearch*>(nullptr)}) {
        std::vector<bool> hits(limit, false);
        FoldBuffer buffer;
        markHitLines(text, static_cast<std::int32_t>(limit), search, rawSearch, hits, buffer);
        for (std::size_t line = 0; line < limit; ++line) {
            ASSERT_EQ(hits[line], want[line])
                << what << ", line " << line << (rawSearch ? " (raw search)" : " (folded only)");
        }
    }
}

// Small texts: one block each, of every mix of pieces, with term sets pure
// ASCII (so the raw search is offered) and not.
TEST(MarkHitLines, AgreesWithFoldingEachLine) {
    Generator gen;
    for (int round = 0; round < 1500; ++round) {
        const std::size_t termReach = gen.below(3);
        const std::vector<std::string> terms = gen.terms(termReach);
        if (terms.empty()) continue;
        const std::size_t textReach = gen.below(3);
        const std::string text = gen.text(gen.below(3000), textReach, terms);
        const std::size_t lines = lineCount(text);
        const std::size_t limit = gen.below(4) == 0 ? gen.below(lines + 1) : lines;
        expectSameHits(text, terms, limit,
                       "round " + std::to_string(round) + ", reaches " + std::to_string(termReach) +
                           "/" + std::to_string(textReach));
        if (HasFatalFailure()) return;
    }
}

// Texts of several blocks, some of which need folding and some not, so
// that the two ways alternate within one text and line numbers carry over.
TEST(MarkHitLines, AgreesAcrossBlocksSearchedBothWays) {
    Generator gen;
    for (int round = 0; round < 12; ++round) {
        const std::vector<std::string> terms = gen.terms(round % 3 == 0 ? 2 : 0);
        if (terms.empty()) continue;
        std::string text;
        for (int part = 0; part < 6; ++part) text += gen.text(100 * 1024, gen.below(3), terms);
        const std::size_t lines = lineCount(text);
        const std::size_t limit = round % 4 == 1 ? lines / 2 : lines;
        expectSameHits(text, terms, limit, "round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
}

// The letters that fold into ASCII from beyond it, each alone in its block.
TEST(MarkHitLines, FoldsLettersThatBecomeAscii) {
    struct Case {
        const char* text;
        bool hit;
    };
    const Case cases[] = {
        {"KIT", true},
        {"\xE2\x84\xAA"
         "it",
         true},                 // Kelvin sign
        {"k\xC4\xB0t", true},   // İ
        {"k\xC4\xB1t", false},  // ı stays itself
        {"kat", false},
    };
    const std::vector<std::string> terms = {"kit"};
    const TermSearch search = buildTermSearch(terms);
    const std::optional<TermSearch> raw = buildAsciiCaselessSearch(terms);
    ASSERT_TRUE(raw.has_value());
    for (const Case& c : cases) {
        std::vector<bool> hits(1, false);
        FoldBuffer buffer;
        // Far enough in for the sixteen-byte scan to meet the letter.
        const std::string text = std::string(80, '.') + c.text + std::string(80, '.') + '\n';
        markHitLines(text, 1, search, &*raw, hits, buffer);
        EXPECT_EQ(hits[0], c.hit) << c.text;
    }
}

TEST(HasAsciiFoldLead, FindsEitherLeadAnywhere) {
    for (const std::size_t size : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 200u}) {
        const std::string plain(size, 'A');
        EXPECT_FALSE(hasAsciiFoldLead(plain.data(), plain.size())) << size;
        std::string others = plain;
        for (std::size_t at = 0; at < size; ++at) others[at] = "\xC3\xC5\xE1\xE3\x84\xAA"[at % 6];
        EXPECT_FALSE(hasAsciiFoldLead(others.data(), others.size())) << size;
        for (const char lead : {'\xC4', '\xE2'}) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string text = plain;
                text[at] = lead;
                EXPECT_TRUE(hasAsciiFoldLead(text.data(), text.size())) << size << " at " << at;
                // Bytes past the end are not looked at.
                EXPECT_FALSE(hasAsciiFoldLead(text.data(), at)) << size << " at " << at;
            }
        }
    }
}

}  // namespace
}  // namespace filter
