// What the processor says of its caches, for buffers sized to stay in them.
#pragma once

#include <cstddef>

namespace simd {

// The second-level cache of one core, in bytes; 0 when the processor does
// not say (or is not an x86 one).
std::size_t secondLevelCacheBytes();

}  // namespace simd
