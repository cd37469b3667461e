// The search subsystem's interface, all that a run needs of it: a run builds
// its searches once from its folded terms, then marks the lines of each
// block of a list that hold a term. The engines behind it (an automaton,
// two filter engines over vector kernels) and the runs of equal lines are
// its own business; only tests look at them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "search/hit_lines.h"
#include "search/line_runs.h"
#include "search/runs_trial.h"
#include "search/term_search.h"
#include "simd/prefetch_queue.h"
#include "textio/line_index.h"

namespace search {

// A run's searches: its folded terms searched in folded text, and where the
// terms allow it the caseless search of raw text (see buildCaselessSearch),
// which spares folding the blocks that need none.
struct RunSearches {
    TermSearch folded;
    std::optional<TermSearch> raw;
};

RunSearches buildRunSearches(const std::vector<std::string>& foldedTerms);

// Whether no block can hold a term (there are no terms).
bool findsNothing(const RunSearches& searches);

// The bytes a block reader should look out for while it indexes the blocks
// that markBlockHits is given: the lead bytes of hasFoldLead, when the raw
// search may spare folding. A block indexed without one is then not
// looked over again for them.
textio::WatchedBytes bytesToWatch(const RunSearches& searches);

// The working state that marking reuses from block to block.
struct HitScratch {
    FoldBuffer fold;  // its folding comes from whoever folded the terms
    LineRuns runs;
    LineHits runHits;
    RunsTrial runsTrial;  // of the folder blocks
    // The bytes that the next blocks will bring, to be asked of memory while
    // this block is searched; the caller sets it for each block.
    simd::PrefetchQueue ahead;
};

// Sets hits[i] for each of the first `lines` lines of the indexed block that
// holds a term (hits has room for `lines`, all 0). With `sameLinesInRuns`
// (a list of folders, which names each folder once per file in it) each run
// of equal lines is searched once, where that costs less than searching it
// (which the first such blocks of a run measure: runs_trial.h). Given
// `texts`, adds where in the block the hit lines it found there lie (not
// all of them: not those of runs or of folded text).
void markBlockHits(const textio::LineIndex& block, std::size_t lines, const RunSearches& searches,
                   bool sameLinesInRuns, HitScratch& scratch, LineHits& hits,
                   HitLineTexts* texts = nullptr);

}  // namespace search
