// The pieces behind term_search.h: how each engine is built and scanned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "filter/term_search.h"

namespace filter {

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
// With CaseMode::Caseless the masks let capitals of term letters through too.
TermTeddy buildTermTeddy(const std::vector<std::string>& terms, CaseMode caseMode);

// Whether this build and this processor can run a filter engine.
bool simdEngineAvailable(TermEngine engine);

std::size_t findWithPairSse2(const TermSearch& search, const unsigned char* text, std::size_t size);
std::size_t findWithPairAvx2(const TermSearch& search, const unsigned char* text, std::size_t size);
std::size_t findWithTeddySsse3(const TermSearch& search, const unsigned char* text,
                               std::size_t size);
std::size_t findWithTeddyAvx2(const TermSearch& search, const unsigned char* text,
                              std::size_t size);

// Whether `term` occurs at `pos` (pos < size).
inline bool termAt(const std::string& term, const unsigned char* text, std::size_t size,
                   std::size_t pos) {
    return term.size() <= size - pos && std::memcmp(text + pos, term.data(), term.size()) == 0;
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

// The same as termAt for a lowercase term in raw text, capitals read as small letters.
inline bool termAtCaseless(const std::string& term, const unsigned char* text, std::size_t size,
                           std::size_t pos) {
    if (term.size() > size - pos) return false;
    for (std::size_t i = 0; i < term.size(); ++i) {
        if (caselessByte(text[pos + i]) != static_cast<unsigned char>(term[i])) return false;
    }
    return true;
}

template <CaseMode Mode>
inline bool termAtIn(const std::string& term, const unsigned char* text, std::size_t size,
                     std::size_t pos) {
    if constexpr (Mode == CaseMode::Exact) {
        return termAt(term, text, size, pos);
    } else {
        return termAtCaseless(term, text, size, pos);
    }
}

// The byte the trie steps on: capitals as small letters in caseless mode.
inline std::uint8_t trieByte(const TermDfa& dfa, std::uint8_t byte) {
    return dfa.caseMode == CaseMode::Caseless ? caselessByte(byte) : byte;
}

}  // namespace filter
