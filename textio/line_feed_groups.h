// The hot loop of reading a list: noting where its lines end, a group of
// bytes at a time, with the widest vectors this processor has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "textio/line_ends.h"

namespace textio {

// Notes base + i for each LF at begin[i], group by group from the start of
// [begin, begin + size), and stops before the first group that holds a CR
// or NUL (those need rewriting) or that the bytes left do not fill. Returns
// where it stopped: the bytes before are untouched and all their LFs noted.
std::size_t noteLineFeedGroups(const char* begin, std::size_t size, std::size_t base,
                               LineFeedOffsets& noted);

// The same with a chosen set of instructions (tests drive each this way);
// None looks at no group and returns 0.
enum class LineFeedKernel : std::uint8_t { None, Sse2, Avx2 };

bool lineFeedKernelAvailable(LineFeedKernel kernel);

std::size_t noteLineFeedGroups(LineFeedKernel kernel, const char* begin, std::size_t size,
                               std::size_t base, LineFeedOffsets& noted);

}  // namespace textio
