// The variants of the block kernels (block_kernels.h), one table per
// instruction set.
#pragma once

#include "search/block_kernels.h"

namespace search {

// Plain C++: the portable build's variants, and the model every vector
// variant is tested against.
namespace scalar {
extern const BlockKernels kBlockKernels;
}

// From block_kernels_generic.h, for SSE2 and AVX2 (see block_kernels_x86.cpp).
namespace sse2 {
extern const BlockKernels kBlockKernels;
}
namespace avx2 {
extern const BlockKernels kBlockKernels;
}

}  // namespace search
