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
// from `runs` or `whole` (one entry per trial block of that way, in turn),
// until the trial ends; returns the way chosen for the blocks after, and
// sets `each` to the trial blocks taken each way.
BlockWay chosenAfter(const std::vector<Timed>& runs, const std::vector<Timed>& whole,
                     std::size_t& each) {
    RunsTrial trial;
    std::size_t runsTaken = 0;
    std::size_t wholeTaken = 0;
    for (std::size_t block = 0; block < kRunsTrialWarmUp || timesNext(trial); ++block) {
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
    EXPECT_EQ(runsTaken, wholeTaken);
    each = runsTaken;
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
        std::size_t each = kRunsTrialBlocks / 2;  // trial blocks each way
    };
    const Case cases[] = {
        {"runs faster", {{50}, {52}, {49}, {51}}, {{60}, {61}, {59}, {60}}, BlockWay::runs},
        {"whole faster", {{120}, {110}, {125}, {128}}, {{60}, {61}, {59}, {60}}, BlockWay::whole},
        // Twice the time per byte of the other way's slowest block, in every
        // block: decided after two blocks each way.
        {"runs plainly slower", {{120}, {130}}, {{60}, {59}}, BlockWay::whole, 2},
        {"whole plainly slower", {{30}, {29}}, {{60}, {70}}, BlockWay::runs, 2},
        {"plainly slower per byte",
         {{60, 1000}, {60, 1000}},
         {{60, 2000}, {59, 2000}},
         BlockWay::whole,
         2},
        {"one slowed block does not end the trial early",
         {{50}, {52}, {49}, {51}},
         {{40}, {900}, {42}, {41}},
         BlockWay::whole},
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
        std::size_t each = 0;
        EXPECT_EQ(chosenAfter(c.runs, c.whole, each), c.want);
        EXPECT_EQ(each, c.each);
    }
}

}  // namespace
}  // namespace search
