// Line-level work on whole blocks of text in memory: normalising line ends,
// counting and skipping lines. These run over every byte of every list, so
// they go sixteen bytes at a time where the processor allows (SSE2).
#pragma once

#include <cstddef>
#include <cstdint>

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

// The position just after the n-th LF at or after `begin`, or `end` when
// there are fewer: skips n lines of a joined text.
const char* skipLines(const char* begin, const char* end, std::size_t n);

}  // namespace textio
