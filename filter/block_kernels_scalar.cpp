#include <algorithm>
#include <cstdint>
#include <cstring>

#include "filter/block_kernel_variants.h"
#include "filter/fold_character.h"

namespace filter::scalar {
namespace {

// Lowercases eight ASCII bytes at once: no byte has its high bit set, so the
// per-byte additions below cannot carry into a neighbour.
std::uint64_t lowerAsciiWord(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const std::uint64_t atLeastA = word + kOnes * (0x80 - 'A');
    const std::uint64_t pastZ = word + kOnes * (0x80 - 'Z' - 1);
    return word | ((atLeastA & ~pastZ & kHighs) >> 2);
}

char* foldInto(const unsigned char* p, const unsigned char* end, char* out) {
    while (p != end) {
        // Most text is ASCII: eight bytes at once while they are.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ULL) == 0) {
                word = lowerAsciiWord(word);
                std::memcpy(out, &word, sizeof word);
                p += 8;
                out += 8;
                continue;
            }
        }
        foldCharacter(p, end, out);
    }
    return out;
}

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
    for (std::size_t line = 0; line < lines;) {
        std::size_t period = 1;
        while (bytes[start + period - 1] != '\n') ++period;
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

const BlockKernels kBlockKernels = {foldInto, hasFoldLead, collapseRuns};

}  // namespace filter::scalar
