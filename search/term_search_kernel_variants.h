// The variants of the filter engines' scans (term_search_kernels.h), one
// table per x86 instruction set, from term_search_kernels_generic.h. Without
// vectors there are none: the automaton is the portable engine.
#pragma once

#include "search/term_search_kernels.h"

namespace search {

namespace sse2 {
extern const TermSearchKernels kTermSearchKernels;
}
namespace ssse3 {
extern const TermSearchKernels kTermSearchKernels;
}
namespace avx2 {
extern const TermSearchKernels kTermSearchKernels;
}
namespace avx512 {
extern const TermSearchKernels kTermSearchKernels;
}
namespace avx512vbmi {
extern const TermSearchKernels kTermSearchKernels;
}

}  // namespace search
