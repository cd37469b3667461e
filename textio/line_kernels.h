// The hot loops of reading a list, one variant per instruction set:
// indexing and counting lines, finding the line ends that need rewriting
// and rewriting them. Every variant does exactly the same; which one runs is
// the processor's choice (simd/dispatch.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/isa.h"
#include "textio/line_index.h"

namespace textio {

struct LineKernels {
    // Counts the LFs of whole 64-byte groups from `begin`, group after
    // group: linesBefore[0] holds the LFs before the first; for each group g
    // done, linesBefore[g + 1] gets those before the next. Stops after the
    // group that brings the count to `stopAt` or more, or after `groups`
    // groups; returns how many it did. Sets found.watchedSeen when a group
    // done holds a watched byte and, with `lookForCrOrNul`, found.crOrNul
    // when one holds a CR or a NUL; leaves them as they were otherwise.
    std::size_t (*indexLineFeeds)(const char* begin, std::size_t groups, std::size_t stopAt,
                                  std::uint32_t* linesBefore, const WatchedBytes& watched,
                                  bool lookForCrOrNul, IndexFindings& found);
    // Bit i set where group[i] is LF, for the 64 bytes at `group`.
    std::uint64_t (*lineFeedMask)(const char* group);
    // The number of LF bytes in [begin, begin + size).
    std::size_t (*countLineFeeds)(const char* begin, std::size_t size);
    // The offset of the first CR or NUL in [begin, begin + size), or size.
    std::size_t (*findCrOrNul)(const char* begin, std::size_t size);
    // Rewrites [from, end) in place so that CR LF, a lone CR and NUL each
    // become one LF (a CR at `end` is a lone CR); returns the new end.
    char* (*rewriteLineEnds)(char* from, char* end);
};

// The variants for `isa`; where it has none of its own for a kernel, those
// of the widest instruction set below it.
const LineKernels& lineKernels(simd::Isa isa);

// The variants of the active instruction set.
const LineKernels& lineKernels();

}  // namespace textio
