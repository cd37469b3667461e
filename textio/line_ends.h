// Line-level work on whole blocks of text in memory: normalising line ends
// and counting lines. These run over every byte of every list, through the
// line kernels of this processor (line_kernels.h).
#pragma once

#include <cstddef>

namespace textio {

struct NormalizedLines {
    std::size_t size;       // the block's new size, never larger
    std::size_t lineFeeds;  // LF bytes in the normalised block
};

// Rewrites [begin, begin + size) in place so that every line end (CR LF, a
// lone CR, NUL) becomes one LF; returns the block's new size, never larger.
std::size_t normalizeLineEnds(char* begin, std::size_t size);

// The same, also counting the LFs of the result.
NormalizedLines normalizeCountingLines(char* begin, std::size_t size);

// The number of LF bytes in [begin, begin + size).
std::size_t countLineFeeds(const char* begin, std::size_t size);

}  // namespace textio
