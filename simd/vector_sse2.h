// The 16-byte vector of SSE2, and the byte lookup that SSSE3 adds to it.
// Kernels written over `Bytes` (see block_generic.h) are compiled once for
// each instruction set inside its namespace here.
#pragma once

#include "simd/target.h"

#if SIMD_X86
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "simd/mask_bits.h"

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSE2)
namespace simd::sse2 {

inline constexpr bool kHasLookup = false;
inline constexpr bool kHasByteLookup = false;
inline constexpr bool kHasPopcount = false;

struct Bytes {
    static constexpr std::size_t kWidth = 16;
    using Mask = std::uint32_t;  // one bit per byte, in the low bits
    __m128i v;

    static Bytes load(const void* at) { return {_mm_loadu_si128(static_cast<const __m128i*>(at))}; }
    static Bytes splat(std::uint8_t byte) { return {_mm_set1_epi8(static_cast<char>(byte))}; }
    static Bytes zero() { return {_mm_setzero_si128()}; }
    void store(void* at) const { _mm_storeu_si128(static_cast<__m128i*>(at), v); }

    // Compares give 0xFF in each byte where they hold, 0 elsewhere.
    Bytes operator==(Bytes other) const { return {_mm_cmpeq_epi8(v, other.v)}; }
    Bytes greaterSigned(Bytes other) const { return {_mm_cmpgt_epi8(v, other.v)}; }
    Bytes operator|(Bytes other) const { return {_mm_or_si128(v, other.v)}; }
    Bytes operator&(Bytes other) const { return {_mm_and_si128(v, other.v)}; }
    Bytes operator^(Bytes other) const { return {_mm_xor_si128(v, other.v)}; }
    Bytes andNot(Bytes other) const { return {_mm_andnot_si128(other.v, v)}; }  // this & ~other
    Bytes operator-(Bytes other) const { return {_mm_sub_epi8(v, other.v)}; }   // wraps
    Bytes min(Bytes other) const { return {_mm_min_epu8(v, other.v)}; }         // unsigned
    Bytes highNibbles() const { return {_mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(15))}; }
    Bytes lowNibbles() const { return {_mm_and_si128(v, _mm_set1_epi8(15))}; }
    // Byte i of the result is byte i - 1 of this; byte 0 is 0.
    Bytes shiftedUp() const { return {_mm_slli_si128(v, 1)}; }

    // Bit i is the high bit of byte i.
    std::uint32_t mask() const { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
    // Whether some byte of a compare result is set.
    bool anySet() const { return _mm_movemask_epi8(v) != 0; }
    // Whether some bit of any byte is set.
    bool anyBitSet() const { return nonZeroMask() != 0; }
    // Bit i is set where byte i equals other's, or is not 0: straight to
    // bits, which AVX-512 compares give without a vector between.
    Mask equalMask(Bytes other) const { return (*this == other).mask(); }
    Mask nonZeroMask() const { return (*this == zero()).mask() ^ 0xFFFFu; }
    // Whether some bit of a mask is set.
    static bool any(Mask mask) { return mask != 0; }
    // The sum of the bytes as unsigned numbers.
    std::size_t sum() const {
        const __m128i sums = _mm_sad_epu8(v, _mm_setzero_si128());
        return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
               static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
};

using Bytes16 = Bytes;

#include "simd/block_generic.h"

}  // namespace simd::sse2
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSSE3)
namespace simd::ssse3 {

inline constexpr bool kHasLookup = true;
inline constexpr bool kHasByteLookup = false;
inline constexpr bool kHasPopcount = false;
using sse2::Block;
using sse2::Bytes;
using sse2::Bytes16;
using sse2::kMaskWordBits;
using sse2::MaskWord;
using sse2::popcount;
using sse2::trailingZeros;

// Byte i of the result is table[index[i]] when index[i] < 16, and 0 when
// its high bit is set.
inline Bytes lookup(Bytes table, Bytes index) {
    return {_mm_shuffle_epi8(table.v, index.v)};
}

}  // namespace simd::ssse3
SIMD_TARGET_END
#endif
