// Throughput of findOccurrence over folded folder-like text, used the way
// the filter uses it: search, mark the line of the occurrence, resume at the
// next line. About 2% of the lines of about 70 bytes hold a term.
//
//   term_search_bench --benchmark_filter=Auto
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "search/term_search.h"
#include "simd/dispatch.h"
#include "tests/support/seeded_random.h"

namespace {

constexpr std::size_t kTextBytes = std::size_t{64} << 20;
constexpr std::uint32_t kHitPerMille = 20;

using test_support::SeededRandom;

// Syllables of lowercase Portuguese as folded text (UTF-8 accents kept).
const std::vector<std::string> kSyllables = {
    "ba",  "be",  "bi",  "bo",  "ca",  "co",  "cu",  "da",   "de",  "di",  "do",  "fa",  "fe",
    "fi",  "fo",  "ga",  "go",  "gu",  "ja",  "la",  "le",   "li",  "lo",  "lu",  "ma",  "me",
    "mi",  "mo",  "mu",  "na",  "ne",  "ni",  "no",  "pa",   "pe",  "pi",  "po",  "pu",  "ra",
    "re",  "ri",  "ro",  "ru",  "sa",  "se",  "si",  "so",   "ta",  "te",  "ti",  "to",  "tu",
    "va",  "ve",  "vi",  "vo",  "xa",  "za",  "ção", "ções", "ão",  "ões", "ça",  "çá",  "é",
    "ê",   "ó",   "ú",   "í",   "ã",   "lha", "nho", "que",  "gui", "tra", "pre", "bri", "cri",
    "str", "men", "an",  "en",  "in",  "on",  "al",  "ar",   "er",  "or",  "es",  "os",  "as",
    "is",  "ent", "ter", "cas", "por", "par", "con", "com",  "des", "res", "tos"};
const std::vector<std::string> kExtensions = {"pdf", "docx", "xlsx", "jpg",  "txt",
                                              "png", "mp3",  "zip",  "pptx", "csv"};

std::string makeWord(SeededRandom& random, std::size_t minSyllables, std::size_t maxSyllables) {
    std::string word;
    const std::size_t count = minSyllables + random.below(maxSyllables - minSyllables + 1);
    for (std::size_t i = 0; i < count; ++i) word += kSyllables[random.below(kSyllables.size())];
    return word;
}

struct Workload {
    std::vector<std::string> vocabulary;
    std::vector<std::string> terms;
    std::string text;
    std::size_t hitLines = 0;
};

// Terms are made of the same syllables as the text's words but never occur
// inside one; the text holds them only where they are put in.
std::vector<std::string> makeTerms(SeededRandom& random, const std::vector<std::string>& vocabulary,
                                   std::size_t count) {
    std::string joined;
    for (const std::string& word : vocabulary) {
        joined += word;
        joined += '\n';
    }
    std::vector<std::string> terms;
    std::unordered_set<std::string> seen;
    while (terms.size() < count) {
        std::string term = makeWord(random, 3, 4);
        if (term.size() < 6 || seen.count(term) != 0) continue;
        if (joined.find(term) != std::string::npos) continue;
        seen.insert(term);
        terms.push_back(term);
    }
    return terms;
}

std::string makeLine(SeededRandom& random, const Workload& work, bool withTerm) {
    std::string line = random.below(4) == 0 ? "d:\\" : "c:\\";
    const std::size_t folders = 4 + random.below(5);
    const std::size_t termAt = random.below(folders + 1);
    for (std::size_t i = 0; i <= folders; ++i) {
        if (withTerm && i == termAt) {
            line += work.terms[random.below(work.terms.size())];
        } else {
            line += work.vocabulary[random.below(work.vocabulary.size())];
        }
        if (random.below(5) == 0) {
            line += ' ';
            line += std::to_string(1990 + random.below(35));
        }
        if (i == folders) {
            line += '.';
            line += kExtensions[random.below(kExtensions.size())];
        } else {
            line += '\\';
        }
    }
    line += '\n';
    return line;
}

Workload makeWorkload(std::size_t termCount) {
    SeededRandom random{0x5EA7C4u};
    Workload work;
    for (int i = 0; i < 4000; ++i) work.vocabulary.push_back(makeWord(random, 2, 4));
    SeededRandom termRandom{0x7E4D5u + termCount};
    work.terms = makeTerms(termRandom, work.vocabulary, termCount);
    work.text.reserve(kTextBytes + 256);
    while (work.text.size() < kTextBytes) {
        const bool withTerm = random.below(1000) < kHitPerMille;
        work.text += makeLine(random, work, withTerm);
        if (withTerm) ++work.hitLines;
    }
    return work;
}

const Workload& workload(std::size_t termCount) {
    static std::map<std::size_t, Workload> cache;
    auto found = cache.find(termCount);
    if (found == cache.end()) found = cache.emplace(termCount, makeWorkload(termCount)).first;
    return found->second;
}

// The filter's loop: every hit marks its line and the search resumes after it.
std::size_t countHitLines(const search::TermSearch& search, std::string_view text) {
    std::size_t lines = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t hit = search::findOccurrence(search, text.data() + at, text.size() - at);
        if (hit == search::kNoOccurrence) break;
        ++lines;
        const void* lineFeed = std::memchr(text.data() + at + hit, '\n', text.size() - at - hit);
        if (lineFeed == nullptr) break;
        at = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - text.data()) + 1;
    }
    return lines;
}

void run(benchmark::State& state, std::size_t termCount, const search::TermSearch& search) {
    const Workload& work = workload(termCount);
    std::size_t lines = 0;
    for (auto _ : state) {
        lines = countHitLines(search, work.text);
        benchmark::DoNotOptimize(lines);
    }
    if (lines != work.hitLines) {
        state.SkipWithError("wrong number of lines with a term");
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(work.text.size()));
    state.counters["engine"] = static_cast<double>(search.engine);
    state.counters["hitLines"] = static_cast<double>(lines);
    state.counters["lineBytes"] =
        static_cast<double>(work.text.size()) /
        static_cast<double>(std::count(work.text.begin(), work.text.end(), '\n'));
}

// The engine buildTermSearch picks.
void Auto(benchmark::State& state) {
    const auto termCount = static_cast<std::size_t>(state.range(0));
    run(state, termCount, search::buildTermSearch(workload(termCount).terms));
}
BENCHMARK(Auto)->Arg(1)->Arg(20)->Arg(2000)->Unit(benchmark::kMillisecond);

// Each engine alone, in each instruction set's variant this processor has.
void Engine(benchmark::State& state) {
    const auto termCount = static_cast<std::size_t>(state.range(0));
    const auto engine = static_cast<search::TermEngine>(state.range(1));
    const auto isa = static_cast<simd::Isa>(state.range(2));
    const simd::Isa saved = simd::activeIsa();
    if (!simd::chooseIsa(isa) || !search::termEngineAvailable(engine)) {
        simd::chooseIsa(saved);
        state.SkipWithError("engine not available here");
        return;
    }
    search::TermSearch search =
        search::buildTermSearch(workload(termCount).terms, {.engine = engine});
    simd::chooseIsa(saved);
    run(state, termCount, search);
}
void engineArgs(benchmark::internal::Benchmark* bench) {
    using search::TermEngine;
    using simd::Isa;
    const auto add = [&](TermEngine engine, Isa isa, std::initializer_list<int> counts) {
        for (const int count : counts) {
            bench->Args({count, static_cast<int>(engine), static_cast<int>(isa)});
        }
    };
    // Each engine over the term counts it may be chosen for, and a little beyond.
    add(TermEngine::dfa, Isa::scalar, {1, 20, 200, 2000});
    add(TermEngine::pair, Isa::sse2, {1, 3});
    add(TermEngine::pair, Isa::avx2, {1, 3});
    add(TermEngine::pair, Isa::avx512, {1, 3});
    add(TermEngine::teddy, Isa::ssse3, {3, 20, 48});
    add(TermEngine::teddy, Isa::avx2, {3, 20, 48, 64});
    add(TermEngine::teddy, Isa::avx512, {3, 20, 48, 64});
    add(TermEngine::teddy, Isa::avx512vbmi, {3, 20, 48, 64});
}
BENCHMARK(Engine)->Apply(engineArgs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
