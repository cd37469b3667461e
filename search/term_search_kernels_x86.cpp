// The filter engines' scans of term_search_kernels_generic.h, compiled for
// each x86 instruction set in its own namespace and target region.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "search/term_search_engines.h"
#include "search/term_search_kernel_variants.h"
#include "simd/vector_avx512vbmi.h"

#if SIMD_X86
SIMD_ALLOW_UNDEFINED_VECTORS

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSE2)
namespace search::sse2 {
using namespace simd::sse2;
#include "search/term_search_kernels_generic.h"
const TermSearchKernels kTermSearchKernels = termSearchKernelsFor<Bytes>(0);
}  // namespace search::sse2
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_SSSE3)
namespace search::ssse3 {
using namespace simd::ssse3;
#include "search/term_search_kernels_generic.h"
const TermSearchKernels kTermSearchKernels = termSearchKernelsFor<Bytes>(40);
}  // namespace search::ssse3
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX2)
namespace search::avx2 {
using namespace simd::avx2;
#include "search/term_search_kernels_generic.h"
const TermSearchKernels kTermSearchKernels = termSearchKernelsFor<Bytes>(64);
}  // namespace search::avx2
SIMD_TARGET_END

#if SIMD_AVX512
SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512)
namespace search::avx512 {
using namespace simd::avx512;
#include "search/term_search_kernels_generic.h"
const TermSearchKernels kTermSearchKernels = termSearchKernelsFor<Bytes>(64);
}  // namespace search::avx512
SIMD_TARGET_END

SIMD_TARGET_BEGIN(SIMD_FEATURES_AVX512VBMI)
namespace search::avx512vbmi {
using namespace simd::avx512vbmi;
#include "search/term_search_kernels_generic.h"
const TermSearchKernels kTermSearchKernels = termSearchKernelsFor<Bytes>(64);
}  // namespace search::avx512vbmi
SIMD_TARGET_END
#endif
#endif
