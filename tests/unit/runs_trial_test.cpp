#include "search/runs_trial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace search {
namespace {

// One trial block: the time it took, and its length.
struct Timed {
    std::uint64_t nanoseconds;
    std::uint64_t bytes = 1000;
};

// Feeds a run's first blocks, taking the block the way the trial asks for
// from `runs` or `whole` (one entry per trial block of that way, in turn);
// returns the way chosen for the blocks after.
BlockWay chosenAfter(const std::vector<Timed>& runs, const std::vector<Timed>& whole) {
    RunsTrial trial;
    std::size_t runsTaken = 0;
    std::size_t wholeTaken = 0;
    for (std::size_t block = 0; block < kRunsTrialWarmUp + kRunsTrialBlocks; ++block) {
        const bool timed = timesNext(trial);
        EXPECT_EQ(timed, block >= kRunsTrialWarmUp) << block;
        Timed taken{999999};  // the warm-up is slow, and must not count
        if (timed) {
            taken =
                nextWay(trial) == BlockWay::runs ? runs.at(runsTaken++) : whole.at(wholeTaken++);
        } else {
            EXPECT_EQ(nextWay(trial), BlockWay::runs) << "warm-up block " << block;
        }
        recordBlock(trial, taken.bytes, taken.nanoseconds);
    }
    EXPECT_EQ(runsTaken, kRunsTrialBlocks / 2);
    EXPECT_EQ(wholeTaken, kRunsTrialBlocks / 2);
    const BlockWay chosen = nextWay(trial);
    for (int block = 0; block < 3; ++block) {
        EXPECT_FALSE(timesNext(trial));
        recordBlock(trial, 1000, 1);  // later times change nothing
        EXPECT_EQ(nextWay(trial), chosen);
    }
    return chosen;
}

TEST(RunsTrial, KeepsTheWayThatTookLessTimeWithoutItsSlowestBlock) {
    struct Case {
        const char* what;
        std::vector<Timed> runs;
        std::vector<Timed> whole;
        BlockWay want;
    };
    const Case cases[] = {
        {"runs faster", {{50}, {52}, {49}, {51}}, {{60}, {61}, {59}, {60}}, BlockWay::runs},
        {"whole faster", {{120}, {130}, {125}, {128}}, {{60}, {61}, {59}, {60}}, BlockWay::whole},
        {"one slowed whole block does not decide",
         {{50}, {52}, {49}, {51}},
         {{40}, {41}, {42}, {900}},
         BlockWay::whole},
        {"one slowed runs block does not decide",
         {{50}, {49}, {51}, {5000}},
         {{60}, {61}, {59}, {60}},
         BlockWay::runs},
        // A block of a few long runs is no sign of the blocks after it.
        {"one block of long runs does not decide",
         {{75}, {53}, {28}, {87}},
         {{45}, {50}, {48}, {56}},
         BlockWay::whole},
        {"time per byte decides",
         {{50, 1000}, {52, 1000}, {49, 1000}, {51, 1000}},
         {{80, 2000}, {81, 2000}, {79, 2000}, {80, 2000}},
         BlockWay::whole},
        {"the slowest block per byte is left out",
         {{50, 1000}, {52, 1000}, {49, 1000}, {51, 1000}},
         {{45, 1000}, {46, 1000}, {47, 1000}, {60, 500}},
         BlockWay::whole},
        {"a tie keeps the runs",
         {{60}, {60}, {60}, {60}},
         {{60}, {60}, {60}, {60}},
         BlockWay::runs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(chosenAfter(c.runs, c.whole), c.want);
    }
}

}  // namespace
}  // namespace search
