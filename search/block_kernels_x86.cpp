// The vector block kernels of block_kernels_generic.h, compiled for each x86
// instruction set in its own namespace and target region. SSSE3 adds
// nothing they use, and their AVX-512 variants measured no faster than the
// AVX2 ones (AMD Zen 4).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "search/block_kernel_variants.h"
#include "simd/vector_avx2.h"
#include "textio/short_bytes.h"

#if SIMD_X86
SIMD_TARGET_BEGIN(SIMD_FEATURES_SSE2)
namespace search::sse2 {
using namespace simd::sse2;
#include "search/block_kernels_generic.h"
}  // namespace search::sse2
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX2)
namespace search::avx2 {
using namespace simd::avx2;
#include "search/block_kernels_generic.h"
}  // namespace search::avx2
SIMD_TARGET_END

#endif
