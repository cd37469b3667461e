// The random numbers of the tests: a seeded splitmix64, so that a test draws
// the same sequence on every platform and in every build, and cheap enough
// that even a debug build spends its time in the code under test. It is a
// standard UniformRandomBitGenerator, so <random>'s distributions take it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace test_support {

class SeededRandom {
  public:
    using result_type = std::uint64_t;

    explicit constexpr SeededRandom(std::uint64_t seed) : state_(seed) {}

    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }

    constexpr result_type operator()() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }

    // A number from 0 to n - 1, for n > 0. The remainder's bias is below
    // n / 2^64: nothing a test could notice.
    constexpr std::size_t below(std::size_t n) { return static_cast<std::size_t>((*this)() % n); }

  private:
    std::uint64_t state_;
};

}  // namespace test_support
