#include "textio/line_kernel_variants.h"

namespace textio::scalar {
namespace {

bool isCrOrNul(char byte) {
    return byte == '\r' || byte == '\0';
}

std::size_t indexLineFeeds(const char* begin, std::size_t groups, std::size_t stopAt,
                           std::uint32_t* linesBefore, const WatchedBytes& watched,
                           bool lookForCrOrNul, IndexFindings& found) {
    std::size_t lines = linesBefore[0];
    for (std::size_t group = 0; group < groups; ++group) {
        const char* bytes = begin + group * kLineIndexGroup;
        for (std::size_t i = 0; i < kLineIndexGroup; ++i) {
            lines += bytes[i] == '\n' ? 1 : 0;
            if (lookForCrOrNul && isCrOrNul(bytes[i])) found.crOrNul = true;
        }
        found.watchedSeen = found.watchedSeen || holdsWatched(watched, bytes, kLineIndexGroup);
        linesBefore[group + 1] = static_cast<std::uint32_t>(lines);
        if (lines >= stopAt) return group + 1;
    }
    return groups;
}

std::uint64_t lineFeedMask(const char* group) {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kLineIndexGroup; ++i) {
        mask |= static_cast<std::uint64_t>(group[i] == '\n') << i;
    }
    return mask;
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

const LineKernels kLineKernels = {indexLineFeeds, lineFeedMask, countLineFeeds, findCrOrNul,
                                  rewriteLineEnds};

}  // namespace textio::scalar
