// Which vector paths this build holds. Each is compiled for its instruction
// set with a target attribute and chosen at run time, so the program itself
// assumes no more than the base of its architecture (32-bit builds may lack
// SSE2). Define SEARCHFILTER_SCALAR_ONLY to build without any of them.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && \
    !defined(SEARCHFILTER_SCALAR_ONLY)
#define SEARCHFILTER_X86 1
#include <immintrin.h>

// Paths that use SSE2 without a target attribute: only where the base
// instruction set has it.
#if defined(__SSE2__)
#define SEARCHFILTER_SSE2 1
#endif

// GCC cannot keep 32-byte spills aligned on Windows, so AVX2 stays off there.
#if !defined(_WIN32)
#define SEARCHFILTER_AVX2 1
#endif
#endif

// 32-bit Windows only promises a 4-byte aligned stack.
#if defined(__i386__)
#define SEARCHFILTER_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define SEARCHFILTER_ALIGN_STACK
#endif
