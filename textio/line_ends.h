// Line-end normalisation of whole blocks of text already in memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textio {

// Rewrites [begin, begin + size) in place so that every line end (CR LF, a
// lone CR, NUL) becomes one LF; returns the new size (never larger).
std::size_t normalizeLineEnds(char* begin, std::size_t size);

// The number of LF bytes in [begin, begin + size).
std::size_t countLineFeeds(const char* begin, std::size_t size);

// The position just after the n-th LF at or after `begin`, or `end` when
// there are fewer: skips n lines of a joined text without looking at each.
const char* skipLines(const char* begin, const char* end, std::size_t n);

}  // namespace textio
