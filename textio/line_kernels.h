// The hot loops of reading a list, one variant per instruction set: noting
// where lines end, counting them, and rewriting CR LF, lone CR and NUL line
// ends. Every variant does exactly the same; which one runs is the
// processor's choice (simd/dispatch.h).
#pragma once

#include <cstddef>

#include "simd/isa.h"
#include "textio/line_feed_offsets.h"

namespace textio {

// Lines are noted 64-byte group by group.
inline constexpr std::size_t kLineFeedGroup = 64;

struct LineKernels {
    // Notes base + i for each LF at begin[i], group by group from the start
    // of [begin, begin + size), and stops before the first group that holds
    // a CR or NUL (those need rewriting) or that the bytes left do not fill.
    // Returns where it stopped: the bytes before are untouched and all their
    // LFs noted.
    std::size_t (*noteLineFeedGroups)(const char* begin, std::size_t size, std::size_t base,
                                      LineFeedOffsets& noted);
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
