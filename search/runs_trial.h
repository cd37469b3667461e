// Whether a block of folders is searched once per run of equal lines or
// whole. Collapsing the runs costs about as much as searching the bytes it
// spares, and which is more depends on the processor, not only on the
// engine: on one AMD Zen 5 machine, W3's folder blocks took 1.25 x the time
// searched whole by Teddy's AVX2 scan, and 0.73 x by its AVX-512 scan.
// So the first blocks of a run are searched both ways in turn, each timed,
// and the way that took less time per byte is kept for the rest. Where one
// way is plainly slower (its fastest block took twice the time per byte of
// the other's slowest) after two blocks each, the trial ends there: on AMD
// Zen 5 with VBMI, W1's runs took 3.8 x the whole search's time, and ending
// there took 100,000 such locations 0.97 x the time, a million 0.99 x.
#pragma once

#include <cstddef>
#include <cstdint>

namespace search {

enum class BlockWay : std::uint8_t { runs, whole };

// Each way's trial blocks (runs, whole), added up. Blocks differ: a block
// of a few long runs is searched by runs far faster than the next, so the
// whole of each way's blocks decides, not its best one; but without its
// slowest block, which an interrupt or a page fault may have slowed.
struct RunsTrial {
    std::size_t blocks = 0;  // blocks recorded so far
    std::uint64_t nanoseconds[2] = {0, 0};
    std::uint64_t bytes[2] = {0, 0};
    std::uint64_t slowestNanoseconds[2] = {0, 0};
    std::uint64_t slowestBytes[2] = {0, 0};
    std::uint64_t fastestNanoseconds[2] = {0, 0};
    std::uint64_t fastestBytes[2] = {0, 0};
    BlockWay chosen = BlockWay::runs;
};

// Blocks before the trial (the first one also touches fresh scratch memory,
// whichever way), and trial blocks, taken each way by turns.
inline constexpr std::size_t kRunsTrialWarmUp = 1;
inline constexpr std::size_t kRunsTrialBlocks = 8;
inline constexpr std::size_t kRunsTrialPlainBlocks = 4;  // after these, a plain loser ends it

// The way to search the next block.
BlockWay nextWay(const RunsTrial& trial);

// Whether the next block's time is wanted (it is a trial block).
bool timesNext(const RunsTrial& trial);

// Records the block searched the way nextWay gave: `bytes` long, it took
// `nanoseconds` (looked at only when timesNext said so).
void recordBlock(RunsTrial& trial, std::uint64_t bytes, std::uint64_t nanoseconds);

}  // namespace search
