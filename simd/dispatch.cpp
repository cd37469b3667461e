#include "simd/dispatch.h"

#include <cstdint>

#include "simd/target.h"

#if SIMD_X86
#include <cpuid.h>
#endif

namespace simd {
namespace {

#if SIMD_X86
// What the processor has, and whether the system saves the wider registers
// (XCR0). Asked directly rather than through the compiler's checks: those
// ask the processor about every feature it knows of, and in a virtual
// machine each question may trap to the host (tens of microseconds a run).
struct ProcessorFeatures {
    bool sse2 = false;
    bool ssse3 = false;
    bool popcnt = false;
    bool avx2 = false;
    bool bmi = false;
    bool avx512 = false;  // F, BW and VL
    bool avx512vbmi = false;
};

bool hasBit(unsigned word, unsigned bit) {
    return (word >> bit & 1u) != 0;
}

ProcessorFeatures readFeatures() {
    ProcessorFeatures features;
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    // One question for the highest leaf, then each leaf once: __get_cpuid
    // asks for the highest leaf again before every leaf.
    const auto highest = static_cast<unsigned>(__get_cpuid_max(0, nullptr));  // int in clang's
    if (highest < 1) return features;
    __cpuid(1, a, b, c, d);
    features.sse2 = hasBit(d, 26);
    features.ssse3 = hasBit(c, 9);
    features.popcnt = hasBit(c, 23);
    std::uint64_t saved = 0;  // XCR0
    if (hasBit(c, 27)) {      // OSXSAVE: XGETBV may be asked
        unsigned low = 0;
        unsigned high = 0;
        __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        saved = std::uint64_t{high} << 32 | low;
    }
    const bool ymm = hasBit(c, 28) && (saved & 0x6) == 0x6;  // AVX, and XMM and YMM saved
    const bool zmm = ymm && (saved & 0xE0) == 0xE0;          // opmasks and all ZMM saved
    if (highest < 7) return features;
    __cpuid_count(7, 0, a, b, c, d);
    features.avx2 = ymm && hasBit(b, 5);
    features.bmi = hasBit(b, 3);
    features.avx512 = zmm && hasBit(b, 16) && hasBit(b, 30) && hasBit(b, 31);
    features.avx512vbmi = features.avx512 && hasBit(c, 1);
    return features;
}
#endif

bool processorRuns(Isa isa) {
#if SIMD_X86
    // This may run before anything else of the program's start-up.
    static const ProcessorFeatures has = readFeatures();
    switch (isa) {
        case Isa::scalar:
            return true;
        case Isa::sse2:
            return has.sse2;
        case Isa::ssse3:
            return has.sse2 && has.ssse3;
        case Isa::avx2:
            return has.avx2 && has.bmi && has.popcnt;
        case Isa::avx512:
            return SIMD_AVX512 && processorRuns(Isa::avx2) && has.avx512;
        case Isa::avx512vbmi:
            return processorRuns(Isa::avx512) && has.avx512vbmi;
    }
    return false;
#else
    return isa == Isa::scalar;
#endif
}

Isa widestRunnable() {
    Isa widest = Isa::scalar;
    for (const Isa isa : kIsas) {
        if (processorRuns(isa)) widest = isa;
    }
    return widest;
}

}  // namespace

const char* isaName(Isa isa) {
    switch (isa) {
        case Isa::scalar:
            return "scalar";
        case Isa::sse2:
            return "sse2";
        case Isa::ssse3:
            return "ssse3";
        case Isa::avx2:
            return "avx2";
        case Isa::avx512:
            return "avx512";
        case Isa::avx512vbmi:
            return "avx512vbmi";
    }
    return "?";
}

Isa widestRunnableIsa() {
    static const Isa widest = widestRunnable();
    return widest;
}

bool isaRunnable(Isa isa) {
    return static_cast<int>(isa) <= static_cast<int>(widestRunnableIsa());
}

bool chooseIsa(Isa isa) {
    if (!isaRunnable(isa)) return false;
    detail::activeIsa = isa;
    return true;
}

}  // namespace simd
