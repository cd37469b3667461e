#include "textio/line_feed_offsets.h"

#include <algorithm>
#include <cstring>

namespace textio {

void reserveLineFeeds(LineFeedOffsets& noted, std::size_t more) {
    constexpr std::size_t kEntry = sizeof(std::size_t);
    const std::size_t capacity = largeBufferSize(noted.bytes) / kEntry;
    if (capacity - noted.count >= more) return;
    const std::size_t wanted =
        std::max({2 * capacity, noted.count + more, kLargeBufferMinimum / kEntry});
    LargeBuffer bytes = allocateLargeBuffer(wanted * kEntry);
    if (noted.count > 0) std::memcpy(bytes.get(), noted.bytes.get(), noted.count * kEntry);
    noted.bytes = std::move(bytes);
}

}  // namespace textio
