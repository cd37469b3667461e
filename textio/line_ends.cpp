#include "textio/line_ends.h"

#include "textio/line_kernels.h"

namespace textio {

NormalizedLines normalizeLineEnds(char* begin, std::size_t size) {
    // Most files have no CR and no NUL: then nothing is rewritten.
    const LineKernels& kernels = lineKernels();
    char* const from = begin + kernels.findCrOrNul(begin, size);
    char* const stop = kernels.rewriteLineEnds(from, begin + size);
    const auto newSize = static_cast<std::size_t>(stop - begin);
    return {newSize, kernels.countLineFeeds(begin, newSize)};
}

std::size_t countLineFeeds(const char* begin, std::size_t size) {
    return lineKernels().countLineFeeds(begin, size);
}

std::size_t normalizeNotingLineEnds(char* begin, std::size_t size, std::size_t base,
                                    LineFeedOffsets& noted) {
    // Most files have no CR and no NUL: whole groups of bytes are only looked
    // at, their LFs noted, up to the first group that holds one of those.
    const LineKernels& kernels = lineKernels();
    std::size_t at = kernels.noteLineFeedGroups(begin, size, base, noted);
    if (at == size) return size;
    // The rest is rewritten first, then its LFs noted the same way (it holds
    // no CR or NUL any more); what the groups leave over, byte by byte.
    const auto rewritten =
        static_cast<std::size_t>(kernels.rewriteLineEnds(begin + at, begin + size) - begin);
    at += kernels.noteLineFeedGroups(begin + at, rewritten - at, base + at, noted);
    for (; at != rewritten; ++at) {
        if (begin[at] != '\n') continue;
        reserveLineFeeds(noted, 1);
        noteData(noted)[noted.count++] = base + at;
    }
    return rewritten;
}

}  // namespace textio
