// The 64-byte vector of AVX-512 (F, BW and VL, with the AVX2 set beneath).
// Compares give a bit per byte in a mask register; `Bytes` keeps the other
// sets' interface by widening a mask to bytes where a kernel goes on with
// vector work, and reading it back where the kernel wants bits.
#pragma once

#include "simd/vector_avx2.h"

#if SIMD_AVX512
SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512)
namespace simd::avx512 {

inline constexpr bool kHasLookup = true;
inline constexpr bool kHasByteLookup = false;
inline constexpr bool kHasPopcount = true;
using Bytes16 = sse2::Bytes;

struct Bytes {
    static constexpr std::size_t kWidth = 64;
    using Mask = std::uint64_t;
    __m512i v;

    static Bytes load(const void* at) { return {_mm512_loadu_si512(at)}; }
    static Bytes splat(std::uint8_t byte) { return {_mm512_set1_epi8(static_cast<char>(byte))}; }
    static Bytes zero() { return {_mm512_setzero_si512()}; }
    static Bytes fromMask(__mmask64 mask) { return {_mm512_movm_epi8(mask)}; }
    // A 16-byte table or pattern in each of the four quarters.
    static Bytes repeated(Bytes16 quarter) { return {_mm512_broadcast_i32x4(quarter.v)}; }
    void store(void* at) const { _mm512_storeu_si512(at, v); }

    Bytes operator==(Bytes other) const { return fromMask(_mm512_cmpeq_epi8_mask(v, other.v)); }
    Bytes greaterSigned(Bytes other) const { return fromMask(_mm512_cmpgt_epi8_mask(v, other.v)); }
    Bytes operator|(Bytes other) const { return {_mm512_or_si512(v, other.v)}; }
    Bytes operator&(Bytes other) const { return {_mm512_and_si512(v, other.v)}; }
    Bytes operator^(Bytes other) const { return {_mm512_xor_si512(v, other.v)}; }
    Bytes andNot(Bytes other) const { return {_mm512_andnot_si512(other.v, v)}; }
    Bytes operator-(Bytes other) const { return {_mm512_sub_epi8(v, other.v)}; }
    Bytes min(Bytes other) const { return {_mm512_min_epu8(v, other.v)}; }
    Bytes highNibbles() const {
        return {_mm512_and_si512(_mm512_srli_epi16(v, 4), _mm512_set1_epi8(15))};
    }
    Bytes lowNibbles() const { return {_mm512_and_si512(v, _mm512_set1_epi8(15))}; }
    // Across the four quarters: each quarter's last byte moves into the next.
    Bytes shiftedUp() const {
        const __m512i before = _mm512_maskz_shuffle_i64x2(0xFC, v, v, 0x90);
        return {_mm512_alignr_epi8(v, before, 15)};
    }

    Mask mask() const { return _mm512_movepi8_mask(v); }
    bool anySet() const { return any(_mm512_test_epi8_mask(v, v)); }
    bool anyBitSet() const { return anySet(); }
    Mask equalMask(Bytes other) const { return _mm512_cmpeq_epi8_mask(v, other.v); }
    Mask nonZeroMask() const { return _mm512_test_epi8_mask(v, v); }
    // Tested in its mask register: a 32-bit build would otherwise take a
    // 64-bit mask out through memory, a word at a time, to compare it.
    static bool any(Mask mask) { return _kortestz_mask64_u8(mask, mask) == 0; }
    std::size_t sum() const {
        const __m512i sums = _mm512_sad_epu8(v, _mm512_setzero_si512());
        return static_cast<std::size_t>(_mm512_reduce_add_epi64(sums));
    }
};

// Within each 16-byte quarter, as SSSE3's lookup does on one.
inline Bytes lookup(Bytes table, Bytes index) {
    return {_mm512_shuffle_epi8(table.v, index.v)};
}
inline Bytes16 lookup(Bytes16 table, Bytes16 index) {
    return {_mm_shuffle_epi8(table.v, index.v)};
}

#include "simd/block_generic.h"

inline std::size_t countEqualByHalves(Bytes a, Bytes b) {
    const __m256i other = _mm512_castsi512_si256(b.v);
    const __mmask32 low = _mm256_cmpeq_epi8_mask(_mm512_castsi512_si256(a.v), other);
    const __mmask32 high = _mm256_cmpeq_epi8_mask(_mm512_extracti64x4_epi64(a.v, 1), other);
    return static_cast<std::size_t>(__builtin_popcount(_cvtmask32_u32(low)) +
                                    __builtin_popcount(_cvtmask32_u32(high)));
}

}  // namespace simd::avx512
SIMD_TARGET_END
#endif
