#include "search/term_search.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "search/term_search_engines.h"
#include "search/term_search_kernels.h"
#include "simd/dispatch.h"

namespace search {
namespace {

// Up to this many terms the pair filter wins: its work grows with each term.
constexpr std::size_t kPairMaxTerms = 3;

const TermSearchKernels& activeKernels() {
    return termSearchKernels(simd::activeIsa());
}

TermEngine bestEngine(const TermSearch& search) {
    const std::size_t count = search.terms.size();
    const TermSearchKernels& kernels = activeKernels();
    if (count == 0) return TermEngine::none;
    if (count <= kPairMaxTerms && termEngineAvailable(TermEngine::pair)) return TermEngine::pair;
    if (count <= kernels.teddyMaxTerms && termEngineAvailable(TermEngine::teddy)) {
        return TermEngine::teddy;
    }
    return TermEngine::dfa;
}

std::size_t findWithDfaOf(const TermSearch& search, const unsigned char* text, std::size_t size,
                          simd::PrefetchQueue&) {
    return findWithDfa(search.dfa, text, size);
}

TermSearch buildBase(const std::vector<std::string>& foldedTerms,
                     const TermSearchOptions& options) {
    TermSearch search;
    buildTermDfa(foldedTerms, options.dfaBudgetBytes, search.dfa, search.terms);
    if (options.dfaSpan) search.dfa.span = *options.dfaSpan;
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

std::vector<std::string> lowercased(const std::vector<std::string>& foldedTerms) {
    std::vector<std::string> lowered = foldedTerms;
    for (std::string& term : lowered) {
        for (char& byte : term)
            byte = static_cast<char>(caselessByte(static_cast<unsigned char>(byte)));
    }
    return lowered;
}

// The automaton over lowercased terms (`search`, built of them), with each
// capital read as its small letter; nullopt when some kept term is not
// raw-comparable.
std::optional<TermSearch> caselessOf(TermSearch search) {
    if (!std::all_of(search.terms.begin(), search.terms.end(), rawComparable)) return std::nullopt;
    search.caseMode = CaseMode::caseless;
    search.dfa.caseMode = CaseMode::caseless;
    for (const std::string& term : search.terms) {
        std::string& mask = search.caseMasks.emplace_back(term.size(), '\0');
        for (std::size_t i = 0; i < term.size(); ++i) {
            if (hasCapital(static_cast<unsigned char>(term[i]))) mask[i] = 0x20;
        }
    }
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

std::vector<TermHead> termHeads(const TermSearch& search) {
    std::vector<TermHead> heads;
    for (std::size_t index = 0; index < search.terms.size(); ++index) {
        const std::string& term = search.terms[index];
        std::array<char, 8> bytes{};
        std::array<char, 8> caseBits{};
        std::array<char, 8> used{};
        for (std::size_t i = 0; i < std::min<std::size_t>(term.size(), 8); ++i) {
            bytes[i] = term[i];
            if (search.caseMode == CaseMode::caseless) caseBits[i] = search.caseMasks[index][i];
            used[i] = static_cast<char>(0xFF);
        }
        TermHead& head = heads.emplace_back();
        std::memcpy(&head.bytes, bytes.data(), sizeof head.bytes);
        std::memcpy(&head.caseBits, caseBits.data(), sizeof head.caseBits);
        std::memcpy(&head.used, used.data(), sizeof head.used);
    }
    return heads;
}

void prepareEngine(TermSearch& search, std::optional<TermEngine> wanted) {
    TermEngine engine = wanted.value_or(bestEngine(search));
    if (search.terms.empty()) {
        engine = TermEngine::none;
    } else if (engine == TermEngine::none || !termEngineAvailable(engine)) {
        engine = TermEngine::dfa;
    }
    search.engine = engine;
    const auto mode = static_cast<std::size_t>(search.caseMode);
    switch (engine) {
        case TermEngine::none:
            search.find = nullptr;
            break;
        case TermEngine::dfa:
            search.find = findWithDfaOf;
            break;
        case TermEngine::pair:
            search.heads = termHeads(search);
            search.anchors = buildTermAnchors(search.terms);
            search.find = activeKernels().pair[mode];
            break;
        case TermEngine::teddy:
            search.heads = termHeads(search);
            search.teddy = buildTermTeddy(search.terms, search.caseMode);
            search.find = activeKernels().teddy[mode][search.teddy.fingerprint - 1];
            break;
    }
}

}  // namespace

TermSearch buildTermSearch(const std::vector<std::string>& foldedTerms,
                           const TermSearchOptions& options) {
    TermSearch search = buildBase(foldedTerms, options);
    prepareEngine(search, options.engine);
    return search;
}

namespace {

// The caseless search over `base`, the automaton of the lowercased terms.
std::optional<TermSearch> caselessSearchOf(TermSearch base, const TermSearchOptions& options) {
    std::optional<TermSearch> search = caselessOf(std::move(base));
    if (search) prepareEngine(*search, options.engine);
    return search;
}

}  // namespace

std::optional<TermSearch> buildCaselessSearch(const std::vector<std::string>& foldedTerms,
                                              const TermSearchOptions& options) {
    return caselessSearchOf(buildBase(lowercased(foldedTerms), options), options);
}

std::optional<TermSearch> buildCaselessSearch(const TermSearch& folded,
                                              const std::vector<std::string>& foldedTerms,
                                              const TermSearchOptions& options) {
    const std::vector<std::string> lowered = lowercased(foldedTerms);
    if (lowered != foldedTerms) return caselessSearchOf(buildBase(lowered, options), options);
    TermSearch base;
    base.terms = folded.terms;
    base.dfa = folded.dfa;
    return caselessSearchOf(std::move(base), options);
}

bool termEngineAvailable(TermEngine engine) {
    switch (engine) {
        case TermEngine::none:
        case TermEngine::dfa:
            return true;
        case TermEngine::pair:
            return activeKernels().pair[0] != nullptr;
        case TermEngine::teddy:
            return activeKernels().teddy[0][0] != nullptr;
    }
    return false;
}

std::size_t findOccurrence(const TermSearch& search, const char* text, std::size_t size) {
    simd::PrefetchQueue none;
    return findOccurrence(search, text, size, none);
}

std::size_t findOccurrence(const TermSearch& search, const char* text, std::size_t size,
                           simd::PrefetchQueue& ahead) {
    if (search.find == nullptr) return kNoOccurrence;
    return search.find(search, reinterpret_cast<const unsigned char*>(text), size, ahead);
}

}  // namespace search
