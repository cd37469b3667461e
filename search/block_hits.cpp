#include <algorithm>
#include <chrono>

#include "search/search.h"

namespace search {
namespace {

// Whether finding the runs of equal lines may cost less than searching the
// lines they would spare: never for the pair filter, whose scan costs less
// per byte than comparing each line with the one before.
bool runsMayPay(const RunSearches& searches) {
    return (searches.raw ? searches.raw->engine : searches.folded.engine) != TermEngine::pair;
}

const TermSearch* rawOf(const RunSearches& searches) {
    return searches.raw ? &*searches.raw : nullptr;
}

}  // namespace

RunSearches buildRunSearches(const std::vector<std::string>& foldedTerms) {
    RunSearches searches{buildTermSearch(foldedTerms), std::nullopt};
    searches.raw = buildCaselessSearch(searches.folded, foldedTerms);
    return searches;
}

textio::WatchedBytes bytesToWatch(const RunSearches& searches) {
    return searches.raw ? foldLeadBytes(searches.raw->latinTerms) : textio::WatchedBytes{};
}

bool findsNothing(const RunSearches& searches) {
    return searches.folded.engine == TermEngine::none;
}

namespace {

// Searches the block once per run of equal lines; false, with nothing
// marked, when the runs spare too little.
bool markByRuns(const textio::LineIndex& block, std::size_t lines, const RunSearches& searches,
                HitScratch& scratch, LineHits& hits) {
    if (!collapseRuns(block, lines, scratch.runs)) return false;
    const LineRuns& runs = scratch.runs;
    scratch.runHits.assign(runs.count, 0);
    // The runs' lines are some of the block's: what it holds, they may.
    textio::LineIndex runIndex = indexRuns(scratch.runs);
    runIndex.watched = block.watched;
    runIndex.watchedSeen = block.watchedSeen;
    markHitLines(runIndex, static_cast<std::int32_t>(runs.count), searches.folded, rawOf(searches),
                 scratch.runHits, scratch.fold, nullptr, &scratch.ahead);
    const std::uint32_t* runStarts = runs.runStarts.data();
    for (std::size_t run = 0; run < runs.count; ++run) {
        if (scratch.runHits[run] == 0) continue;
        std::fill(hits.data() + runStarts[run], hits.data() + runStarts[run + 1], 1);
    }
    return true;
}

void markWhole(const textio::LineIndex& block, std::size_t lines, const RunSearches& searches,
               HitScratch& scratch, LineHits& hits, HitLineTexts* texts) {
    markHitLines(block, static_cast<std::int32_t>(lines), searches.folded, rawOf(searches), hits,
                 scratch.fold, texts, &scratch.ahead);
}

}  // namespace

void markBlockHits(const textio::LineIndex& block, std::size_t lines, const RunSearches& searches,
                   bool sameLinesInRuns, HitScratch& scratch, LineHits& hits, HitLineTexts* texts) {
    if (!sameLinesInRuns || !runsMayPay(searches)) {
        markWhole(block, lines, searches, scratch, hits, texts);
        return;
    }
    RunsTrial& trial = scratch.runsTrial;
    const bool timed = timesNext(trial);
    const auto start =
        timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{};
    if (nextWay(trial) == BlockWay::whole || !markByRuns(block, lines, searches, scratch, hits)) {
        markWhole(block, lines, searches, scratch, hits, texts);
    }
    std::uint64_t nanoseconds = 0;
    if (timed) {
        nanoseconds =
            static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count());
    }
    recordBlock(trial, block.text.size(), nanoseconds);
}

}  // namespace search
