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
        trial.nanoseconds[way] += nanoseconds;
        trial.bytes[way] += bytes;
        // nanoseconds / bytes above the slowest so far, without dividing.
        if (trial.slowestBytes[way] == 0 ||
            nanoseconds * trial.slowestBytes[way] > trial.slowestNanoseconds[way] * bytes) {
            trial.slowestNanoseconds[way] = nanoseconds;
            trial.slowestBytes[way] = bytes;
        }
    }
    ++trial.blocks;
    if (trial.blocks == kRunsTrialWarmUp + kRunsTrialBlocks) {
        std::uint64_t time[2];
        std::uint64_t size[2];
        for (std::size_t way = 0; way < 2; ++way) {
            time[way] = trial.nanoseconds[way] - trial.slowestNanoseconds[way];
            size[way] = trial.bytes[way] - trial.slowestBytes[way];
        }
        // Whole only when it was seen and took less per byte than runs.
        const bool wholeFaster =
            size[1] != 0 && (size[0] == 0 || time[1] * size[0] < time[0] * size[1]);
        trial.chosen = wholeFaster ? BlockWay::whole : BlockWay::runs;
    }
}

}  // namespace search
