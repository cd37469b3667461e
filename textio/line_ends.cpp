#include "textio/line_ends.h"

#include "textio/line_kernels.h"

namespace textio {

std::size_t normalizeLineEnds(char* begin, std::size_t size) {
    // Most files have no CR and no NUL: then nothing is rewritten.
    const LineKernels& kernels = lineKernels();
    char* const from = begin + kernels.findCrOrNul(begin, size);
    return static_cast<std::size_t>(kernels.rewriteLineEnds(from, begin + size) - begin);
}

NormalizedLines normalizeCountingLines(char* begin, std::size_t size) {
    const std::size_t newSize = normalizeLineEnds(begin, size);
    return {newSize, countLineFeeds(begin, newSize)};
}

std::size_t countLineFeeds(const char* begin, std::size_t size) {
    return lineKernels().countLineFeeds(begin, size);
}

}  // namespace textio
