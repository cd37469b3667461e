// AVX-512 with VBMI: the vector of AVX-512, and VBMI's lookups of a byte in
// a 128-byte table held in two vectors or a 64-byte one in one, for kernels
// that have a variant of their own for it (the others take the AVX-512 one).
#pragma once

#include "simd/vector_avx512.h"

#if SIMD_AVX512
SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512VBMI)
namespace simd::avx512vbmi {

inline constexpr bool kHasLookup = true;
inline constexpr bool kHasByteLookup = true;
inline constexpr bool kHasPopcount = true;
using avx512::Block;
using avx512::Bytes;
using avx512::Bytes16;
using avx512::keepInRegister;
using avx512::lookup;
using avx512::trailingZeros;

// Byte i of the result is byte index[i] & 127 of the table whose first 64
// bytes are `low` and last 64 `high`: the high bit of an index is ignored.
inline Bytes lookup128(Bytes low, Bytes high, Bytes index) {
    return {_mm512_permutex2var_epi8(low.v, index.v, high.v)};
}

// Byte i of the result is byte index[i] & 63 of the table.
inline Bytes lookup64(Bytes table, Bytes index) {
    return {_mm512_permutexvar_epi8(index.v, table.v)};
}

}  // namespace simd::avx512vbmi
SIMD_TARGET_END
#endif
