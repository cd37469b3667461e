// The vector fold kernel of fold_kernels_generic.h, compiled for each x86
// instruction set in its own namespace and target region (SSSE3 adds
// nothing it uses).
#include <cstddef>
#include <cstdint>

#include "filter/fold_character.h"
#include "filter/fold_kernel_variants.h"
#include "simd/vector_avx2.h"

#if SIMD_X86
SIMD_TARGET_BEGIN(SIMD_FEATURES_SSE2)
namespace filter::sse2 {
using namespace simd::sse2;
#include "filter/fold_kernels_generic.h"
}  // namespace filter::sse2
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX2)
namespace filter::avx2 {
using namespace simd::avx2;
#include "filter/fold_kernels_generic.h"
}  // namespace filter::avx2
SIMD_TARGET_END
#endif
