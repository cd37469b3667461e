// Line-level work on whole blocks of text in memory: normalising line ends,
// noting where lines end, counting lines. These run over every byte of every
// list, through the line kernels of this processor (line_kernels.h).
#pragma once

#include <cstddef>

#include "textio/line_feed_offsets.h"

namespace textio {

struct NormalizedLines {
    std::size_t size;       // the block's new size, never larger
    std::size_t lineFeeds;  // LF bytes in the normalised block
};

// Rewrites [begin, begin + size) in place so that every line end (CR LF, a
// lone CR, NUL) becomes one LF, and counts the LFs.
NormalizedLines normalizeLineEnds(char* begin, std::size_t size);

// The number of LF bytes in [begin, begin + size).
std::size_t countLineFeeds(const char* begin, std::size_t size);

// normalizeLineEnds, noting base + i for each LF at begin[i] of the result:
// where every line of the block ends. Returns the block's new size.
std::size_t normalizeNotingLineEnds(char* begin, std::size_t size, std::size_t base,
                                    LineFeedOffsets& noted);

}  // namespace textio
