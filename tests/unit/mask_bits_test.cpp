#include "simd/mask_bits.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

namespace simd {
namespace {

// Every single bit, masks with only one half set, and random masks of few
// and many bits: in a 32-bit build each half goes its own way.
TEST(MaskBits, AgreeWithTheStandardCounts) {
    std::vector<std::uint64_t> masks = {~std::uint64_t{0}, 0xFFFFFFFFu, 0xFFFFFFFF00000000u,
                                        0x8000000000000001u};
    for (unsigned bit = 0; bit < 64; ++bit) masks.push_back(std::uint64_t{1} << bit);
    std::mt19937_64 random(7);
    for (int i = 0; i < 1000; ++i) {
        masks.push_back(random());
        masks.push_back(random() & random() & random());
        masks.push_back(random() << (i % 64));
    }
    EXPECT_EQ(setBitCount(0), 0u);
    for (const std::uint64_t mask : masks) {
        SCOPED_TRACE(mask);
        if (mask == 0) continue;
        EXPECT_EQ(lowestSetBit(mask), static_cast<std::size_t>(std::countr_zero(mask)));
        EXPECT_EQ(setBitCount(mask), static_cast<std::size_t>(std::popcount(mask)));
    }
}

}  // namespace
}  // namespace simd
