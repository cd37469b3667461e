// Counts over 64-bit masks in code compiled for the build's baseline (the
// kernels have their own, for their instruction set). In a 32-bit build the
// standard ones are calls into the compiler's runtime (__ctzdi2,
// __popcountdi2), which a kept line pays several times over: these go by
// 32-bit halves, inline. 64-bit builds keep the standard ones.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace simd {

// The index of the lowest set bit (bits != 0).
inline std::size_t lowestSetBit(std::uint64_t bits) {
    if constexpr (sizeof(std::size_t) == 8) {
        return static_cast<std::size_t>(std::countr_zero(bits));
    } else {
        const auto low = static_cast<std::uint32_t>(bits);
        return low != 0 ? static_cast<std::size_t>(std::countr_zero(low))
                        : 32 + static_cast<std::size_t>(
                                   std::countr_zero(static_cast<std::uint32_t>(bits >> 32)));
    }
}

// The number of set bits.
inline std::size_t setBitCount(std::uint64_t bits) {
#if defined(__i386__) && !defined(__POPCNT__)
    bits = bits - ((bits >> 1) & 0x5555555555555555u);
    bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    // Two 32-bit products rather than a 64-bit one.
    const auto sum = static_cast<std::uint32_t>(bits) + static_cast<std::uint32_t>(bits >> 32);
    return static_cast<std::size_t>((sum * 0x01010101u) >> 24);
#else
    return static_cast<std::size_t>(std::popcount(bits));
#endif
}

}  // namespace simd
