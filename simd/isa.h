// The instruction sets that kernels are written for, narrowest first. Each
// holds every one before it: scalar is plain C++, the others are x86 vector
// extensions (avx2 comes with BMI1 and POPCNT, as on every processor that
// has it; avx512 is AVX-512 F, BW and VL; avx512vbmi adds VBMI's byte
// permutes, which Teddy's scan and the line index have variants for).
#pragma once

#include <array>
#include <cstdint>

namespace simd {

enum class Isa : std::uint8_t { scalar, sse2, ssse3, avx2, avx512, avx512vbmi };

inline constexpr std::array<Isa, 6> kIsas = {Isa::scalar, Isa::sse2,   Isa::ssse3,
                                             Isa::avx2,   Isa::avx512, Isa::avx512vbmi};

const char* isaName(Isa isa);

}  // namespace simd
