// The pieces behind term_search.h: how each engine is built and scanned.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "search/term_search.h"
#include "simd/mask_bits.h"

namespace search {

// Builds the automaton and fills `kept` with the terms that matter: no
// duplicates, none containing another.
void buildTermDfa(const std::vector<std::string>& terms, std::size_t budgetBytes, TermDfa& dfa,
                  std::vector<std::string>& kept);

// The state after `node` reads `byte`, through children and failure links.
std::uint32_t trieStep(const std::vector<TermTrieNode>& nodes, std::uint32_t node,
                       std::uint8_t byte);

// The span findWithDfa is built with for a given warm-up.
std::uint32_t termDfaSpan(std::uint32_t warmUp);

std::size_t findWithDfa(const TermDfa& dfa, const unsigned char* text, std::size_t size);

std::vector<TermAnchors> buildTermAnchors(const std::vector<std::string>& terms);
// With CaseMode::caseless the masks let capitals of term letters through too.
TermTeddy buildTermTeddy(const std::vector<std::string>& terms, CaseMode caseMode);

// Whether `term` occurs at `pos` (pos < size), given that its first `from`
// bytes do.
inline bool termAt(const std::string& term, const unsigned char* text, std::size_t size,
                   std::size_t pos, std::size_t from = 0) {
    return term.size() <= size - pos &&
           std::memcmp(text + pos + from, term.data() + from, term.size() - from) == 0;
}

// A text byte as a caseless search compares it: A-Z and the second bytes of
// the Latin-1 capitals (80..9E but 97) get bit 5, which makes them their
// small letters; every other byte stays.
inline unsigned char caselessByte(unsigned char byte) {
    const bool capital = static_cast<unsigned>(byte - 'A') < 26u ||
                         (static_cast<unsigned>(byte - 0x80) < 0x1Fu && byte != 0x97);
    return capital ? static_cast<unsigned char>(byte | 0x20u) : byte;
}

// Whether a term byte also matches the text byte 0x20 below it in a caseless
// search: a-z and A0..BE but B7.
inline bool hasCapital(unsigned char byte) {
    return caselessByte(static_cast<unsigned char>(byte ^ 0x20u)) == byte && (byte & 0x20u) != 0;
}

// The same as termAt for a lowercase term in raw text, capitals read as
// small letters: each text byte or'ed with the term's case mask (see
// TermSearch::caseMasks) must equal the term's byte, eight at a time.
inline bool termAtCaseless(const std::string& term, const std::string& mask,
                           const unsigned char* text, std::size_t size, std::size_t pos,
                           std::size_t from = 0) {
    const std::size_t length = term.size();
    if (length > size - pos) return false;
    std::size_t i = from;
    for (; length - i >= 8; i += 8) {
        std::uint64_t bytes;
        std::uint64_t want;
        std::uint64_t capitals;
        std::memcpy(&bytes, text + pos + i, sizeof bytes);
        std::memcpy(&want, term.data() + i, sizeof want);
        std::memcpy(&capitals, mask.data() + i, sizeof capitals);
        if ((bytes | capitals) != want) return false;
    }
    for (; i < length; ++i) {
        if ((text[pos + i] | static_cast<unsigned char>(mask[i])) !=
            static_cast<unsigned char>(term[i]))
            return false;
    }
    return true;
}

// Whether the eight text bytes at `at` begin as `head` says. A 32-bit build
// compares them by 32-bit halves: as one 64-bit value they went through a
// vector register and back, a chain of transfers before every branch.
inline bool headMatches(const TermHead& head, const unsigned char* at) {
    if constexpr (sizeof(std::size_t) == 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, at, sizeof bytes);
        return ((bytes | head.caseBits) & head.used) == head.bytes;
    } else {
        std::uint32_t half[2];
        std::memcpy(half, at, sizeof half);
        std::uint32_t differ = 0;
        for (unsigned i = 0; i < 2; ++i) {
            const auto shift = 32 * i;
            differ |= ((half[i] | static_cast<std::uint32_t>(head.caseBits >> shift)) &
                       static_cast<std::uint32_t>(head.used >> shift)) ^
                      static_cast<std::uint32_t>(head.bytes >> shift);
        }
        return differ == 0;
    }
}

// Whether kept term `index` occurs at `pos` as the search compares. Most
// candidates of the filter engines are not hits: their term's head turns
// them away first.
template <CaseMode Mode>
inline bool keptTermAt(const TermSearch& search, std::size_t index, const unsigned char* text,
                       std::size_t size, std::size_t pos) {
    const std::string& term = search.terms[index];
    std::size_t checked = 0;
    if (size - pos >= sizeof(std::uint64_t)) {
        if (!headMatches(search.heads[index], text + pos)) return false;
        // The head is all of a short term.
        if (term.size() <= sizeof(std::uint64_t)) return true;
        checked = sizeof(std::uint64_t);
    }
    if constexpr (Mode == CaseMode::exact) {
        return termAt(term, text, size, pos, checked);
    } else {
        return termAtCaseless(term, search.caseMasks[index], text, size, pos, checked);
    }
}

// The byte the trie steps on: capitals as small letters in caseless mode.
inline std::uint8_t trieByte(const TermDfa& dfa, std::uint8_t byte) {
    return dfa.caseMode == CaseMode::caseless ? caselessByte(byte) : byte;
}

// ---- What the filter engines' kernels share ----

// In caseless mode an anchor that has a capital is compared after setting
// bit 5 of the text byte, which turns only that capital into it; other
// anchors exactly.
inline std::uint8_t anchorCaseBit(std::uint8_t anchorByte) {
    return hasCapital(anchorByte) ? 0x20 : 0;
}

inline std::size_t anchorReach(const TermSearch& search) {
    std::size_t reach = 0;
    for (const TermAnchors& anchor : search.anchors) {
        reach = std::max<std::size_t>(reach, anchor.farOffset);
    }
    return reach;
}

// The last bytes of a text, copied into a zeroed buffer so that a vector
// load never reads past the text. Marks found there are checked on the text.
// Loads reach a vector (up to 64 bytes) past an anchor or fingerprint offset.
inline constexpr std::size_t kTailPadding = 128;
static_assert(kTailPadding >= 64 + 16 && kTailPadding >= 64 + kTeddyMaxFingerprint);

struct TextTail {
    alignas(64) unsigned char bytes[kTailPadding];
};

inline void fillTail(TextTail& tail, const unsigned char* text, std::size_t size, std::size_t at) {
    std::fill(tail.bytes, tail.bytes + kTailPadding, static_cast<unsigned char>(0));
    std::copy(text + at, text + std::min(size, at + kTailPadding), tail.bytes);
}

// Checks the marked positions base + j in ascending order against every
// term of the pair filter.
template <CaseMode Mode>
std::size_t confirmPairs(const TermSearch& search, const unsigned char* text, std::size_t size,
                         std::size_t base, std::uint64_t marks) {
    while (marks != 0) {
        const std::size_t pos = base + simd::lowestSetBit(marks);
        if (pos >= size) return kNoOccurrence;
        for (const TermAnchors& anchor : search.anchors) {
            if (keptTermAt<Mode>(search, anchor.term, text, size, pos)) return pos;
        }
        marks &= marks - 1;
    }
    return kNoOccurrence;
}

// The same for Teddy, for a machine word of marks: buckets[j] holds the
// buckets whose fingerprint matched at base + j.
template <CaseMode Mode>
std::size_t confirmTeddy(const TermSearch& search, const unsigned char* text, std::size_t size,
                         std::size_t base, std::size_t marks, const std::uint8_t* buckets) {
    while (marks != 0) {
        const auto j = static_cast<unsigned>(std::countr_zero(marks));
        const std::size_t pos = base + j;
        if (pos >= size) return kNoOccurrence;
        unsigned set = buckets[j];
        while (set != 0) {
            const unsigned bucket = static_cast<unsigned>(__builtin_ctz(set));
            for (const std::uint32_t term : search.teddy.buckets[bucket]) {
                if (keptTermAt<Mode>(search, term, text, size, pos)) return pos;
            }
            set &= set - 1;
        }
        marks &= marks - 1;
    }
    return kNoOccurrence;
}

}  // namespace search
