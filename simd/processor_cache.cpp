#include "simd/processor_cache.h"

#include "simd/target.h"

#if SIMD_X86
#include <cpuid.h>
#endif

namespace simd {

std::size_t secondLevelCacheBytes() {
#if SIMD_X86
    // Extended leaf 0x80000006 gives the size in KiB in ECX[31:16], on AMD
    // and Intel processors alike. Two questions, not the four of __get_cpuid
    // twice: in a virtual machine each may trap to the host (7.5 us each on
    // one Intel Xeon VM). Clang's cpuid.h gives the highest leaf as an int.
    if (static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) < 0x80000006u) return 0;
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    __cpuid(0x80000006u, eax, ebx, ecx, edx);
    return std::size_t{ecx >> 16} * 1024;
#else
    return 0;
#endif
}

}  // namespace simd
