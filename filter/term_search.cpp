#include "filter/term_search.h"

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
        search.teddy = buildTermTeddy(search.terms);
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
