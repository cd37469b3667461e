#include "search/runs_trial.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace search {
namespace {

// Feeds a run's first blocks, each `bytes` long, taking the time the way the
// trial asks for from `runsTime` or `wholeTime` (one entry per trial block
// of that way, in turn); returns the way chosen for the blocks after.
BlockWay chosenAfter(const std::vector<std::uint64_t>& runsTime,
                     const std::vector<std::uint64_t>& wholeTime, std::uint64_t bytes = 1000) {
    RunsTrial trial;
    std::size_t runsTaken = 0;
    std::size_t wholeTaken = 0;
    for (std::size_t block = 0; block < kRunsTrialWarmUp + kRunsTrialBlocks; ++block) {
        const bool timed = timesNext(trial);
        EXPECT_EQ(timed, block >= kRunsTrialWarmUp) << block;
        std::uint64_t time = 999999;  // the warm-up is slow, and must not count
        if (timed) {
            time = nextWay(trial) == BlockWay::runs ? runsTime.at(runsTaken++)
                                                    : wholeTime.at(wholeTaken++);
        } else {
            EXPECT_EQ(nextWay(trial), BlockWay::runs) << "warm-up block " << block;
        }
        recordBlock(trial, bytes, time);
    }
    EXPECT_EQ(runsTaken, kRunsTrialBlocks / 2);
    EXPECT_EQ(wholeTaken, kRunsTrialBlocks / 2);
    const BlockWay chosen = nextWay(trial);
    for (int block = 0; block < 3; ++block) {
        EXPECT_FALSE(timesNext(trial));
        recordBlock(trial, bytes, 1);  // later times change nothing
        EXPECT_EQ(nextWay(trial), chosen);
    }
    return chosen;
}

TEST(RunsTrial, KeepsTheWayThatTookLessTimeAtItsBest) {
    struct Case {
        const char* what;
        std::vector<std::uint64_t> runs;
        std::vector<std::uint64_t> whole;
        BlockWay want;
    };
    const Case cases[] = {
        {"runs faster", {50, 52, 49, 51}, {60, 61, 59, 60}, BlockWay::runs},
        {"whole faster", {120, 130, 125, 128}, {60, 61, 59, 60}, BlockWay::whole},
        {"one slowed whole block does not decide",
         {50, 52, 49, 51},
         {40, 41, 42, 900},
         BlockWay::whole},
        {"one slowed runs block does not decide",
         {50, 49, 51, 5000},
         {60, 61, 59, 60},
         BlockWay::runs},
        {"a tie keeps the runs", {60, 60, 60, 60}, {60, 60, 60, 60}, BlockWay::runs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(chosenAfter(c.runs, c.whole), c.want);
    }
}

}  // namespace
}  // namespace search
