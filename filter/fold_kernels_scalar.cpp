#include <cstdint>
#include <cstring>

#include "filter/fold_character.h"
#include "filter/fold_kernel_variants.h"

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

}  // namespace

const FoldKernels kFoldKernels = {foldInto};

}  // namespace filter::scalar
