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

// Whether raw text can show every folded form of the term: ASCII bytes and
// C3 pairs only, none of them a capital.
bool rawComparable(const std::string& term) {
    for (std::size_t i = 0; i < term.size(); ++i) {
        const auto byte = static_cast<unsigned char>(term[i]);
        if (byte < 0x80) {
            if (caselessByte(byte) != byte) return false;
            continue;
        }
        if (byte != 0xC3 || i + 1 == term.size()) return false;
        const auto second = static_cast<unsigned char>(term[++i]);
        if ((second & 0xC0u) != 0x80u || caselessByte(second) != second) return false;
    }
    return true;
}

// The automaton over lowercased terms, with each capital read as its small
// letter; nullopt when some kept term is not raw-comparable.
std::optional<TermSearch> buildCaselessBase(const std::vector<std::string>& foldedTerms,
                                            std::size_t dfaBudgetBytes) {
    std::vector<std::string> lowered = foldedTerms;
    for (std::string& term : lowered) {
        for (char& byte : term)
            byte = static_cast<char>(caselessByte(static_cast<unsigned char>(byte)));
    }
    TermSearch search = buildBase(lowered, dfaBudgetBytes);
    if (!std::all_of(search.terms.begin(), search.terms.end(), rawComparable)) return std::nullopt;
    search.caseMode = CaseMode::Caseless;
    search.dfa.caseMode = CaseMode::Caseless;
    search.latinTerms = std::any_of(search.terms.begin(), search.terms.end(), [](const auto& term) {
        return std::any_of(term.begin(), term.end(),
                           [](char byte) { return static_cast<unsigned char>(byte) >= 0x80; });
    });
    // No term holds a capital byte, so each one is still in the class of
    // bytes on no edge, and can join its small letter's class.
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned char small = caselessByte(static_cast<unsigned char>(byte));
        if (small != byte) search.dfa.byteClass[byte] = search.dfa.byteClass[small];
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

std::optional<TermSearch> buildCaselessSearch(const std::vector<std::string>& foldedTerms) {
    std::optional<TermSearch> search = buildCaselessBase(foldedTerms, kTermDfaBudgetBytes);
    if (search) prepareEngine(*search, bestEngine(*search));
    return search;
}

std::optional<TermSearch> buildCaselessSearch(const std::vector<std::string>& foldedTerms,
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
