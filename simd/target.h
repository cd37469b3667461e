// Regions of code compiled for one instruction set, whatever the build's
// baseline: every function defined between SIMD_TARGET_BEGIN(features) and
// SIMD_TARGET_END may use those features, and is called only once the
// processor is known to have them (simd/dispatch.h). Each kernel file
// includes the standard headers before its region, so that the templates
// they define keep the baseline: a copy compiled for a wider set could be
// the one the linker keeps, and would then run on every processor.
#pragma once

// Whether this build holds the x86 vector kernels.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && \
    !defined(SEARCHFILTER_SCALAR_ONLY)
#define SIMD_X86 1
#else
#define SIMD_X86 0
#endif

// AVX-512 kernels in 32-bit builds too, with their eight vector registers:
// there they measured slower than the AVX2 ones on AMD Zen 4 while Teddy's
// partial results still went to the stack, and faster once those stayed in
// registers (AMD Zen 5: W1 0.92 x, W3 0.96 x).
#if SIMD_X86
#define SIMD_AVX512 1
#else
#define SIMD_AVX512 0
#endif

#define SIMD_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define SIMD_TARGET_BEGIN(features) \
    SIMD_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define SIMD_TARGET_END SIMD_PRAGMA(clang attribute pop)
#else
#define SIMD_TARGET_BEGIN(features) SIMD_PRAGMA(GCC push_options) SIMD_PRAGMA(GCC target(features))
#define SIMD_TARGET_END SIMD_PRAGMA(GCC pop_options)
#endif

// GCC 12 takes the vectors that its AVX-512 intrinsics leave undefined on
// purpose for uninitialised ones; files that compile AVX-512 kernels say
// SIMD_ALLOW_UNDEFINED_VECTORS once, before their regions.
#if defined(__GNUC__) && !defined(__clang__)
#define SIMD_ALLOW_UNDEFINED_VECTORS                            \
    SIMD_PRAGMA(GCC diagnostic ignored "-Wmaybe-uninitialized") \
    SIMD_PRAGMA(GCC diagnostic ignored "-Wuninitialized")
#else
#define SIMD_ALLOW_UNDEFINED_VECTORS
#endif

// The features of each instruction set's regions.
#define SIMD_FEATURES_SSE2 "sse2"
#define SIMD_FEATURES_SSSE3 "sse2,ssse3"
#define SIMD_FEATURES_AVX2 "avx2,bmi,popcnt"
#define SIMD_FEATURES_AVX512 "avx2,bmi,popcnt,avx512f,avx512bw,avx512vl"
#define SIMD_FEATURES_AVX512VBMI "avx2,bmi,popcnt,avx512f,avx512bw,avx512vl,avx512vbmi"
