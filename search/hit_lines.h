// Finding the lines of a list that contain a search term, in bulk: the text is
// folded a block of whole lines at a time and each folded block is searched
// for the next occurrence, skipping to the following line after each hit, so
// the cost per line is small when, as usual, few lines contain a term.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/term_search.h"
#include "simd/prefetch_queue.h"
#include "textio/large_buffer.h"
#include "textio/line_index.h"

namespace search {

// How raw text is folded before it is searched: the search itself knows
// nothing of letters, whoever gives the folded terms gives this too.
struct Folding {
    // Writes the folded form of `raw` to `out`, which has room for
    // maxGrowth bytes per raw byte; returns the end of what was written.
    char* (*foldInto)(std::string_view raw, char* out) = nullptr;
    std::size_t maxGrowth = 1;
};

// The folding, and room for one folded block; grown only for a line longer
// than a block. Left uninitialised, so that the pages a block never reaches
// cost no memory.
struct FoldBuffer {
    Folding folding;
    textio::LargeBuffer bytes;
};

// One byte per line, 1 for a line that holds a term and 0 for one that does
// not: bytes, not bits, so that marking a line is one store; the run gathers
// a machine word of lines' marks into bits where it walks the kept lines.
using LineHits = std::vector<std::uint8_t>;

// Where a hit line found in an indexed text lies in it (without its LF), in
// the order of the lines: whoever wants the line's text next need not look
// for it again.
struct HitLineText {
    std::size_t line = 0;
    std::size_t start = 0;
    std::size_t length = 0;
};
using HitLineTexts = std::vector<HitLineText>;

// For each of the first `lineLimit` lines of `text` (a joined list: every
// line followed by LF) that contains a term, sets hits[line index] (from 0)
// to 1.
// Given `rawSearch` (CaseMode::caseless, built from the same terms) rather
// than null, a block holding no lead byte of a character that folds into the
// terms' range from beyond it (see hasFoldLead) is searched raw with it,
// unfolded. Folding keeps every other character in that range or out of it as
// it was, so the terms occur in such a block exactly where they occur in its
// folded form (the offsets differ only past characters out of the range,
// which no term holds).
void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, LineHits& hits, FoldBuffer& buffer);

// The same for an indexed text (as a block reader gives them): in the blocks
// searched raw, a hit's line is then looked up instead of counted, and given
// `texts`, added to them (the lines of blocks that were folded are not).
// Given `ahead`, the search asks for its bytes as it goes.
void markHitLines(const textio::LineIndex& index, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, LineHits& hits, FoldBuffer& buffer,
                  HitLineTexts* texts = nullptr, simd::PrefetchQueue* ahead = nullptr);

// Whether [begin, begin + size) holds a byte that may start a character from
// beyond ASCII that folds to ASCII, U+0130 İ (C4) or U+212A Kelvin (E2), or,
// when `latin`, beyond Latin-1 to Latin-1 as well: U+0178 Ÿ (C5), U+1E9E ẞ
// (E1), U+212B Ångström (E2).
bool hasFoldLead(const char* begin, std::size_t size, bool latin);

// The same lead bytes, as a block reader can look out for them while it
// indexes (textio::WatchedBytes): an indexed text that was watched for them
// and holds none is searched raw without hasFoldLead's pass.
textio::WatchedBytes foldLeadBytes(bool latin);

}  // namespace search
