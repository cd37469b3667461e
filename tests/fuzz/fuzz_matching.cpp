// Folding and matching on arbitrary texts and terms, against a plain
// reference: decode unit by unit, fold each unit with foldUnit, and test
// containment position by position. Checks foldText, foldTerms,
// containsText, pairMatches, and findOccurrence with every engine in every
// variant this processor can run (plus automata with few rows and other
// spans) the way the run uses it: on a multi-line folded text, again from
// the line after each hit; and with each engine markHitLines, which the run
// calls on whole lists, also given the engine's caseless search of unfolded
// text. Folding and markHitLines run with the block kernels of every
// instruction set too.
//
// Input: two option bytes, then the terms (one per line, LF-separated), a
// 0x01 byte, and the text (its lines also serve as folder/file pairs).
//   byte 0 bits 0-4: how far the searched text is shifted from an aligned start
//   byte 0 bits 5-6: the budget of the extra automaton; bit 7: its span
//   byte 1 bits 0-2: the searches see the text (with an LF after it) 1, 1, 1,
//                    1, 4, 16 or 64 times over, or as often as it takes to
//                    pass 320 KiB: long texts, with many windows of the widest
//                    automaton span and several blocks for markHitLines (with
//                    fewer engines: long texts cost time)
//   byte 1 bits 3-4: markHitLines looks at all lines, all, all but the last,
//                    or half of them
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "filter/fold.h"
#include "filter/match.h"
#include "filter/scratch_list.h"
#include "filter/search_filter.h"
#include "fuzz_check.h"
#include "reference_match.h"
#include "search/hit_lines.h"
#include "search/term_search.h"
#include "simd/dispatch.h"

namespace {

using fuzzcheck::hex;

constexpr std::size_t kMaxTerms = 200;
// The per-line checks look at this many lines and terms (the search checks
// look at all of them).
constexpr std::size_t kMaxLineChecks = 64;
constexpr std::size_t kNone = search::kNoOccurrence;

std::vector<std::string_view> splitAtLineFeeds(std::string_view text) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t end = text.find('\n');
        pieces.push_back(text.substr(0, end));
        if (end == std::string_view::npos) return pieces;
        text.remove_prefix(end + 1);
    }
}

void checkFold(std::string_view raw) {
    const std::string got = filter::foldText(raw);
    const std::string want = reference::foldBytes(raw);
    FUZZ_CHECK(got == want, "foldText " + hex(raw) + ":\ngot  " + hex(got) + "\nwant " + hex(want));
}

std::string describeTerms(const std::vector<std::string>& terms) {
    std::string out;
    for (const std::string& term : terms) out += hex(term) + "\n";
    return out;
}

// One place where a term occurs in the folded text, in bytes.
struct Occurrence {
    std::size_t start = 0;
    std::size_t last = 0;  // its last byte
    bool kept = false;     // its term contains no other term
};

// The searched text is `copies` copies of one unit, the input's text and an
// LF; no term holds LF, so every copy holds the same occurrences and the
// reference is worked out on one copy only.
struct SearchCase {
    std::size_t copies = 1;
    std::string foldedUnit;               // one copy, folded, with its LF
    std::vector<Occurrence> occurrences;  // in one copy, by start
    // For the occurrences from index i on: the first last byte, and the
    // first start of a kept term's occurrence.
    std::vector<std::size_t> firstLastFrom;
    std::vector<std::size_t> firstKeptStartFrom;
    std::vector<std::string> keptTerms;  // sorted
    std::string folded;                  // all copies, without the last LF
    // For markHitLines: all copies as a joined list (every line followed by
    // LF), how many of its lines it looks at, and which lines of one copy
    // hold a term.
    std::string joined;
    std::int32_t lineLimit = 0;
    std::vector<bool> unitLineHits;
};

SearchCase makeSearchCase(const std::vector<std::u32string>& termUnits, std::string_view text,
                          std::size_t copies, std::uint8_t limitKind) {
    SearchCase c;
    c.copies = copies;
    const std::string unit = std::string(text) + "\n";
    const std::u32string hay = reference::foldUnits(unit);
    std::vector<std::size_t> offset;  // byte offset of each unit, and of the end
    for (const char32_t u : hay) {
        offset.push_back(c.foldedUnit.size());
        reference::encodeCodePoint(u, c.foldedUnit);
    }
    offset.push_back(c.foldedUnit.size());

    std::set<std::u32string> distinct;
    for (const std::u32string& term : termUnits) {
        if (!term.empty()) distinct.insert(term);
    }
    std::vector<std::pair<std::u32string, bool>> terms;
    for (const std::u32string& term : distinct) {
        const bool kept =
            std::none_of(distinct.begin(), distinct.end(), [&](const std::u32string& other) {
                return other != term && reference::contains(term, other);
            });
        terms.emplace_back(term, kept);
        if (kept) c.keptTerms.push_back(reference::encodeUnits(term));
    }
    std::sort(c.keptTerms.begin(), c.keptTerms.end());
    for (std::size_t at = 0; at < hay.size(); ++at) {
        for (const auto& [term, kept] : terms) {
            if (reference::occursAt(hay, term, at)) {
                c.occurrences.push_back({offset[at], offset[at + term.size()] - 1, kept});
            }
        }
    }
    const std::size_t count = c.occurrences.size();
    c.firstLastFrom.assign(count + 1, kNone);
    c.firstKeptStartFrom.assign(count + 1, kNone);
    for (std::size_t i = count; i-- > 0;) {
        const Occurrence& o = c.occurrences[i];
        c.firstLastFrom[i] = std::min(c.firstLastFrom[i + 1], o.last);
        c.firstKeptStartFrom[i] = o.kept ? o.start : c.firstKeptStartFrom[i + 1];
    }
    for (std::size_t n = 0; n < copies; ++n) {
        c.folded += c.foldedUnit;
        c.joined += unit;
    }
    c.folded.pop_back();

    const auto unitLines = static_cast<std::size_t>(std::count(unit.begin(), unit.end(), '\n'));
    const auto lines = static_cast<std::int32_t>(unitLines * copies);
    c.lineLimit = limitKind < 2 ? lines : limitKind == 2 ? lines - 1 : lines / 2;
    c.unitLineHits.assign(unitLines, false);
    for (const Occurrence& o : c.occurrences) {
        const auto line =
            std::count(c.foldedUnit.begin(),
                       c.foldedUnit.begin() + static_cast<std::ptrdiff_t>(o.start), '\n');
        c.unitLineHits[static_cast<std::size_t>(line)] = true;
    }
    return c;
}

struct Answer {
    std::size_t firstLast = kNone;
    std::size_t firstKeptStart = kNone;
};

// Over the occurrences that start at or after `cursor`.
Answer answerFrom(const SearchCase& c, std::size_t cursor) {
    const std::size_t period = c.foldedUnit.size();
    std::size_t copy = cursor / period;
    const std::size_t within = cursor % period;
    std::size_t i = static_cast<std::size_t>(
        std::partition_point(c.occurrences.begin(), c.occurrences.end(),
                             [&](const Occurrence& o) { return o.start < within; }) -
        c.occurrences.begin());
    if (i == c.occurrences.size()) {
        ++copy;  // none left in this copy: the next copy's first
        i = 0;
    }
    if (copy >= c.copies || i == c.occurrences.size()) return {};
    return {c.firstLastFrom[i] + copy * period, c.firstKeptStartFrom[i] + copy * period};
}

const char* engineName(search::TermEngine engine) {
    switch (engine) {
        case search::TermEngine::none:
            return "None";
        case search::TermEngine::dfa:
            return "Dfa";
        case search::TermEngine::pair:
            return "Pair";
        case search::TermEngine::teddy:
            return "Teddy";
    }
    return "?";
}

// Searches the folded text from each line after a hit, as the run does. The
// automaton must answer the last byte of the occurrence that ends first, the
// filter engines the first byte of the occurrence of a kept term that starts
// first; either way the line of the answer is the first line with a term.
void checkSearch(const search::TermSearch& search, const std::string& label, const SearchCase& c,
                 const std::vector<std::string>& terms, std::size_t shift) {
    std::vector<std::string> kept = search.terms;
    std::sort(kept.begin(), kept.end());
    FUZZ_CHECK(kept == c.keptTerms, label + ": kept terms\ngot\n" + describeTerms(kept) + "want\n" +
                                        describeTerms(c.keptTerms));

    // Exactly the text's bytes after the shift, so that reading past its end
    // is caught.
    const std::size_t size = c.folded.size();
    const std::unique_ptr<char[]> buffer(new char[shift + size]);
    std::fill(buffer.get(), buffer.get() + shift, '\n');
    std::copy(c.folded.begin(), c.folded.end(), buffer.get() + shift);
    const char* text = buffer.get() + shift;

    for (std::size_t cursor = 0;;) {
        const Answer answer = answerFrom(c, cursor);
        const std::size_t want =
            search.engine == search::TermEngine::dfa ? answer.firstLast : answer.firstKeptStart;
        const std::size_t offset = search::findOccurrence(search, text + cursor, size - cursor);
        const std::size_t got = offset == kNone ? kNone : cursor + offset;
        FUZZ_CHECK(got == want, label + " (engine " + engineName(search.engine) + "), from byte " +
                                    std::to_string(cursor) + ": got " +
                                    (got == kNone ? "none" : std::to_string(got)) + ", want " +
                                    (want == kNone ? "none" : std::to_string(want)) +
                                    "\nfolded text " + hex(c.folded) + "\nterms\n" +
                                    describeTerms(terms));
        if (got == kNone) return;
        const std::size_t lineFeed = c.folded.find('\n', got);
        if (lineFeed == std::string::npos) return;
        cursor = lineFeed + 1;
    }
}

// The lines markHitLines marks must be exactly those that hold a term,
// among the first lineLimit; the hits vector is as long as the run makes it.
void checkHitLines(const search::TermSearch& search, const search::TermSearch* rawSearch,
                   const std::string& label, const SearchCase& c,
                   const std::vector<std::string>& terms, search::FoldBuffer& buffer) {
    const auto limit = static_cast<std::size_t>(std::max(c.lineLimit, 0));
    search::LineHits hits(limit, 0);
    search::markHitLines(c.joined, c.lineLimit, search, rawSearch, hits, buffer);
    for (std::size_t line = 0; line < limit; ++line) {
        const bool want = c.unitLineHits[line % c.unitLineHits.size()];
        FUZZ_CHECK((hits[line] != 0) == want,
                   label + " (engine " + engineName(search.engine) +
                       (rawSearch ? ", unfolded blocks searched caseless" : "") +
                       "): markHitLines says line " + std::to_string(line) +
                       (hits[line] != 0 ? " holds" : " does not hold") + " a term (limit " +
                       std::to_string(c.lineLimit) + ", " + std::to_string(c.copies) +
                       " copies of " + hex(c.joined.substr(0, c.joined.size() / c.copies)) +
                       ")\nterms\n" + describeTerms(terms));
    }
}

// The shortest span at least the warm-up, or 0 (one stream) when `alone`.
std::uint32_t spanFor(const search::TermDfa& dfa, bool alone) {
    if (alone) return 0;
    for (const std::uint32_t span : {32u, 128u, 256u, 2048u}) {
        if (span >= dfa.warmUp) return span;
    }
    return 0;
}

void checkSearches(std::uint8_t options, std::uint8_t layout, const std::vector<std::string>& terms,
                   const std::vector<std::u32string>& termUnits, std::string_view text) {
    // The last choice makes the joined text longer than 256 KiB, so that
    // markHitLines folds and searches it in more than one block.
    static constexpr std::size_t kCopies[] = {1, 1, 1, 1, 4, 16, 64, 0};
    const std::size_t copies = kCopies[layout & 7u] > 0
                                   ? kCopies[layout & 7u]
                                   : (std::size_t{320} << 10) / (text.size() + 1) + 1;
    const SearchCase c =
        makeSearchCase(termUnits, text, copies, static_cast<std::uint8_t>((layout >> 3) & 3u));
    const std::size_t shift = options & 31u;
    search::FoldBuffer buffer{filter::blockFolding(), {}};  // kept between calls, as the run does
    // Each search also with its caseless twin (offered for terms of ASCII and
    // Latin-1 letters), which markHitLines uses on blocks that nothing folds
    // into those from beyond.
    const auto check = [&](const search::TermSearch& search,
                           const std::optional<search::TermSearch>& raw, const std::string& label) {
        if (c.folded.size() <= (std::size_t{128} << 10))
            checkSearch(search, label, c, terms, shift);
        checkHitLines(search, nullptr, label, c, terms, buffer);
        if (raw) checkHitLines(search, &*raw, label, c, terms, buffer);
    };
    // Every variant: the default search and the filter engines with each
    // instruction set's scans, and markHitLines with its block kernels.
    for (const simd::Isa isa : fuzzcheck::runnableIsas()) {
        simd::chooseIsa(isa);
        const std::string on = std::string(" on ") + simd::isaName(isa);
        check(search::buildTermSearch(terms), search::buildCaselessSearch(terms), "default" + on);
        // Long texts cost time: there one chosen engine is enough, or for the
        // longest the default one only.
        if (c.folded.size() > (std::size_t{128} << 10)) continue;
        std::vector<search::TermEngine> engines;
        for (const search::TermEngine engine :
             {search::TermEngine::pair, search::TermEngine::teddy}) {
            if (search::termEngineAvailable(engine)) engines.push_back(engine);
        }
        if (isa == simd::Isa::scalar) engines = {search::TermEngine::dfa};
        if (c.folded.size() > (std::size_t{16} << 10))
            engines = {engines[options % engines.size()]};
        for (const search::TermEngine engine : engines) {
            check(search::buildTermSearch(terms, {.engine = engine}),
                  search::buildCaselessSearch(terms, {.engine = engine}), "chosen" + on);
        }
    }
    if (c.folded.size() > (std::size_t{128} << 10)) return;

    // An automaton with only a few rows steps through the trie in deep states.
    const search::TermSearchOptions fewRows{.engine = search::TermEngine::dfa,
                                            .dfaBudgetBytes = 64};
    check(search::buildTermSearch(terms, fewRows), search::buildCaselessSearch(terms, fewRows),
          "budget 64");

    // One more automaton: another budget, and either one stream or the
    // shortest span its warm-up allows (many window and stream boundaries).
    static constexpr std::size_t kBudgets[] = {search::kTermDfaBudgetBytes, 300, 2048, 16384};
    const search::TermSearchOptions extraOptions{.engine = search::TermEngine::dfa,
                                                 .dfaBudgetBytes = kBudgets[(options >> 5) & 3u]};
    const bool alone = (options & 0x80) == 0;
    search::TermSearchOptions spanned = extraOptions;
    spanned.dfaSpan = spanFor(search::buildTermSearch(terms, extraOptions).dfa, alone);
    const search::TermSearch extra = search::buildTermSearch(terms, spanned);
    const std::optional<search::TermSearch> extraRaw = search::buildCaselessSearch(terms, spanned);
    check(extra, extraRaw,
          "budget " + std::to_string(extraOptions.dfaBudgetBytes) + ", span " +
              std::to_string(extra.dfa.span));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    constexpr std::size_t kOptionBytes = 2;
    if (size < kOptionBytes) return 0;
    const std::uint8_t options = input[0];
    const std::string_view rest(reinterpret_cast<const char*>(input) + kOptionBytes,
                                size - kOptionBytes);
    const std::size_t separator = rest.find('\x01');
    const std::string_view termBlock = rest.substr(0, separator);
    const std::string_view text =
        separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);

    std::vector<std::string_view> rawTerms = splitAtLineFeeds(termBlock);
    if (rawTerms.size() > kMaxTerms) rawTerms.resize(kMaxTerms);
    const std::vector<std::string_view> lines = splitAtLineFeeds(text);

    for (const simd::Isa isa : fuzzcheck::runnableIsas()) {
        simd::chooseIsa(isa);
        for (const std::string_view term : rawTerms) checkFold(term);
        for (const std::string_view line : lines) checkFold(line);
        checkFold(text);
    }

    // The folded terms as the run uses them: empty ones dropped.
    std::vector<std::string> terms;
    std::vector<std::u32string> termUnits;
    filter::ScratchList list;
    for (const std::string_view term : rawTerms) {
        filter::appendLine(list, term);
        if (term.empty()) continue;
        termUnits.push_back(reference::foldUnits(term));
        terms.push_back(reference::encodeUnits(termUnits.back()));
    }
    const std::vector<std::string> foldedTerms = filter::foldTerms(list);
    FUZZ_CHECK(foldedTerms == terms,
               "foldTerms:\ngot\n" + describeTerms(foldedTerms) + "want\n" + describeTerms(terms));

    const std::size_t lineChecks = std::min(lines.size(), kMaxLineChecks);
    std::vector<std::u32string> lineUnits;
    for (std::size_t i = 0; i < lineChecks; ++i)
        lineUnits.push_back(reference::foldUnits(lines[i]));
    const std::size_t termChecks = std::min(terms.size(), kMaxLineChecks);
    for (std::size_t i = 0; i < lineChecks; ++i) {
        const std::string foldedLine = filter::foldText(lines[i]);
        for (std::size_t j = 0; j < termChecks; ++j) {
            const bool want = reference::contains(lineUnits[i], termUnits[j]);
            FUZZ_CHECK(filter::containsText(foldedLine, terms[j]) == want,
                       "containsText " + hex(foldedLine) + " " + hex(terms[j]) + ": want " +
                           (want ? "true" : "false"));
        }
    }
    // Lines 2k and 2k+1 as a folder and its file name.
    const auto anyTerm = [&](const std::u32string& units) {
        return std::any_of(termUnits.begin(), termUnits.end(), [&](const std::u32string& term) {
            return reference::contains(units, term);
        });
    };
    for (std::size_t i = 0; i + 1 < lineChecks; i += 2) {
        const filter::PairHits hits = filter::pairMatches(terms, lines[i], lines[i + 1]);
        const bool folderWant = anyTerm(lineUnits[i]);
        const bool fileWant = anyTerm(lineUnits[i + 1]);
        FUZZ_CHECK(hits.folderHit == folderWant && hits.fileHit == fileWant,
                   "pairMatches " + hex(lines[i]) + " " + hex(lines[i + 1]) + ": got " +
                       std::to_string(hits.folderHit) + std::to_string(hits.fileHit) + " want " +
                       std::to_string(folderWant) + std::to_string(fileWant) + "\nterms\n" +
                       describeTerms(terms));
    }

    checkSearches(options, input[1], terms, termUnits, text);
    return 0;
}
