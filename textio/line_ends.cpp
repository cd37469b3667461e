#include "textio/line_ends.h"

#include <cstring>

#include "textio/line_scan.h"

namespace textio {
namespace {

// The first CR or NUL in [p, end), or end: in most files there is none, and
// then the block stays as it is.
const char* findCarriageReturnOrNul(const char* p, const char* end) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (zeroByteMask(word) | zeroByteMask(word ^ (kOnes * '\r'))) break;
        p += 8;
    }
    while (p != end && *p != '\r' && *p != '\0') ++p;
    return p;
}

}  // namespace

std::size_t normalizeLineEnds(char* begin, std::size_t size) {
    const char* end = begin + size;
    const char* read = findCarriageReturnOrNul(begin, end);
    char* write = begin + (read - begin);
    while (read != end) {
        const char byte = *read++;
        if (byte == '\r') {
            if (read != end && *read == '\n') ++read;  // CR LF is one line end
            *write++ = '\n';
        } else if (byte == '\0') {
            *write++ = '\n';
        } else {
            *write++ = byte;
        }
    }
    return static_cast<std::size_t>(write - begin);
}

namespace {

// The number of LF bytes among eight.
std::size_t lineFeedsInWord(const char* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kLows = 0x7F7F7F7F7F7F7F7FULL;
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // Exact per-byte test: a byte is LF when (byte ^ LF) is zero.
    const std::uint64_t x = word ^ (kOnes * '\n');
    const std::uint64_t nonZero = (((x & kLows) + kLows) | x) & ~kLows;
    // One 0x01 per LF byte; the multiplication sums them into the top byte.
    const std::uint64_t lineFeeds = (~nonZero & ~kLows) >> 7;
    return static_cast<std::size_t>((lineFeeds * kOnes) >> 56);
}

}  // namespace

std::size_t countLineFeeds(const char* begin, std::size_t size) {
    std::size_t count = 0;
    const char* p = begin;
    const char* end = begin + size;
    for (; end - p >= 8; p += 8) count += lineFeedsInWord(p);
    while (p != end) count += *p++ == '\n' ? 1u : 0u;
    return count;
}

const char* skipLines(const char* begin, const char* end, std::size_t n) {
    const char* p = begin;
    while (n > 0 && end - p >= 8) {
        const std::size_t here = lineFeedsInWord(p);
        if (here >= n) break;  // the n-th LF is within these eight bytes
        n -= here;
        p += 8;
    }
    for (; n > 0 && p != end; ++p) {
        if (*p == '\n') --n;
    }
    return p;
}

}  // namespace textio
