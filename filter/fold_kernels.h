// Folding whole blocks of raw text, one variant per instruction set: ASCII
// and two-byte Latin-1 letters a vector at a time, every other character as
// it comes. Every variant does exactly the same; which one runs is the
// processor's choice (simd/dispatch.h).
#pragma once

#include "simd/isa.h"

namespace filter {

struct FoldKernels {
    // Writes the folded form of [begin, end) to `out`, which has room for
    // kMaxFoldGrowth bytes per byte; returns the end of what was written.
    char* (*foldInto)(const unsigned char* begin, const unsigned char* end, char* out);
};

// The variants for `isa`; where it has none of its own, those of the widest
// instruction set below it.
const FoldKernels& foldKernels(simd::Isa isa);

// The variants of the active instruction set.
const FoldKernels& foldKernels();

}  // namespace filter
