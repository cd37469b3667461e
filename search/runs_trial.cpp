#include "search/runs_trial.h"

namespace search {
namespace {

std::size_t wayIndex(BlockWay way) {
    return way == BlockWay::runs ? 0 : 1;
}

bool inTrial(std::size_t block) {
    return block >= kRunsTrialWarmUp && block < kRunsTrialWarmUp + kRunsTrialBlocks;
}

}  // namespace

BlockWay nextWay(const RunsTrial& trial) {
    if (!inTrial(trial.blocks)) return trial.chosen;
    return (trial.blocks - kRunsTrialWarmUp) % 2 == 0 ? BlockWay::runs : BlockWay::whole;
}

bool timesNext(const RunsTrial& trial) {
    return inTrial(trial.blocks);
}

void recordBlock(RunsTrial& trial, std::uint64_t bytes, std::uint64_t nanoseconds) {
    if (inTrial(trial.blocks) && bytes > 0) {
        const std::size_t way = wayIndex(nextWay(trial));
        // nanoseconds / bytes below the best so far, without dividing.
        if (trial.bestBytes[way] == 0 ||
            nanoseconds * trial.bestBytes[way] < trial.bestNanoseconds[way] * bytes) {
            trial.bestNanoseconds[way] = nanoseconds;
            trial.bestBytes[way] = bytes;
        }
    }
    ++trial.blocks;
    if (trial.blocks == kRunsTrialWarmUp + kRunsTrialBlocks) {
        const std::uint64_t* time = trial.bestNanoseconds;
        const std::uint64_t* size = trial.bestBytes;
        // Whole only when it was seen and took less per byte than runs.
        const bool wholeFaster =
            size[1] != 0 && (size[0] == 0 || time[1] * size[0] < time[0] * size[1]);
        trial.chosen = wholeFaster ? BlockWay::whole : BlockWay::runs;
    }
}

}  // namespace search
