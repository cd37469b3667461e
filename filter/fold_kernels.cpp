#include "filter/fold_kernels.h"

#include "filter/fold_kernel_variants.h"
#include "simd/dispatch.h"

namespace filter {

const FoldKernels& foldKernels(simd::Isa isa) {
    // SSSE3 adds nothing the fold kernel uses; AVX-512 was no faster.
    return simd::variantFor<FoldKernels>(
        isa, {&scalar::kFoldKernels, SIMD_X86_VARIANT(sse2::kFoldKernels), nullptr,
              SIMD_X86_VARIANT(avx2::kFoldKernels), nullptr});
}

const FoldKernels& foldKernels() {
    return simd::activeVariant<FoldKernels, foldKernels>();
}

}  // namespace filter
