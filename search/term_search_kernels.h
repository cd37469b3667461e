// The filter engines' scans (Pair, Teddy), one variant per instruction set
// that has what they need. A search takes the variants of the instruction
// set active when it is built (simd/dispatch.h).
#pragma once

#include <array>
#include <cstddef>

#include "search/term_search.h"
#include "simd/isa.h"

namespace search {

struct TermSearchKernels {
    // Indexed by CaseMode; null where the instruction set has no variant.
    std::array<TermFinder, 2> pair{};
    // Indexed by CaseMode and fingerprint length - 1; null likewise.
    std::array<std::array<TermFinder, kTeddyMaxFingerprint>, 2> teddy{};
    // Past this many terms Teddy's buckets let too much through and the
    // automaton is faster (sooner with 16 positions per step than with 32).
    std::size_t teddyMaxTerms = 0;
};

const TermSearchKernels& termSearchKernels(simd::Isa isa);

}  // namespace search
