#include "simd/dispatch.h"

#include "simd/target.h"

namespace simd {
namespace {

bool processorRuns(Isa isa) {
#if SIMD_X86
    // This may run before the compiler's own start-up has looked at the processor.
    __builtin_cpu_init();
    // GCC's and clang's checks include the system's support of the wider
    // registers (XGETBV), not only the processor's.
    switch (isa) {
        case Isa::scalar:
            return true;
        case Isa::sse2:
            return __builtin_cpu_supports("sse2");
        case Isa::ssse3:
            return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("ssse3");
        case Isa::avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                   __builtin_cpu_supports("popcnt");
        case Isa::avx512:
            return SIMD_AVX512 && processorRuns(Isa::avx2) && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
        case Isa::avx512vbmi:
            return processorRuns(Isa::avx512) && __builtin_cpu_supports("avx512vbmi");
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
