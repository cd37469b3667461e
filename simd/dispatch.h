// The one choice behind every kernel family: which instruction set's
// kernels run. It is made once, from the processor, the first time a
// kernel is wanted; tests make it again to run each variant in turn.
#pragma once

#include <array>
#include <cstddef>

#include "simd/isa.h"
#include "simd/target.h"

namespace simd {

// Whether this build holds kernels for `isa` and this processor runs them.
bool isaRunnable(Isa isa);

// The widest runnable instruction set.
Isa widestRunnableIsa();

namespace detail {
// Made before main starts; a kernel is wanted often, so it is one load.
inline Isa activeIsa = widestRunnableIsa();
}  // namespace detail

// The instruction set every kernel family takes its kernels for: the widest
// runnable one, unless chooseIsa picked another.
inline Isa activeIsa() {
    return detail::activeIsa;
}

// From now on every kernel family takes the kernels of `isa`. Returns false,
// changing nothing, when `isa` is not runnable.
bool chooseIsa(Isa isa);

// A kernel family's table for `isa`, out of one table per instruction set,
// narrowest first: where a set has none of its own (null), the widest one
// below it serves. The family's tables of x86 sets are named with
// SIMD_X86_VARIANT (SIMD_AVX512_VARIANT for AVX-512), which leaves them out
// of builds without them.
template <class Table>
const Table& variantFor(Isa isa, const std::array<const Table*, kIsas.size()>& tables) {
    for (auto i = static_cast<std::size_t>(isa) + 1; i-- > 1;) {
        if (tables[i] != nullptr) return *tables[i];
    }
    return *tables[0];
}

// The same, resolved once for every instruction set: `tableFor(activeIsa())`
// in two loads.
template <class Table, const Table& (*TableFor)(Isa)>
const Table& activeVariant() {
    static const std::array<const Table*, kIsas.size()> resolved = [] {
        std::array<const Table*, kIsas.size()> tables{};
        for (const Isa isa : kIsas) tables[static_cast<std::size_t>(isa)] = &TableFor(isa);
        return tables;
    }();
    return *resolved[static_cast<std::size_t>(activeIsa())];
}

}  // namespace simd

#if SIMD_X86
#define SIMD_X86_VARIANT(table) &(table)
#else
#define SIMD_X86_VARIANT(table) nullptr
#endif
#if SIMD_AVX512
#define SIMD_AVX512_VARIANT(table) &(table)
#else
#define SIMD_AVX512_VARIANT(table) nullptr
#endif
