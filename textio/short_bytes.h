// Copies and comparisons of spans of a few dozen bytes (a folder, a file
// name, a line), inline, in pieces that overlap rather than byte by byte.
// A call to the C library costs more than such a span; and under Wine,
// where the .exe is tested and timed, msvcrt's memcpy moves the ends of a
// span a byte or a word at a time: appending the kept locations took an
// eighth of the .exe's own time on W1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace textio {

// Copies `size` bytes from `from` to `to`, which do not overlap. No byte
// outside either span is read or written.
inline void copyShort(char* to, const char* from, std::size_t size) {
    if (size >= 16) {
        for (std::size_t at = 0; size - at > 16; at += 16) std::memcpy(to + at, from + at, 16);
        std::memcpy(to + size - 16, from + size - 16, 16);
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else {
        for (std::size_t at = 0; at < size; ++at) to[at] = from[at];
    }
}

namespace detail {
template <class Word>
Word differenceAt(const char* a, const char* b, std::size_t at) {
    Word x;
    Word y;
    std::memcpy(&x, a + at, sizeof x);
    std::memcpy(&y, b + at, sizeof y);
    return x ^ y;
}
}  // namespace detail

// Whether the `size` bytes at `a` equal those at `b`.
inline bool equalShort(const char* a, const char* b, std::size_t size) {
    using detail::differenceAt;
    if (size >= 8) {
        for (std::size_t at = 0; size - at > 8; at += 8) {
            if (differenceAt<std::uint64_t>(a, b, at) != 0) return false;
        }
        return differenceAt<std::uint64_t>(a, b, size - 8) == 0;
    }
    if (size >= 4) {
        return (differenceAt<std::uint32_t>(a, b, 0) |
                differenceAt<std::uint32_t>(a, b, size - 4)) == 0;
    }
    for (std::size_t at = 0; at < size; ++at) {
        if (a[at] != b[at]) return false;
    }
    return true;
}

}  // namespace textio
