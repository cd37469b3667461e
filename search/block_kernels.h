// The kernels that pass over whole blocks of list text before the search,
// one variant per instruction set: the check for characters that fold into
// the terms' range from beyond it, and collapsing runs of equal lines. Every variant does exactly
// the same; which one runs is the processor's choice (simd/dispatch.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/isa.h"

namespace search {

struct BlockKernels {
    // Whether [begin, begin + size) holds a byte that may start a character
    // from beyond ASCII that folds to ASCII, U+0130 İ (C4) or U+212A Kelvin
    // (E2), or, when `latin`, beyond Latin-1 to Latin-1 as well: U+0178 Ÿ
    // (C5), U+1E9E ẞ (E1), U+212B Ångström (E2).
    bool (*hasFoldLead)(const char* begin, std::size_t size, bool latin);
    // Finds the runs of equal lines among the first `lines` lines of `bytes`
    // (`size` bytes of whole lines, lines >= 1) and copies each run's line,
    // with its LF, once to `out`, which has room for size + 64 bytes:
    // runStarts[r] gets the line where run r starts (room for `lines`).
    // Returns the number of runs; `copied` gets the bytes written.
    std::size_t (*collapseRuns)(const char* bytes, std::size_t size, std::size_t lines,
                                std::uint32_t* runStarts, char* out, std::size_t& copied);
};

// The variants for `isa`; where it has none of its own for a kernel, those
// of the widest instruction set below it.
const BlockKernels& blockKernels(simd::Isa isa);

// The variants of the active instruction set.
const BlockKernels& blockKernels();

}  // namespace search
