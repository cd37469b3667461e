#include "textio/short_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace textio {
namespace {

// Every length up to past the longest piece's multiples, at every
// alignment a piece may meet.
constexpr std::size_t kLongest = 70;

TEST(ShortBytes, CopiesExactlyTheSpan) {
    for (std::size_t size = 0; size <= kLongest; ++size) {
        for (std::size_t shift = 0; shift < 16; ++shift) {
            std::string from(shift + size + 16, '\0');
            for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>('a' + i % 26);
            std::string to(from.size(), '#');
            copyShort(to.data() + shift, from.data() + shift, size);
            const std::string want = std::string(shift, '#') + from.substr(shift, size) +
                                     std::string(to.size() - shift - size, '#');
            ASSERT_EQ(to, want) << "size " << size << ", shift " << shift;
        }
    }
}

TEST(ShortBytes, FindsADifferenceAtEveryByte) {
    for (std::size_t size = 0; size <= kLongest; ++size) {
        std::string a(size + 8, 'x');
        std::string b = a;
        ASSERT_TRUE(equalShort(a.data(), b.data(), size)) << size;
        for (std::size_t at = 0; at < size; ++at) {
            b[at] = 'y';
            EXPECT_FALSE(equalShort(a.data(), b.data(), size)) << "size " << size << ", at " << at;
            b[at] = 'x';
        }
        // Bytes past the span do not count.
        b[size] = 'y';
        EXPECT_TRUE(equalShort(a.data(), b.data(), size)) << size;
    }
}

}  // namespace
}  // namespace textio
