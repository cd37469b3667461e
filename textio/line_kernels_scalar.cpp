#include "textio/line_kernel_variants.h"

namespace textio::scalar {
namespace {

bool isCrOrNul(char byte) {
    return byte == '\r' || byte == '\0';
}

std::size_t noteLineFeedGroups(const char* begin, std::size_t size, std::size_t base,
                               LineFeedOffsets& noted) {
    std::size_t at = 0;
    for (; size - at >= kLineFeedGroup; at += kLineFeedGroup) {
        const char* group = begin + at;
        std::size_t lineFeeds = 0;
        for (std::size_t i = 0; i < kLineFeedGroup; ++i) {
            if (isCrOrNul(group[i])) return at;
            lineFeeds += group[i] == '\n' ? 1 : 0;
        }
        reserveLineFeeds(noted, lineFeeds);
        for (std::size_t i = 0; i < kLineFeedGroup; ++i) {
            if (group[i] == '\n') noteData(noted)[noted.count++] = base + at + i;
        }
    }
    return at;
}

std::size_t countLineFeeds(const char* begin, std::size_t size) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < size; ++i) count += begin[i] == '\n' ? 1 : 0;
    return count;
}

std::size_t findCrOrNul(const char* begin, std::size_t size) {
    std::size_t at = 0;
    while (at != size && !isCrOrNul(begin[at])) ++at;
    return at;
}

}  // namespace

char* rewriteLineEnds(char* from, char* end) {
    char* read = from;
    char* write = from;
    while (read != end) rewriteOne(read, write, end);
    return write;
}

const LineKernels kLineKernels = {noteLineFeedGroups, countLineFeeds, findCrOrNul, rewriteLineEnds};

}  // namespace textio::scalar
