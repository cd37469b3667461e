#include "search/term_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "isa_variants.h"
#include "search/term_search_kernels.h"
#include "tests/support/seeded_random.h"

namespace search {
namespace {

constexpr std::size_t kNone = SIZE_MAX;

// Pieces that texts and terms are made of: a small alphabet, so that terms
// occur often, with multibyte letters and escape units.
const std::vector<std::string> kUnits = {
    "a",
    "b",
    "c",
    "e",
    " ",
    "\\",
    ".",
    "\xC3\xA3",          // ã
    "\xC3\xA7",          // ç
    "\xC3\xA9",          // é
    "\xED\xB2\x80",      // escape unit for byte 80
    "\xED\xB3\xBF",      // escape unit for byte FF
    "\xF0\x90\x90\xA8",  // a letter beyond the 16-bit range
};

// What a plain search says about the terms in a text.
struct Reference {
    std::size_t firstEnd = kNone;    // last byte of the occurrence that ends first
    std::size_t firstStart = kNone;  // start of the first occurrence of a kept term
};

// Whether each term contains no other term (the terms that decide where
// the first occurrence starts).
std::vector<bool> keptTerms(const std::vector<std::string>& terms) {
    std::vector<bool> kept;
    for (const std::string& term : terms) {
        kept.push_back(std::none_of(terms.begin(), terms.end(), [&](const std::string& other) {
            return !other.empty() && other != term && term.find(other) != std::string::npos;
        }));
    }
    return kept;
}

Reference reference(const std::vector<std::string>& terms, const std::vector<bool>& kept,
                    std::string_view text) {
    Reference ref;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (terms[i].empty()) continue;
        const std::size_t at = text.find(terms[i]);
        if (at == std::string_view::npos) continue;
        ref.firstEnd = std::min(ref.firstEnd, at + terms[i].size() - 1);
        if (kept[i]) ref.firstStart = std::min(ref.firstStart, at);
    }
    return ref;
}

bool covered(const std::vector<std::string>& terms, std::string_view text, std::size_t pos) {
    return std::any_of(terms.begin(), terms.end(), [&](const std::string& term) {
        if (term.empty()) return false;
        const std::size_t from = pos + 1 >= term.size() ? pos + 1 - term.size() : 0;
        const std::size_t at = text.find(term, from);
        return at != std::string_view::npos && at <= pos;
    });
}

bool startsAt(const std::vector<std::string>& terms, std::string_view text, std::size_t pos) {
    return std::any_of(terms.begin(), terms.end(), [&](const std::string& term) {
        return !term.empty() && text.substr(pos).starts_with(term);
    });
}

struct Generator : test_support::SeededRandom {
    Generator() : SeededRandom(20240611u) {}

    std::string unitString(std::size_t units, std::size_t alphabet) {
        std::string out;
        for (std::size_t i = 0; i < units; ++i) out += kUnits[below(alphabet)];
        return out;
    }

    std::string term(const std::vector<std::string>& earlier, std::size_t alphabet) {
        const std::size_t kind = below(10);
        if (kind == 0 && !earlier.empty()) return earlier[below(earlier.size())];  // repeat
        if (kind == 1 && !earlier.empty()) {  // a piece of an earlier term, or one around it
            const std::string& other = earlier[below(earlier.size())];
            if (below(2) == 0 && !other.empty()) {
                const std::size_t from = below(other.size());
                return other.substr(from, 1 + below(other.size() - from));
            }
            return unitString(below(2), alphabet) + other + unitString(below(2), alphabet);
        }
        if (kind == 2)
            return std::string(1, static_cast<char>(kUnits[below(kUnits.size())][below(2)]));
        if (kind == 3) return "";  // matches nothing
        std::string out = unitString(1 + below(6), alphabet);
        return out.substr(0, 20);
    }

    std::vector<std::string> terms() {
        static constexpr std::size_t kCounts[] = {1, 1, 2, 3, 4, 8, 20, 40, 100};
        const std::size_t count = kCounts[below(std::size(kCounts))];
        const std::size_t alphabet = 3 + below(kUnits.size() - 2);
        std::vector<std::string> out;
        while (out.size() < count) out.push_back(term(out, alphabet));
        return out;
    }

    // Either dense random text, or quiet filler full of beginnings of terms
    // (so that the automaton is often deep where a scan is cut) with a few
    // whole terms put in; both cut into lines now and then.
    std::string text(const std::vector<std::string>& terms) {
        static constexpr std::size_t kLengths[] = {0, 1, 7, 40, 200, 1500, 5000};
        const std::size_t length = kLengths[below(std::size(kLengths))] + below(64);
        std::string out;
        const bool quiet = below(2) == 0;
        while (out.size() < length) {
            if (below(40) == 0) {
                out += '\n';
            } else if (!quiet) {
                out += kUnits[below(kUnits.size())];
            } else if (below(3) == 0) {
                const std::string& term = terms[below(terms.size())];
                out.append(term, 0, term.empty() ? 0 : below(term.size()));
            } else {
                out += "xyz0123_"[below(8)];
            }
        }
        if (quiet) {
            // Often near the end, where the last window meets the rest.
            for (std::size_t n = below(4); n > 0; --n) {
                const std::size_t at =
                    below(2) == 0 ? below(out.size() + 1)
                                  : out.size() - below(std::min<std::size_t>(out.size(), 300) + 1);
                out.insert(at, terms[below(terms.size())]);
            }
        }
        return out;
    }
};

// One engine in one of its variants: the automaton is portable, the filter
// engines come once per instruction set that has what they need.
struct EngineVariant {
    TermEngine engine;
    simd::Isa isa;
};

std::vector<EngineVariant> engineVariants() {
    std::vector<EngineVariant> variants = {{TermEngine::dfa, simd::Isa::scalar}};
    for (const simd::Isa isa : testing_isa::distinctVariants(termSearchKernels)) {
        const testing_isa::ScopedIsa use(isa);
        for (const TermEngine engine : {TermEngine::pair, TermEngine::teddy}) {
            if (termEngineAvailable(engine)) variants.push_back({engine, isa});
        }
    }
    return variants;
}

std::string variantName(const EngineVariant& variant) {
    static constexpr const char* kNames[] = {"none", "dfa", "pair", "teddy"};
    return std::string(kNames[static_cast<int>(variant.engine)]) + "/" + simd::isaName(variant.isa);
}

// A search that runs the variant's scan whatever is active later.
TermSearch buildVariant(const std::vector<std::string>& terms, const EngineVariant& variant) {
    const testing_isa::ScopedIsa use(variant.isa);
    return buildTermSearch(terms, {.engine = variant.engine});
}

TermSearch buildCaselessVariant(const std::vector<std::string>& terms,
                                const EngineVariant& variant) {
    const testing_isa::ScopedIsa use(variant.isa);
    return buildCaselessSearch(terms, {.engine = variant.engine}).value();
}

constexpr TermSearchOptions kFewRows{.engine = TermEngine::dfa, .dfaBudgetBytes = 64};
const TermSearchOptions kShortSpan{.engine = TermEngine::dfa, .dfaSpan = 32};
const TermSearchOptions kFewRowsShortSpan{
    .engine = TermEngine::dfa, .dfaBudgetBytes = 64, .dfaSpan = 32};

bool startsFirst(TermEngine engine) {
    return engine != TermEngine::dfa && engine != TermEngine::none;
}

// Runs the search on a copy of the text at a given misalignment, followed by
// bytes of a term that must not be seen; without them, the copy ends where
// the text does, so that a sanitizer build catches any read past it.
std::size_t searchCopy(const TermSearch& search, std::string_view text, std::size_t shift,
                       const std::string& after) {
    std::vector<char> buffer(shift, 'q');
    buffer.insert(buffer.end(), text.begin(), text.end());
    buffer.insert(buffer.end(), after.begin(), after.end());
    return findOccurrence(search, buffer.data() + shift, text.size());
}

// Empty when the answer is right; otherwise what is wrong with it.
std::string checkAnswer(const std::vector<std::string>& terms, std::string_view text,
                        const Reference& ref, TermEngine engine, std::size_t got) {
    if (ref.firstEnd == kNone) return got == kNone ? "" : "found a term where none occurs";
    if (got == kNone) return "missed every occurrence";
    if (got >= text.size()) return "answer past the text";
    if (!covered(terms, text, got)) return "no occurrence covers the answer";
    if (ref.firstEnd < got) return "an occurrence ends before the answer";
    if (startsFirst(engine)) {
        if (!startsAt(terms, text, got)) return "no occurrence starts at the answer";
        if (got != ref.firstStart) return "not the first start of a kept term";
    } else if (got != ref.firstEnd) {
        return "not the end of the occurrence that ends first";
    }
    return "";
}

std::string describe(const std::vector<std::string>& terms, std::string_view text,
                     const std::string& search, std::size_t got) {
    std::string out = "search " + search + ", answer " + std::to_string(got) + "\nterms:";
    for (const std::string& term : terms) out += " [" + term + "]";
    out += "\ntext: [" + std::string(text) + "]";
    return out;
}

// The name of search i of a round: the variants first, then the others.
std::string searchName(const std::vector<EngineVariant>& variants, std::size_t i) {
    return i < variants.size() ? variantName(variants[i]) : "extra " + std::to_string(i);
}

TEST(TermSearch, AgreesWithPlainSearchOnRandomInput) {
    Generator gen;
    const std::vector<EngineVariant> variants = engineVariants();
    for (int round = 0; round < 1600; ++round) {
        const std::vector<std::string> terms = gen.terms();
        std::vector<TermSearch> searches;
        for (const EngineVariant& variant : variants)
            searches.push_back(buildVariant(terms, variant));
        searches.push_back(buildTermSearch(terms));
        // A budget of a few rows leaves most states without one.
        searches.push_back(buildTermSearch(terms, kFewRows));
        // Short spans put many window and stream boundaries into a short text.
        searches.push_back(buildTermSearch(terms, kShortSpan));
        searches.push_back(buildTermSearch(terms, kFewRowsShortSpan));
        const std::vector<bool> kept = keptTerms(terms);
        for (int sample = 0; sample < 4; ++sample) {
            const std::string text = gen.text(terms);
            const Reference ref = reference(terms, kept, text);
            const std::string after = sample % 2 == 0 ? terms[gen.below(terms.size())] : "";
            for (std::size_t i = 0; i < searches.size(); ++i) {
                const TermSearch& search = searches[i];
                const std::size_t got = searchCopy(search, text, gen.below(32), after);
                const std::string fault = checkAnswer(terms, text, ref, search.engine, got);
                ASSERT_EQ(fault, "") << describe(terms, text, searchName(variants, i), got);
            }
        }
    }
}

// ---- Raw text, ASCII and Latin-1 letters matched regardless of case ----

// The capitals a caseless search reads as small letters: A-Z, and the second
// bytes 80..9E of À..Þ but × (97), whatever byte comes before.
unsigned char caselessLower(unsigned char byte) {
    if (byte >= 'A' && byte <= 'Z') return static_cast<unsigned char>(byte + 0x20);
    if (byte >= 0x80 && byte <= 0x9E && byte != 0x97)
        return static_cast<unsigned char>(byte + 0x20);
    return byte;
}

std::string caselessLowered(std::string_view text) {
    std::string out(text);
    for (char& byte : out)
        byte = static_cast<char>(caselessLower(static_cast<unsigned char>(byte)));
    return out;
}

// Letters of both cases, and the bytes one bit 5 away from a letter or from
// each other that are not letters (@ `, [ {, ^ ~, _ DEL), which a case-blind
// compare must keep apart; Latin-1 letters in both cases and the ones whose
// other case is not Latin-1 (ÿ, ß) or that have none (× ÷).
const std::vector<std::string> kCaselessTermPieces = {
    "a",        "b",        "k",        "i",        "K",        "I",        "A",        "B",
    "@",        "`",        "[",        "{",        "^",        "~",        "_",        "\x7F",
    ".",        " ",        "0",        "\xC3\xA9", "\xC3\x89", "\xC3\xA0", "\xC3\x80", "\xC3\xBF",
    "\xC3\x9F", "\xC3\xB7", "\xC3\x97", "\xC3\xBE", "\xC3\x9E"};
// Bytes that are not a term's: second bytes of capitals after other leads
// (ĉ is C4 89, a C1 control C2 89), lone second bytes and leads, C1 E1.
const std::vector<std::string> kCaselessTextExtras = {
    "\xC1", "\xE1", "\xFF", "\n", "\xC4\x89", "\xC2\x89", "\x89", "\xA9", "\xC3", "\xE2\x84\xAA"};

// Each small letter of the term (ASCII or Latin-1) made a capital or not at random.
std::string randomCase(Generator& gen, std::string term) {
    for (std::size_t i = 0; i < term.size(); ++i) {
        const auto byte = static_cast<unsigned char>(term[i]);
        if (byte >= 'a' && byte <= 'z' && gen.below(2) == 0)
            term[i] = static_cast<char>(byte - 0x20);
        if (byte == 0xC3 && i + 1 < term.size()) {
            const auto second = static_cast<unsigned char>(term[++i]);
            if (second >= 0xA0 && second <= 0xBE && second != 0xB7 && gen.below(2) == 0)
                term[i] = static_cast<char>(second - 0x20);
        }
    }
    return term;
}

std::vector<std::string> caselessTerms(Generator& gen) {
    static constexpr std::size_t kCounts[] = {1, 1, 2, 3, 4, 8, 20, 40, 100};
    const std::size_t count = kCounts[gen.below(std::size(kCounts))];
    const std::size_t alphabet = 2 + gen.below(kCaselessTermPieces.size() - 1);
    // Half the sets stay ASCII, the case the automaton must handle alone.
    const std::size_t ascii = 19;
    const std::size_t pieces = gen.below(2) == 0 ? std::min(alphabet, ascii) : alphabet;
    std::vector<std::string> out;
    while (out.size() < count) {
        if (!out.empty() && gen.below(8) == 0) {  // an earlier term in other case
            out.push_back(randomCase(gen, out[gen.below(out.size())]));
            continue;
        }
        std::string term;
        for (std::size_t n = 1 + gen.below(gen.below(3) == 0 ? 20 : 5); n > 0; --n) {
            term += kCaselessTermPieces[gen.below(pieces)];
        }
        out.push_back(term);
    }
    return out;
}

// Random pieces of the term alphabet and extras, with terms put in in random
// case, often near the end.
std::string caselessText(Generator& gen, const std::vector<std::string>& terms) {
    static constexpr std::size_t kLengths[] = {0, 1, 7, 40, 200, 1500, 5000};
    const std::size_t length = kLengths[gen.below(std::size(kLengths))] + gen.below(64);
    std::string out;
    while (out.size() < length) {
        if (gen.below(12) == 0) {
            out += kCaselessTextExtras[gen.below(kCaselessTextExtras.size())];
        } else {
            out += kCaselessTermPieces[gen.below(kCaselessTermPieces.size())];
        }
    }
    for (std::size_t n = gen.below(4); n > 0; --n) {
        const std::string term = randomCase(gen, terms[gen.below(terms.size())]);
        const std::size_t at =
            gen.below(2) == 0 ? gen.below(out.size() + 1)
                              : out.size() - gen.below(std::min<std::size_t>(out.size(), 300) + 1);
        out.insert(at, term);
    }
    return out;
}

TEST(TermSearchCaseless, AgreesWithPlainCaseBlindSearchOnRandomInput) {
    Generator gen;
    const std::vector<EngineVariant> variants = engineVariants();
    for (int round = 0; round < 1600; ++round) {
        const std::vector<std::string> terms = caselessTerms(gen);
        std::vector<std::string> lowered;
        for (const std::string& term : terms) lowered.push_back(caselessLowered(term));
        std::vector<TermSearch> searches;
        for (const EngineVariant& variant : variants) {
            searches.push_back(buildCaselessVariant(terms, variant));
        }
        searches.push_back(buildCaselessSearch(terms).value());
        searches.push_back(buildCaselessSearch(terms, kFewRows).value());
        searches.push_back(buildCaselessSearch(terms, kShortSpan).value());
        searches.push_back(buildCaselessSearch(terms, kFewRowsShortSpan).value());
        // Given the folded search of the same terms, as a run builds them:
        // its rows are shared where lowercasing leaves the terms alone.
        for (const TermSearchOptions& options : {TermSearchOptions{}, kFewRowsShortSpan}) {
            const TermSearch folded = buildTermSearch(terms, options);
            searches.push_back(buildCaselessSearch(folded, terms, options).value());
            EXPECT_EQ(searches.back().dfa.next == folded.dfa.next, lowered == terms);
        }
        const std::vector<bool> kept = keptTerms(lowered);
        for (int sample = 0; sample < 4; ++sample) {
            const std::string text = caselessText(gen, terms);
            // Offsets of the lowered text are those of the text itself.
            const std::string plain = caselessLowered(text);
            const Reference ref = reference(lowered, kept, plain);
            const std::string after = sample % 2 == 0 ? terms[gen.below(terms.size())] : "";
            for (std::size_t i = 0; i < searches.size(); ++i) {
                const TermSearch& search = searches[i];
                ASSERT_EQ(search.caseMode, CaseMode::caseless);
                const std::size_t got = searchCopy(search, text, gen.below(32), after);
                const std::string fault = checkAnswer(lowered, plain, ref, search.engine, got);
                ASSERT_EQ(fault, "") << describe(terms, text, searchName(variants, i), got);
            }
        }
    }
}

TEST(TermSearchCaseless, OfferedOnlyWhenEveryKeptTermIsAsciiOrLatin1) {
    const std::optional<TermSearch> latin = buildCaselessSearch({"doc", "relat\xC3\xB3rio"});
    ASSERT_TRUE(latin.has_value());
    EXPECT_TRUE(latin->latinTerms);
    EXPECT_FALSE(buildCaselessSearch({"doc"})->latinTerms);
    // An escape unit, characters beyond Latin-1 (ĉ, a C1 control, €, 𝄞), a
    // lone lead or second byte.
    for (const char* term : {"\xED\xB2\x80", "\xC4\x89", "\xC2\x89", "a\xE2\x82\xAC",
                             "\xF0\x9D\x84\x9E", "x\xC3", "\xA9x", "\xC3\xC3"}) {
        EXPECT_FALSE(buildCaselessSearch({"doc", term}).has_value()) << term;
    }
    // A term that holds a kept term is dropped, so it does not matter.
    const std::optional<TermSearch> dropped = buildCaselessSearch({"rio", "relat\xE2\x82\xACrio"});
    ASSERT_TRUE(dropped.has_value());
    EXPECT_EQ(dropped->terms, std::vector<std::string>{"rio"});
    const std::optional<TermSearch> mixed = buildCaselessSearch({"PDF", "pdf", "Doc"});
    ASSERT_TRUE(mixed.has_value());
    EXPECT_EQ(mixed->terms, (std::vector<std::string>{"doc", "pdf"}));
    const std::optional<TermSearch> none = buildCaselessSearch({""});
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(none->engine, TermEngine::none);
    // Given the folded search of the same terms, the same offer.
    for (const std::vector<std::string>& terms :
         std::vector<std::vector<std::string>>{{"doc", "relat\xC3\xB3rio"},
                                               {"doc", "\xC4\x89"},
                                               {"rio", "relat\xE2\x82\xACrio"},
                                               {"PDF", "pdf", "Doc"},
                                               {""}}) {
        const std::optional<TermSearch> alone = buildCaselessSearch(terms);
        const std::optional<TermSearch> given = buildCaselessSearch(buildTermSearch(terms), terms);
        ASSERT_EQ(given.has_value(), alone.has_value()) << terms[0];
        if (!given) continue;
        EXPECT_EQ(given->terms, alone->terms);
        EXPECT_EQ(given->engine, alone->engine);
        EXPECT_EQ(given->latinTerms, alone->latinTerms);
    }
}

// Every engine, one term at a time, against every byte value in place of
// each term byte: only the two cases of a letter match it.
TEST(TermSearchCaseless, MatchesBothCasesOfLettersOnly) {
    for (const EngineVariant& variant : engineVariants()) {
        for (const std::string term : {"q", "xq", "q@", "`z", "{k", "k~_", "\xC3\xA9", "x\xC3\xBE",
                                       "\xC3\xB7q", "\xC3\xBF", "\xC3\x9F\xC3\xA0"}) {
            const TermSearch search = buildCaselessVariant({term}, variant);
            for (unsigned byte = 0; byte < 256; ++byte) {
                for (std::size_t at = 0; at < term.size(); ++at) {
                    std::string text = std::string(40, '.') + term + std::string(40, '.');
                    text[40 + at] = static_cast<char>(byte);
                    const auto termByte = static_cast<unsigned char>(term[at]);
                    // Small letters: a-z, and à..þ but ÷ after C3.
                    const bool small = (termByte >= 'a' && termByte <= 'z') ||
                                       (termByte >= 0xA0 && termByte <= 0xBE && termByte != 0xB7);
                    const bool same = byte == termByte || (small && byte == (termByte ^ 0x20u));
                    const std::size_t got = findOccurrence(search, text.data(), text.size());
                    const std::size_t want =
                        !same ? kNone : (startsFirst(search.engine) ? 40 : 40 + term.size() - 1);
                    ASSERT_EQ(got, want) << variantName(variant) << ", term [" << term << "], byte "
                                         << byte << " at " << at;
                }
            }
        }
    }
}

// The engines work on bytes: every value, even LF, is an ordinary byte.
TEST(TermSearch, MatchesTermsOfEveryByteValue) {
    std::vector<std::string> terms;
    for (unsigned byte = 0; byte < 256; byte += 2) {
        terms.push_back({static_cast<char>(byte), static_cast<char>(byte + 1), 'z'});
    }
    Generator gen;
    for (const EngineVariant& variant : engineVariants()) {
        const TermSearch search = buildVariant(terms, variant);
        for (int round = 0; round < 50; ++round) {
            std::string text;
            for (std::size_t n = gen.below(300); n > 0; --n) {
                text += static_cast<char>(gen.below(3) == 0 ? 'z' : gen.below(256));
            }
            const Reference ref = reference(terms, keptTerms(terms), text);
            const std::size_t got = findOccurrence(search, text.data(), text.size());
            const std::string fault = checkAnswer(terms, text, ref, search.engine, got);
            ASSERT_EQ(fault, "") << describe(terms, text, variantName(variant), got);
        }
    }
}

TEST(TermSearch, EveryAvailableEngineCanBeChosen) {
    const std::vector<std::string> terms = {"relat\xC3\xB3rio", "pdf", "a\xC3\xA7\xC3\xA3o"};
    for (const EngineVariant& variant : engineVariants()) {
        EXPECT_EQ(buildVariant(terms, variant).engine, variant.engine) << variantName(variant);
    }
    EXPECT_TRUE(termEngineAvailable(TermEngine::dfa));
#if defined(__x86_64__) && !defined(SEARCHFILTER_SCALAR_ONLY)
    // SSE2 is part of x86-64 itself.
    EXPECT_TRUE(termEngineAvailable(TermEngine::pair));
#endif
#if defined(SEARCHFILTER_SCALAR_ONLY)
    EXPECT_EQ(engineVariants().size(), 1u);
#endif
    // Without vectors the filter engines give way to the automaton.
    const testing_isa::ScopedIsa plain(simd::Isa::scalar);
    EXPECT_FALSE(termEngineAvailable(TermEngine::pair));
    EXPECT_EQ(buildTermSearch(terms, {.engine = TermEngine::teddy}).engine, TermEngine::dfa);
}

TEST(TermSearch, ChoosesEngineBySetSize) {
    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i) many.push_back("term" + std::to_string(i) + "x");
    EXPECT_EQ(buildTermSearch(many).engine, TermEngine::dfa);
    const std::vector<std::string> few = {"doc", "pdf"};
    const std::vector<std::string> some(many.begin(), many.begin() + 20);
    for (const simd::Isa isa : testing_isa::runnableIsas()) {
        const testing_isa::ScopedIsa use(isa);
        EXPECT_EQ(buildTermSearch(few).engine,
                  termEngineAvailable(TermEngine::pair) ? TermEngine::pair : TermEngine::dfa);
        EXPECT_EQ(buildTermSearch(some).engine,
                  termEngineAvailable(TermEngine::teddy) ? TermEngine::teddy : TermEngine::dfa);
    }
}

// One occurrence at every place in turn, so that it crosses each stream
// and window boundary, with beginnings of terms all around it.
TEST(TermSearch, FindsAnOccurrenceAtEveryPlace) {
    const std::vector<std::string> terms = {"abcdefgh", "bcdx", "\xC3\xA7\xC3\xA3o"};
    std::string filler;
    while (filler.size() < 700)
        filler +=
            "abcdefg\xC3\xA7\xC3\xA3"
            "bcd_";
    for (const std::size_t budget : {kTermDfaBudgetBytes, std::size_t{64}}) {
        for (const std::uint32_t span : {0u, 32u, 256u}) {
            const TermSearch search = buildTermSearch(
                terms, {.engine = TermEngine::dfa, .dfaBudgetBytes = budget, .dfaSpan = span});
            for (std::size_t at = 0; at + 8 <= filler.size(); ++at) {
                std::string text = filler.substr(0, at) + "abcdefgh" + filler.substr(at);
                const std::size_t got = findOccurrence(search, text.data(), text.size());
                ASSERT_EQ(got, at + 7) << "span " << span << ", budget " << budget;
            }
        }
    }
}

TEST(TermSearch, SmallBudgetLeavesStatesWithoutRows) {
    const std::vector<std::string> terms = {"abcdef", "bcdxyz", "cdefgh"};
    const TermSearch full = buildTermSearch(terms, {.engine = TermEngine::dfa});
    const TermSearch small = buildTermSearch(terms, kFewRows);
    const auto deep = [](const TermDfa& dfa) {
        return std::count_if(dfa.nodes.begin(), dfa.nodes.end(),
                             [&](const TermTrieNode& node) { return node.stateId == dfa.deepId; });
    };
    EXPECT_EQ(deep(full.dfa), 0);
    EXPECT_GT(deep(small.dfa), 0);
    const std::string text = std::string(3000, 'c') + "abcdexcdefgh" + std::string(3000, 'd');
    EXPECT_EQ(findOccurrence(full, text.data(), text.size()), 3011u);
    EXPECT_EQ(findOccurrence(small, text.data(), text.size()), 3011u);
}

TEST(TermSearch, NothingOccursInAnEmptyText) {
    for (const EngineVariant& variant : engineVariants()) {
        const TermSearch search = buildVariant({"a", "bc"}, variant);
        EXPECT_EQ(findOccurrence(search, nullptr, 0), kNone);
        EXPECT_EQ(findOccurrence(search, "a", 0), kNone);
        EXPECT_EQ(findOccurrence(search, "a", 1), 0u);
    }
}

TEST(TermSearch, KeepsOnlyTermsThatContainNoOther) {
    const TermSearch search = buildTermSearch({"abc", "b", "abc", "", "xbz", "yy", "yyy"});
    EXPECT_EQ(search.terms, (std::vector<std::string>{"b", "yy"}));
    const TermSearch none = buildTermSearch({"", ""});
    EXPECT_EQ(none.engine, TermEngine::none);
    EXPECT_EQ(findOccurrence(none, "abc", 3), kNone);
}

}  // namespace
}  // namespace search
