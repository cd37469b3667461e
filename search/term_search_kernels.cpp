#include "search/term_search_kernels.h"

#include "search/term_search_kernel_variants.h"
#include "simd/dispatch.h"

namespace search {

const TermSearchKernels& termSearchKernels(simd::Isa isa) {
    // Without vectors there are no filter engines: the automaton serves.
    static const TermSearchKernels none;
    return simd::variantFor<TermSearchKernels>(
        isa,
        {&none, SIMD_X86_VARIANT(sse2::kTermSearchKernels),
         SIMD_X86_VARIANT(ssse3::kTermSearchKernels), SIMD_X86_VARIANT(avx2::kTermSearchKernels),
         SIMD_AVX512_VARIANT(avx512::kTermSearchKernels),
         SIMD_AVX512_VARIANT(avx512vbmi::kTermSearchKernels)});
}

}  // namespace search
