#include "textio/large_buffer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "textio/os_file.h"

namespace textio {
namespace {

// Memory straight from the system: at least the size asked, zero at first,
// every byte writable and readable back, given back without complaint.
TEST(AllocateLarge, GivesZeroedWritableMemoryOfAtLeastTheSize) {
    for (const std::size_t asked :
         {std::size_t{1}, std::size_t{4095}, std::size_t{256} << 10, (std::size_t{3} << 20) + 1}) {
        std::size_t usable = asked;
        auto* data = static_cast<unsigned char*>(os::allocateLarge(usable));
        ASSERT_NE(data, nullptr) << asked;
        EXPECT_GE(usable, asked);
        std::size_t nonZero = 0;
        for (std::size_t i = 0; i < usable; i += 512) nonZero += data[i] != 0 ? 1 : 0;
        EXPECT_EQ(nonZero, 0u) << asked;
        for (std::size_t i = 0; i < usable; ++i) data[i] = static_cast<unsigned char>(i * 7);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < usable; ++i) {
            wrong += data[i] != static_cast<unsigned char>(i * 7) ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0u) << asked;
        os::freeLarge(data, usable);
    }
    std::size_t none = 0;
    EXPECT_EQ(os::allocateLarge(none), nullptr);
}

TEST(LargeBuffer, HoldsAtLeastTheSizeOnEitherSideOfTheThreshold) {
    for (const std::size_t asked : {std::size_t{0}, std::size_t{100}, kLargeBufferMinimum - 1,
                                    kLargeBufferMinimum, 5 * kLargeBufferMinimum + 3}) {
        LargeBuffer buffer = allocateLargeBuffer(asked);
        ASSERT_NE(buffer.get(), nullptr);
        ASSERT_GE(largeBufferSize(buffer), asked);
        const std::size_t size = largeBufferSize(buffer);
        for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<char>('a' + i % 26);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < size; ++i) wrong += buffer[i] != 'a' + static_cast<int>(i % 26);
        EXPECT_EQ(wrong, 0u) << asked;
    }
    EXPECT_EQ(largeBufferSize(LargeBuffer{}), 0u);
}

// A buffer that may be smaller than asked is at least its least, and smaller
// than asked only when it is what was left of the shared region.
TEST(LargeBuffer, MayBeSmallerOnlyAsTheRestOfTheRegion) {
    struct Ask {
        std::size_t size;
        std::size_t least;
    };
    for (const Ask ask : {Ask{100, 50}, Ask{kLargeBufferMinimum, kLargeBufferMinimum},
                          Ask{std::size_t{64} << 20, kLargeBufferMinimum},
                          Ask{std::size_t{64} << 20, kLargeBufferMinimum + 1},
                          Ask{kLargeBufferMinimum, 2 * kLargeBufferMinimum}}) {
        LargeBuffer buffer = allocateLargeBuffer(ask.size, ask.least);
        ASSERT_NE(buffer.get(), nullptr);
        const std::size_t size = largeBufferSize(buffer);
        EXPECT_GE(size, ask.least) << ask.size;
        if (size < ask.size) {
            EXPECT_EQ(buffer.get_deleter().source, LargeBufferSource::region);
        }
        for (std::size_t i = 0; i < size; i += 4096) buffer[i] = 'x';
        buffer[size - 1] = 'y';
        EXPECT_EQ(buffer[size - 1], 'y');
    }
}

}  // namespace
}  // namespace textio
