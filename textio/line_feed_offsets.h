// Where the lines of a block end: the offsets of its LFs, noted in order.
#pragma once

#include <cstddef>

#include "textio/large_buffer.h"

namespace textio {

// The first `count` entries of `bytes` are noted offsets; the rest is
// uninitialised room for more (a fresh page costs a fault, and zeroing room
// would touch every page of it).
struct LineFeedOffsets {
    LargeBuffer bytes;
    std::size_t count = 0;
};

inline std::size_t* noteData(LineFeedOffsets& noted) {
    return reinterpret_cast<std::size_t*>(noted.bytes.get());
}

// Makes room for `more` offsets after the noted ones.
void reserveLineFeeds(LineFeedOffsets& noted, std::size_t more);

}  // namespace textio
