// The variants of the line kernels (line_kernels.h), one table per
// instruction set, and what the vector variants share with the plain one.
#pragma once

#include <cstddef>

#include "textio/line_kernels.h"

namespace textio {

// Plain C++: the portable build's variants, and the model every vector
// variant is tested against.
namespace scalar {
extern const LineKernels kLineKernels;

char* rewriteLineEnds(char* from, char* end);

// One line end (or one ordinary byte) from `read`, written at `write`.
inline void rewriteOne(char*& read, char*& write, const char* end) {
    const char byte = *read++;
    if (byte == '\r') {
        if (read != end && *read == '\n') ++read;  // CR LF is one line end
        *write++ = '\n';
    } else if (byte == '\0') {
        *write++ = '\n';
    } else {
        *write++ = byte;
    }
}

}  // namespace scalar

// From line_kernels_generic.h, for each x86 instruction set.
namespace sse2 {
extern const LineKernels kLineKernels;
}
namespace ssse3 {
extern const LineKernels kLineKernels;
}
namespace avx2 {
extern const LineKernels kLineKernels;
}
namespace avx512 {
extern const LineKernels kLineKernels;
}
namespace avx512vbmi {
extern const LineKernels kLineKernels;
}

}  // namespace textio
