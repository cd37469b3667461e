// Multi-term search over folded text: where is the first place some term
// occurs? The answer is built once per run from the folded terms and then
// asked of whole blocks of folded text, so its cost per byte must not grow
// with the number of terms.
//
// findOccurrence returns an offset p inside some occurrence such that no
// occurrence lies wholly before p (every occurrence ends after p). Since no
// term holds LF, the line holding p is the first line holding an occurrence.
// The automaton engine returns the last byte of the occurrence that ends
// first; the filter engines return the first byte of the occurrence that
// starts first among the kept terms (see `terms` below).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simd/prefetch_queue.h"
#include "textio/large_buffer.h"

namespace search {

// The engines. The filter engines come in one variant per instruction set
// that has what they need (Pair: SSE2, Teddy: SSSE3), and each search takes
// the variant of the instruction set active when it is built
// (simd/dispatch.h).
enum class TermEngine : std::uint8_t {
    none,   // no terms: nothing ever occurs
    dfa,    // byte automaton, portable, any number of terms
    pair,   // a few terms: two anchor bytes per term, a vector of positions per step
    teddy,  // up to a few dozen terms: nibble fingerprints in 8 buckets
};

// Aho-Corasick automaton with the failure links compiled into full rows.
// A state id is the offset of its row in `next` (row index times
// classCount), so one step is one load. Reaching a term end leads to the
// absorbing state matchId; entering a state that has no row (beyond the
// memory budget) leads to the absorbing state deepId, after which the scan
// steps through the trie until it is back in a state with a row.
struct TermTrieNode {
    std::uint32_t firstChild = 0;  // children are consecutive, sorted by byte
    std::uint32_t childCount = 0;
    std::uint32_t fail = 0;     // longest proper suffix that is a node
    std::uint32_t stateId = 0;  // its row, or matchId, or deepId
    std::uint8_t byte = 0;      // the byte that leads here from the parent
};

// How text bytes compare with term bytes. Folded text is compared exactly.
// Raw text can be searched instead when every term is made of ASCII and
// two-byte Latin-1 letters (lead C3) only, and the text holds nothing that
// folds into those from beyond them: then each byte of A-Z and of 80..9E but
// 97 (the second bytes of the Latin-1 capitals À..Þ but ×) matches the byte
// 0x20 above it too, and every other byte only itself. In a term a second
// byte always follows C3, which the text must match exactly, so a byte 80..9E
// after another lead can never be taken for a Latin-1 capital.
enum class CaseMode : std::uint8_t {
    exact,
    caseless,
};

struct TermDfa {
    std::array<std::uint8_t, 256> byteClass{};
    CaseMode caseMode = CaseMode::exact;  // for steps through the trie
    std::uint32_t classCount = 1;
    // The rows, never changed once built: the caseless search of the same
    // terms shares them (its capitals join their small letters' classes).
    // Thousands of terms make megabytes of them, which in large pages cost
    // a page fault or two instead of hundreds.
    std::shared_ptr<const textio::LargeArray<std::uint32_t>> next;
    std::uint32_t rootId = 0;
    // The special states: ids from matchId on have no row of their own.
    std::uint32_t matchId = 0;
    std::uint32_t deepId = 0;
    // The deepest state without a match: a scan started this many bytes
    // early from the root is in the exact state from then on.
    std::uint32_t warmUp = 0;
    // Bytes per stream when several spans are scanned in lockstep: 32, 128,
    // 256 or 2048 and at least warmUp, or 0 to scan alone.
    std::uint32_t span = 0;
    std::vector<TermTrieNode> nodes;
    std::vector<std::uint32_t> rowNode;  // row index -> trie node
};

// One term for the pair filter: two of its bytes, chosen rare, at their
// offsets in the term.
struct TermAnchors {
    std::uint32_t term = 0;
    std::uint32_t nearOffset = 0;
    std::uint32_t farOffset = 0;
    std::uint8_t nearByte = 0;
    std::uint8_t farByte = 0;
};

// Teddy: each term is put in one of 8 buckets; for each of the first
// `fingerprint` bytes, lo[p][n] has bit b set when some term of bucket b has
// low nibble n at offset p (hi[p] likewise for the high nibble), and
// lowSeven[p][n] when one has a byte whose low seven bits are n there (for
// processors that look a byte up in a 128-byte table at once), for the
// offsets up to `narrowing` (the fingerprint, or past it up to the length
// half the terms reach): those scans narrow a step's marks with the offsets
// past the fingerprint before they confirm them. lowSix[p][n] likewise for
// the low six bits, in one 64-byte table: the scan of a 32-bit build looks
// bytes up there.
inline constexpr std::size_t kTeddyMaxFingerprint = 8;

struct TermTeddy {
    std::uint32_t fingerprint = 0;  // terms shorter than this accept anything past their end
    std::uint32_t narrowing = 0;    // at most kTeddyMaxFingerprint
    std::array<std::array<std::uint8_t, 16>, kTeddyMaxFingerprint> lo{};
    std::array<std::array<std::uint8_t, 16>, kTeddyMaxFingerprint> hi{};
    std::array<std::array<std::uint8_t, 128>, kTeddyMaxFingerprint> lowSeven{};
    std::array<std::array<std::uint8_t, 64>, kTeddyMaxFingerprint> lowSix{};
    std::array<std::vector<std::uint32_t>, 8> buckets;  // indexes into TermSearch::terms
};

struct TermSearch;

// One engine's scan: kNoOccurrence or an offset as findOccurrence gives it.
// Scans that compute more than they load ask for `ahead`'s bytes as they go.
using TermFinder = std::size_t (*)(const TermSearch& search, const unsigned char* text,
                                   std::size_t size, simd::PrefetchQueue& ahead);

// The first eight bytes of a kept term (all of a shorter one), to turn most
// candidates away with one compare: eight text bytes or'ed with caseBits and
// and'ed with `used` must equal `bytes`.
struct TermHead {
    std::uint64_t bytes = 0;
    std::uint64_t caseBits = 0;
    std::uint64_t used = 0;
};

struct TermSearch {
    TermEngine engine = TermEngine::none;
    TermFinder find = nullptr;  // the engine's scan, for this processor
    CaseMode caseMode = CaseMode::exact;
    bool latinTerms = false;  // caseless: some kept term holds a Latin-1 letter
    // The kept terms: duplicates dropped, and every term that contains
    // another dropped too (wherever it occurs, the shorter one occurs).
    std::vector<std::string> terms;
    // Caseless: for each kept term, 0x20 where its byte has a capital and 0
    // elsewhere; a text byte or'ed with it must equal the term byte.
    std::vector<std::string> caseMasks;
    std::vector<TermHead> heads;  // one per kept term, for the filter engines
    TermDfa dfa;
    std::vector<TermAnchors> anchors;
    TermTeddy teddy;
};

// Rows beyond this many bytes are left out of the automaton's table; the
// deeper states they would belong to are stepped through the trie instead.
inline constexpr std::size_t kTermDfaBudgetBytes = std::size_t{32} << 20;

// How a search is built. The defaults are the run's; tests choose an engine
// and a budget to drive every path.
struct TermSearchOptions {
    // The fastest for the term set when unset. An engine the active
    // instruction set cannot run is replaced by Dfa; with no terms the
    // engine is always None.
    std::optional<TermEngine> engine{};
    std::size_t dfaBudgetBytes = kTermDfaBudgetBytes;
    // The automaton's span (see TermDfa::span) when set: 0 scans in one
    // stream, and a short one puts many window boundaries in a short text.
    std::optional<std::uint32_t> dfaSpan{};
};

// Empty terms are ignored (they match nothing).
TermSearch buildTermSearch(const std::vector<std::string>& foldedTerms,
                           const TermSearchOptions& options = {});

// A search of raw text that matches capitals and small letters of ASCII and
// Latin-1 alike (CaseMode::caseless; terms are lowercased first). Only offered
// when every kept term is made of ASCII and C3 pairs: a term with other
// characters may meet a folded form that the raw text does not show.
std::optional<TermSearch> buildCaselessSearch(const std::vector<std::string>& foldedTerms,
                                              const TermSearchOptions& options = {});

// The same, given `folded`, which buildTermSearch made of the same terms
// with the same options: where lowercasing leaves the terms as they are
// (always, when a caseless search is offered) the automaton is not built
// again, and shares folded's rows.
std::optional<TermSearch> buildCaselessSearch(const TermSearch& folded,
                                              const std::vector<std::string>& foldedTerms,
                                              const TermSearchOptions& options = {});

// Whether the active instruction set runs the engine.
bool termEngineAvailable(TermEngine engine);

inline constexpr std::size_t kNoOccurrence = SIZE_MAX;

// kNoOccurrence when no term occurs in [text, text + size).
std::size_t findOccurrence(const TermSearch& search, const char* text, std::size_t size);

// The same, asking for the bytes of `ahead` meanwhile (see prefetch_queue.h).
std::size_t findOccurrence(const TermSearch& search, const char* text, std::size_t size,
                           simd::PrefetchQueue& ahead);

}  // namespace search
