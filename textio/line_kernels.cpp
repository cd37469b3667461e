#include "textio/line_kernels.h"

#include "simd/dispatch.h"
#include "textio/line_kernel_variants.h"

namespace textio {

const LineKernels& lineKernels(simd::Isa isa) {
    return simd::variantFor<LineKernels>(
        isa,
        {&scalar::kLineKernels, SIMD_X86_VARIANT(sse2::kLineKernels),
         SIMD_X86_VARIANT(ssse3::kLineKernels), SIMD_X86_VARIANT(avx2::kLineKernels),
         SIMD_AVX512_VARIANT(avx512::kLineKernels), SIMD_AVX512_VARIANT(avx512vbmi::kLineKernels)});
}

const LineKernels& lineKernels() {
    return simd::activeVariant<LineKernels, lineKernels>();
}

}  // namespace textio
