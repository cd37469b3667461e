// The vector line kernels of line_kernels_generic.h, compiled for each x86
// instruction set in its own namespace and target region.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "simd/vector_avx512vbmi.h"
#include "textio/line_kernel_variants.h"

#if SIMD_X86
SIMD_ALLOW_UNDEFINED_VECTORS

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSE2)
namespace textio::sse2 {
using namespace simd::sse2;
#include "textio/line_kernels_generic.h"
}  // namespace textio::sse2
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSSE3)
namespace textio::ssse3 {
using namespace simd::ssse3;
#include "textio/line_kernels_generic.h"
}  // namespace textio::ssse3
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX2)
namespace textio::avx2 {
using namespace simd::avx2;
#include "textio/line_kernels_generic.h"
}  // namespace textio::avx2
SIMD_TARGET_END

#if SIMD_AVX512
SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512)
namespace textio::avx512 {
using namespace simd::avx512;
#include "textio/line_kernels_generic.h"
}  // namespace textio::avx512
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512VBMI)
namespace textio::avx512vbmi {
using namespace simd::avx512vbmi;
#include "textio/line_kernels_generic.h"
}  // namespace textio::avx512vbmi
SIMD_TARGET_END
#endif
#endif
