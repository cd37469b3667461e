#include "filter/term_search.h"

#include <algorithm>

#include "filter/term_search_engines.h"

namespace filter {
namespace {

// Up to this many terms the pair filter wins: its work grows with each term.
constexpr std::size_t kPairMaxTerms = 3;
// Teddy has 8 buckets; past this many terms they let too much through and
// the automaton is faster (sooner with 16 positions per step than with 32).
constexpr std::size_t kTeddyAvx2MaxTerms = 64;
constexpr std::size_t kTeddySsse3MaxTerms = 40;

TermEngine bestEngine(const TermSearch& search) {
    const std::size_t count = search.terms.size();
    if (count == 0) return TermEngine::None;
    if (count <= kPairMaxTerms) {
        if (simdEngineAvailable(TermEngine::PairAvx2)) return TermEngine::PairAvx2;
        if (simdEngineAvailable(TermEngine::PairSse2)) return TermEngine::PairSse2;
    }
    if (count <= kTeddyAvx2MaxTerms && simdEngineAvailable(TermEngine::TeddyAvx2)) {
        return TermEngine::TeddyAvx2;
    }
    if (count <= kTeddySsse3MaxTerms && simdEngineAvailable(TermEngine::TeddySsse3)) {
        return TermEngine::TeddySsse3;
    }
    return TermEngine::Dfa;
}

TermSearch buildBase(const std::vector<std::string>& foldedTerms, std::size_t dfaBudgetBytes) {
    TermSearch search;
    buildTermDfa(foldedTerms, dfaBudgetBytes, search.dfa, search.terms);
    return search;
}

bool pureAscii(const std::string& term) {
    return std::all_of(term.begin(), term.end(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

// The automaton over lowercased terms, with each capital read as its small
// letter; nullopt when some kept term is not pure ASCII.
std::optional<TermSearch> buildCaselessBase(const std::vector<std::string>& foldedTerms,
                                            std::size_t dfaBudgetBytes) {
    std::vector<std::string> lowered = foldedTerms;
    for (std::string& term : lowered) {
        for (char& byte : term)
            byte = static_cast<char>(asciiLower(static_cast<unsigned char>(byte)));
    }
    TermSearch search = buildBase(lowered, dfaBudgetBytes);
    if (!std::all_of(search.terms.begin(), search.terms.end(), pureAscii)) return std::nullopt;
    search.caseMode = CaseMode::AsciiCaseless;
    search.dfa.caseMode = CaseMode::AsciiCaseless;
    // No term holds a capital, so each one is still in the class of bytes
    // on no edge, and can join its small letter's class.
    for (unsigned byte = 'A'; byte <= 'Z'; ++byte) {
        search.dfa.byteClass[byte] = search.dfa.byteClass[byte | 0x20u];
    }
    return search;
}

void prepareEngine(TermSearch& search, TermEngine engine) {
    if (search.terms.empty()) {
        engine = TermEngine::None;
    } else if (engine == TermEngine::None || !termEngineAvailable(engine)) {
        engine = TermEngine::Dfa;
    }
    search.engine = engine;
    if (engine == TermEngine::PairSse2 || engine == TermEngine::PairAvx2) {
        search.anchors = buildTermAnchors(search.terms);
    } else if (engine == TermEngine::TeddySsse3 || engine == TermEngine::TeddyAvx2) {
        search.teddy = buildTermTeddy(search.terms, search.caseMode);
    }
}

}  // namespace

TermSearch buildTermSearch(const std::vector<std::string>& foldedTerms) {
    TermSearch search = buildBase(foldedTerms, kTermDfaBudgetBytes);
    prepareEngine(search, bestEngine(search));
    return search;
}

TermSearch buildTermSearch(const std::vector<std::string>& foldedTerms, TermEngine engine,
                           std::size_t dfaBudgetBytes) {
    TermSearch search = buildBase(foldedTerms, dfaBudgetBytes);
    prepareEngine(search, engine);
    return search;
}

std::optional<TermSearch> buildAsciiCaselessSearch(const std::vector<std::string>& foldedTerms) {
    std::optional<TermSearch> search = buildCaselessBase(foldedTerms, kTermDfaBudgetBytes);
    if (search) prepareEngine(*search, bestEngine(*search));
    return search;
}

std::optional<TermSearch> buildAsciiCaselessSearch(const std::vector<std::string>& foldedTerms,
                                                   TermEngine engine, std::size_t dfaBudgetBytes) {
    std::optional<TermSearch> search = buildCaselessBase(foldedTerms, dfaBudgetBytes);
    if (search) prepareEngine(*search, engine);
    return search;
}

bool termEngineAvailable(TermEngine engine) {
    if (engine == TermEngine::None || engine == TermEngine::Dfa) return true;
    return simdEngineAvailable(engine);
}

std::size_t findOccurrence(const TermSearch& search, const char* text, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    switch (search.engine) {
        case TermEngine::None:
            return kNoOccurrence;
        case TermEngine::Dfa:
            return findWithDfa(search.dfa, bytes, size);
        case TermEngine::PairSse2:
            return findWithPairSse2(search, bytes, size);
        case TermEngine::PairAvx2:
            return findWithPairAvx2(search, bytes, size);
        case TermEngine::TeddySsse3:
            return findWithTeddySsse3(search, bytes, size);
        case TermEngine::TeddyAvx2:
            return findWithTeddyAvx2(search, bytes, size);
    }
    return kNoOccurrence;
}

}  // namespace filter
