// The variants of the fold kernel (fold_kernels.h), one table per
// instruction set.
#pragma once

#include "filter/fold_kernels.h"

namespace filter {

// Plain C++: the portable build's variant, and the model every vector
// variant is tested against.
namespace scalar {
extern const FoldKernels kFoldKernels;
}

// From fold_kernels_generic.h, for SSE2 and AVX2 (see fold_kernels_x86.cpp).
namespace sse2 {
extern const FoldKernels kFoldKernels;
}
namespace avx2 {
extern const FoldKernels kFoldKernels;
}

}  // namespace filter
