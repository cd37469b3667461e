// Finding the lines of a list that contain a search term, in bulk: the text is
// folded a block of whole lines at a time and each folded block is searched
// for the next occurrence, skipping to the following line after each hit, so
// the cost per line is small when, as usual, few lines contain a term.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filter/term_search.h"

namespace filter {

// Room for one folded block; grown only for a line longer than a block. Left
// uninitialised, so that the pages a block never reaches cost no memory.
struct FoldBuffer {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
};

// For each of the first `lineLimit` lines of `text` (a joined list: every
// line followed by LF) that contains a term, sets hits[line index] (from 0).
void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  std::vector<bool>& hits, FoldBuffer& buffer);

// The same, given also `rawSearch` (CaseMode::AsciiCaseless, built from the
// same terms) or null: a block holding no byte C4 or E2 is searched raw with
// it, unfolded. Only U+0130 (C4 B0) and U+212A (E2 84 AA) fold to ASCII from
// beyond it, and folding keeps every other character ASCII or not as it was,
// so pure ASCII terms occur in such a block, at the same offsets, exactly
// where they occur in its folded form.
void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, std::vector<bool>& hits, FoldBuffer& buffer);

// Whether [begin, begin + size) holds a byte that may start a non-ASCII
// character folding to ASCII: C4 or E2.
bool hasAsciiFoldLead(const char* begin, std::size_t size);

}  // namespace filter
