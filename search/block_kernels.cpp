#include "search/block_kernels.h"

#include "search/block_kernel_variants.h"
#include "simd/dispatch.h"

namespace search {

const BlockKernels& blockKernels(simd::Isa isa) {
    // SSSE3 adds nothing the block kernels use; AVX-512 was no faster.
    return simd::variantFor<BlockKernels>(
        isa, {&scalar::kBlockKernels, SIMD_X86_VARIANT(sse2::kBlockKernels), nullptr,
              SIMD_X86_VARIANT(avx2::kBlockKernels), nullptr});
}

const BlockKernels& blockKernels() {
    return simd::activeVariant<BlockKernels, blockKernels>();
}

}  // namespace search
