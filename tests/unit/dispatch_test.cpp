#include "simd/dispatch.h"

#include <gtest/gtest.h>

#include "simd/target.h"

namespace simd {
namespace {

#if SIMD_X86
// The processor is asked directly; the compiler's own checks (which include
// the system's support of the wider registers too) must agree on every set.
bool compilerSaysRuns(Isa isa) {
    __builtin_cpu_init();
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
            return SIMD_AVX512 && compilerSaysRuns(Isa::avx2) &&
                   __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl");
        case Isa::avx512vbmi:
            return compilerSaysRuns(Isa::avx512) && __builtin_cpu_supports("avx512vbmi");
    }
    return false;
}

TEST(Dispatch, RunnableSetsAreTheOnesTheCompilerFinds) {
    for (const Isa isa : kIsas) {
        EXPECT_EQ(isaRunnable(isa), compilerSaysRuns(isa)) << isaName(isa);
    }
}
#endif

}  // namespace
}  // namespace simd
