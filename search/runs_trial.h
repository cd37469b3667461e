// Whether a block of folders is searched once per run of equal lines or
// whole. Collapsing the runs costs about as much as searching the bytes it
// spares, and which is more depends on the processor, not only on the
// engine: on one AMD Zen 5 machine, Teddy's AVX2 scan searched W3's blocks
// whole 9% slower than by runs, its AVX-512 scan 2.6% faster (W1: 10%).
// So the first blocks of a run are searched both ways in turn, each timed,
// and the way that took less time per byte is kept for the rest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace search {

enum class BlockWay : std::uint8_t { runs, whole };

struct RunsTrial {
    std::size_t blocks = 0;  // blocks recorded so far
    // The least time per byte seen each way (runs, whole): a block that an
    // interrupt or a page fault slowed must not decide.
    std::uint64_t bestNanoseconds[2] = {0, 0};
    std::uint64_t bestBytes[2] = {0, 0};
    BlockWay chosen = BlockWay::runs;
};

// Blocks before the trial (the first one also touches fresh scratch memory,
// whichever way), and trial blocks, taken each way by turns.
inline constexpr std::size_t kRunsTrialWarmUp = 1;
inline constexpr std::size_t kRunsTrialBlocks = 8;

// The way to search the next block.
BlockWay nextWay(const RunsTrial& trial);

// Whether the next block's time is wanted (it is a trial block).
bool timesNext(const RunsTrial& trial);

// Records the block searched the way nextWay gave: `bytes` long, it took
// `nanoseconds` (looked at only when timesNext said so).
void recordBlock(RunsTrial& trial, std::uint64_t bytes, std::uint64_t nanoseconds);

}  // namespace search
