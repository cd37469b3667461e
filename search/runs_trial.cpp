#include "search/runs_trial.h"

namespace search {
namespace {

std::size_t wayIndex(BlockWay way) {
    return way == BlockWay::runs ? 0 : 1;
}

bool inTrial(std::size_t block) {
    return block >= kRunsTrialWarmUp && block < kRunsTrialWarmUp + kRunsTrialBlocks;
}

// Whether a / b < c / d, without dividing.
bool lessPerByte(std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
    return a * d < c * b;
}

void endTrial(RunsTrial& trial, BlockWay chosen) {
    trial.chosen = chosen;
    trial.blocks = kRunsTrialWarmUp + kRunsTrialBlocks;
}

// After the first trial blocks: the way whose fastest block took at least
// twice the time per byte of the other way's slowest loses at once. Whether
// the trial ended.
bool endIfPlain(RunsTrial& trial) {
    for (std::size_t way = 0; way < 2; ++way) {
        const std::size_t other = 1 - way;
        if (!lessPerByte(trial.fastestNanoseconds[way], trial.fastestBytes[way],
                         2 * trial.slowestNanoseconds[other], trial.slowestBytes[other])) {
            endTrial(trial, other == 0 ? BlockWay::runs : BlockWay::whole);
            return true;
        }
    }
    return false;
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
        if (trial.slowestBytes[way] == 0 ||
            lessPerByte(trial.slowestNanoseconds[way], trial.slowestBytes[way], nanoseconds,
                        bytes)) {
            trial.slowestNanoseconds[way] = nanoseconds;
            trial.slowestBytes[way] = bytes;
        }
        if (trial.fastestBytes[way] == 0 ||
            lessPerByte(nanoseconds, bytes, trial.fastestNanoseconds[way],
                        trial.fastestBytes[way])) {
            trial.fastestNanoseconds[way] = nanoseconds;
            trial.fastestBytes[way] = bytes;
        }
    }
    ++trial.blocks;
    if (trial.blocks == kRunsTrialWarmUp + kRunsTrialPlainBlocks && trial.fastestBytes[0] != 0 &&
        trial.fastestBytes[1] != 0 && endIfPlain(trial)) {
        return;
    }
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
