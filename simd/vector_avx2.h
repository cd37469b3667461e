// The 32-byte vector of AVX2 (with BMI1 and POPCNT). Kernels written over
// `Bytes` (see block_generic.h) are compiled for it inside this namespace;
// kernels that need a 16-byte step take `Bytes16`, the SSE vector, whose
// instructions take their VEX forms here.
#pragma once

#include "simd/vector_sse2.h"

#if SIMD_X86
SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX2)
namespace simd::avx2 {

inline constexpr bool kHasLookup = true;
inline constexpr bool kHasByteLookup = false;
inline constexpr bool kHasPopcount = true;
using Bytes16 = sse2::Bytes;

struct Bytes {
    static constexpr std::size_t kWidth = 32;
    using Mask = std::uint32_t;
    __m256i v;

    static Bytes load(const void* at) {
        return {_mm256_loadu_si256(static_cast<const __m256i*>(at))};
    }
    static Bytes splat(std::uint8_t byte) { return {_mm256_set1_epi8(static_cast<char>(byte))}; }
    static Bytes zero() { return {_mm256_setzero_si256()}; }
    // A 16-byte table or pattern in both halves.
    static Bytes repeated(Bytes16 half) { return {_mm256_broadcastsi128_si256(half.v)}; }
    void store(void* at) const { _mm256_storeu_si256(static_cast<__m256i*>(at), v); }

    Bytes operator==(Bytes other) const { return {_mm256_cmpeq_epi8(v, other.v)}; }
    Bytes greaterSigned(Bytes other) const { return {_mm256_cmpgt_epi8(v, other.v)}; }
    Bytes operator|(Bytes other) const { return {_mm256_or_si256(v, other.v)}; }
    Bytes operator&(Bytes other) const { return {_mm256_and_si256(v, other.v)}; }
    Bytes operator^(Bytes other) const { return {_mm256_xor_si256(v, other.v)}; }
    Bytes andNot(Bytes other) const { return {_mm256_andnot_si256(other.v, v)}; }
    Bytes operator-(Bytes other) const { return {_mm256_sub_epi8(v, other.v)}; }
    Bytes min(Bytes other) const { return {_mm256_min_epu8(v, other.v)}; }
    Bytes highNibbles() const {
        return {_mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(15))};
    }
    Bytes lowNibbles() const { return {_mm256_and_si256(v, _mm256_set1_epi8(15))}; }
    // Across the two halves: the low half's last byte moves into the high half.
    Bytes shiftedUp() const {
        return {_mm256_alignr_epi8(v, _mm256_permute2x128_si256(v, v, 0x08), 15)};
    }

    std::uint32_t mask() const { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
    bool anySet() const { return _mm256_testz_si256(v, v) == 0; }
    bool anyBitSet() const { return anySet(); }
    Mask equalMask(Bytes other) const { return (*this == other).mask(); }
    Mask nonZeroMask() const { return ~(*this == zero()).mask(); }
    static bool any(Mask mask) { return mask != 0; }
    std::size_t sum() const {
        const __m256i sums = _mm256_sad_epu8(v, _mm256_setzero_si256());
        const __m128i halves =
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        return static_cast<std::size_t>(_mm_cvtsi128_si32(halves)) +
               static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
    }
};

// Within each 16-byte half, as SSSE3's lookup does on one.
inline Bytes lookup(Bytes table, Bytes index) {
    return {_mm256_shuffle_epi8(table.v, index.v)};
}
inline Bytes16 lookup(Bytes16 table, Bytes16 index) {
    return {_mm_shuffle_epi8(table.v, index.v)};
}

#include "simd/block_generic.h"

}  // namespace simd::avx2
SIMD_TARGET_END
#endif
