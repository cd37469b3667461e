// Running tests on every kernel variant this processor can execute: each
// kernel family has one variant per instruction set (simd/dispatch.h), and
// a test that knows only the processor's own would leave the others
// untested on the machines that never choose them.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "simd/dispatch.h"

namespace testing_isa {

// The runnable instruction sets, narrowest first.
inline std::vector<simd::Isa> runnableIsas() {
    std::vector<simd::Isa> isas;
    for (const simd::Isa isa : simd::kIsas) {
        if (simd::isaRunnable(isa)) isas.push_back(isa);
    }
    return isas;
}

// The runnable instruction sets whose table of a kernel family differs from
// that of the set below: each variant of the family once.
template <class Table>
std::vector<simd::Isa> distinctVariants(Table& (*tableFor)(simd::Isa)) {
    std::vector<simd::Isa> isas;
    for (const simd::Isa isa : runnableIsas()) {
        if (isas.empty() || &tableFor(isa) != &tableFor(isas.back())) isas.push_back(isa);
    }
    return isas;
}

// Makes every kernel family take the variants of one instruction set while
// it lives.
class ScopedIsa {
  public:
    explicit ScopedIsa(simd::Isa isa) : saved_(simd::activeIsa()) {
        EXPECT_TRUE(simd::chooseIsa(isa)) << simd::isaName(isa);
    }
    ~ScopedIsa() { simd::chooseIsa(saved_); }
    ScopedIsa(const ScopedIsa&) = delete;
    ScopedIsa& operator=(const ScopedIsa&) = delete;

  private:
    simd::Isa saved_;
};

// A parameterised suite runs each of its tests once per runnable
// instruction set, with that set active:
//   class Suite : public testing_isa::OnEveryIsa {};
//   TEST_P(Suite, Name) { ... }
//   INSTANTIATE_ON_EVERY_ISA(Suite);
// or once per variant of one kernel family (the sets whose table of that
// family differs from the one below):
//   INSTANTIATE_ON_EVERY_VARIANT(Suite, blockKernels);
class OnEveryIsa : public ::testing::TestWithParam<simd::Isa> {
  protected:
    void SetUp() override { ASSERT_TRUE(simd::chooseIsa(GetParam())); }
    void TearDown() override { simd::chooseIsa(runnableIsas().back()); }
};

inline std::string isaParamName(const ::testing::TestParamInfo<simd::Isa>& info) {
    return simd::isaName(info.param);
}

}  // namespace testing_isa

#define INSTANTIATE_ON_EVERY_ISA(suite)                                                    \
    INSTANTIATE_TEST_SUITE_P(Isa, suite, ::testing::ValuesIn(testing_isa::runnableIsas()), \
                             testing_isa::isaParamName)

#define INSTANTIATE_ON_EVERY_VARIANT(suite, tableFor)                                      \
    INSTANTIATE_TEST_SUITE_P(Isa, suite,                                                   \
                             ::testing::ValuesIn(testing_isa::distinctVariants(tableFor)), \
                             testing_isa::isaParamName)

namespace simd {
// How GoogleTest prints an instruction set in its messages.
inline void PrintTo(Isa isa, std::ostream* out) {
    *out << isaName(isa);
}
}  // namespace simd
