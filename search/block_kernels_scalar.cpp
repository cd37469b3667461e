#include <algorithm>
#include <cstdint>
#include <cstring>

#include "search/block_kernel_variants.h"

namespace search::scalar {
namespace {

bool hasFoldLead(const char* begin, std::size_t size, bool latin) {
    const auto* p = reinterpret_cast<const unsigned char*>(begin);
    for (const auto* end = p + size; p != end; ++p) {
        if (*p == 0xC4 || *p == 0xE2 || (latin && (*p == 0xC5 || *p == 0xE1))) return true;
    }
    return false;
}

std::size_t collapseRuns(const char* bytes, std::size_t size, std::size_t lines,
                         std::uint32_t* runStarts, char* out, std::size_t& copied) {
    std::size_t runs = 0;
    std::size_t start = 0;
    char* const first = out;
    for (std::size_t line = 0; line < lines && start < size;) {
        std::size_t period = 1;
        while (start + period < size && bytes[start + period - 1] != '\n') ++period;
        // The copies end where the bytes stop repeating with the line's length.
        std::size_t from = start + period;
        while (from != size && bytes[from] == bytes[from - period]) ++from;
        const std::size_t copies = std::min((from - start) / period, lines - line);
        runStarts[runs++] = static_cast<std::uint32_t>(line);
        std::memcpy(out, bytes + start, period);
        out += period;
        line += copies;
        start += copies * period;
    }
    copied = static_cast<std::size_t>(out - first);
    return runs;
}

}  // namespace

const BlockKernels kBlockKernels = {hasFoldLead, collapseRuns};

}  // namespace search::scalar
