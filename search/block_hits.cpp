#include <algorithm>

#include "search/search.h"

namespace search {
namespace {

// Whether finding the runs of equal lines costs less than searching the
// lines they would spare: not for the pair filter, whose scan costs less per
// byte than comparing each line with the one before.
bool runsPay(const RunSearches& searches) {
    return (searches.raw ? searches.raw->engine : searches.folded.engine) != TermEngine::pair;
}

const TermSearch* rawOf(const RunSearches& searches) {
    return searches.raw ? &*searches.raw : nullptr;
}

}  // namespace

RunSearches buildRunSearches(const std::vector<std::string>& foldedTerms) {
    return {buildTermSearch(foldedTerms), buildCaselessSearch(foldedTerms)};
}

textio::WatchedBytes bytesToWatch(const RunSearches& searches) {
    return searches.raw ? foldLeadBytes(searches.raw->latinTerms) : textio::WatchedBytes{};
}

bool findsNothing(const RunSearches& searches) {
    return searches.folded.engine == TermEngine::none;
}

void markBlockHits(const textio::LineIndex& block, std::size_t lines, const RunSearches& searches,
                   bool sameLinesInRuns, HitScratch& scratch, LineHits& hits) {
    const auto limit = static_cast<std::int32_t>(lines);
    if (!sameLinesInRuns || !runsPay(searches) || !collapseRuns(block, lines, scratch.runs)) {
        markHitLines(block, limit, searches.folded, rawOf(searches), hits, scratch.fold);
        return;
    }
    const LineRuns& runs = scratch.runs;
    scratch.runHits.assign(runs.count, 0);
    // The runs' lines are some of the block's: what it holds, they may.
    textio::LineIndex runIndex = indexRuns(scratch.runs);
    runIndex.watched = block.watched;
    runIndex.watchedSeen = block.watchedSeen;
    markHitLines(runIndex, static_cast<std::int32_t>(runs.count), searches.folded, rawOf(searches),
                 scratch.runHits, scratch.fold);
    const std::uint32_t* runStarts = runs.runStarts.data();
    for (std::size_t run = 0; run < runs.count; ++run) {
        if (scratch.runHits[run] == 0) continue;
        std::fill(hits.data() + runStarts[run], hits.data() + runStarts[run + 1], 1);
    }
}

}  // namespace search
