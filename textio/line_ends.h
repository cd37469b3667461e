// Line-level work on whole blocks of text in memory: normalising line ends,
// noting where lines end, counting lines. These run over every byte of every
// list, so they go sixteen bytes at a time where the processor allows (SSE2).
#pragma once

#include <cstddef>
#include <cstdint>

#include "textio/large_buffer.h"

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

// Offsets of LFs, noted in order: the first `count` entries of `bytes`,
// which is uninitialised room for more (a fresh page costs a fault, and
// zeroing room would touch every page of it).
struct LineFeedOffsets {
    LargeBuffer bytes;
    std::size_t count = 0;
};

inline std::size_t* noteData(LineFeedOffsets& noted) {
    return reinterpret_cast<std::size_t*>(noted.bytes.get());
}

// Makes room for `more` offsets after the noted ones.
void reserveLineFeeds(LineFeedOffsets& noted, std::size_t more);

// normalizeLineEnds, noting base + i for each LF at begin[i] of the result:
// where every line of the block ends. Returns the block's new size.
std::size_t normalizeNotingLineEnds(char* begin, std::size_t size, std::size_t base,
                                    LineFeedOffsets& noted);

}  // namespace textio
