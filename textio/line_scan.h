// Finding the byte that ends a line (LF, CR or NUL), eight bytes at a time:
// lines are long runs of ordinary bytes, and this scan is the reader's hot loop.
#pragma once

#include <cstdint>
#include <cstring>

namespace textio {

inline bool isLineEndByte(unsigned char byte) {
    return byte == '\n' || byte == '\r' || byte == '\0';
}

// A word has a zero byte exactly when this is non-zero.
inline std::uint64_t zeroByteMask(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    return (word - kOnes) & ~word & kHighs;
}

// The first LF, CR or NUL in [begin, end), or end.
inline const unsigned char* findLineEnd(const unsigned char* begin, const unsigned char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const unsigned char* p = begin;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (zeroByteMask(word) | zeroByteMask(word ^ (kOnes * '\n')) |
            zeroByteMask(word ^ (kOnes * '\r'))) {
            break;
        }
        p += 8;
    }
    while (p != end && !isLineEndByte(*p)) ++p;
    return p;
}

}  // namespace textio
