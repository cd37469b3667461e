#include "search/hit_lines.h"

#include <algorithm>
#include <cstring>

#include "search/block_kernels.h"
#include "simd/prefetch_queue.h"
#include "textio/line_blocks.h"
#include "textio/line_ends.h"
#include "textio/short_bytes.h"

namespace search {
namespace {

// Raw bytes folded at a time: big enough to amortise the calls, small enough
// for the folded block to stay in the cache while it is searched; at least
// as large as the blocks the lists are read in, so each of those is one here.
constexpr std::size_t kBlockSize = 256 * 1024;
static_assert(kBlockSize >= textio::kMaxLineBlockReadSize);

// The end of a block starting at `begin`: just after the last LF within
// kBlockSize bytes, or after the first LF when one line is longer.
const char* blockEnd(const char* begin, const char* end) {
    if (static_cast<std::size_t>(end - begin) <= kBlockSize) return end;
    for (const char* p = begin + kBlockSize; p != begin; --p) {
        if (p[-1] == '\n') return p;
    }
    const void* lineFeed =
        std::memchr(begin + kBlockSize, '\n', static_cast<std::size_t>(end - begin) - kBlockSize);
    return lineFeed ? static_cast<const char*>(lineFeed) + 1 : end;
}

// The number of lines of the indexed text before `offset` (at most its size).
std::size_t linesBefore(const textio::LineIndex& index, std::size_t offset) {
    return offset == index.text.size() ? index.lines : textio::lineOfOffset(index, offset);
}

// Marks the hit lines among the lines of [block, end) (whole lines of the
// indexed text), finding each hit's line in the index; returns the number of
// the line after the block.
std::size_t markBlockIndexed(const textio::LineIndex& index, const char* block, const char* end,
                             std::size_t limit, const TermSearch& search, LineHits& hits,
                             HitLineTexts* texts, simd::PrefetchQueue& ahead) {
    const char* text = index.text.data();
    const char* cursor = block;
    while (cursor != end) {
        const std::size_t offset =
            findOccurrence(search, cursor, static_cast<std::size_t>(end - cursor), ahead);
        if (offset == kNoOccurrence) break;
        // No term holds an LF, so the hit's line goes on after it.
        const textio::LineAt at =
            textio::lineAt(index, static_cast<std::size_t>(cursor + offset - text));
        if (at.line >= limit) return at.line;
        hits[at.line] = 1;
        // A list of folders names a folder once per file in it: the copies
        // that follow hold the term too, and are not searched again.
        const char* line = text + at.start;
        const auto length = static_cast<std::size_t>(at.lineFeed + 1 - at.start);
        if (texts != nullptr) texts->push_back({at.line, at.start, length - 1});
        // (Not past the block even where a mapped list changed under the run.)
        cursor = std::min(text + at.lineFeed + 1, end);
        std::size_t next = at.line + 1;
        while (next < limit && static_cast<std::size_t>(end - cursor) >= length &&
               textio::equalShort(cursor, line, length)) {
            if (texts != nullptr) {
                texts->push_back({next, static_cast<std::size_t>(cursor - text), length - 1});
            }
            hits[next++] = 1;
            cursor += length;
        }
    }
    return linesBefore(index, static_cast<std::size_t>(end - text));
}

// Marks the hit lines among the lines of `text` (whole lines), the first of
// which is line `firstLine`; returns the line number after the last one
// looked at.
std::size_t markBlock(const char* text, const char* end, std::size_t firstLine, std::size_t limit,
                      const TermSearch& search, LineHits& hits, simd::PrefetchQueue& ahead) {
    const char* cursor = text;
    std::size_t line = firstLine;
    for (;;) {
        const std::size_t offset =
            findOccurrence(search, cursor, static_cast<std::size_t>(end - cursor), ahead);
        if (offset == kNoOccurrence) {
            return line + textio::countLineFeeds(cursor, static_cast<std::size_t>(end - cursor));
        }
        const char* hit = cursor + offset;
        line += textio::countLineFeeds(cursor, static_cast<std::size_t>(hit - cursor));
        if (line >= limit) return line;
        hits[line] = 1;
        const void* lineFeed = std::memchr(hit, '\n', static_cast<std::size_t>(end - hit));
        if (lineFeed == nullptr) return line;
        cursor = static_cast<const char*>(lineFeed) + 1;
        ++line;
    }
}

}  // namespace

bool hasFoldLead(const char* begin, std::size_t size, bool latin) {
    return blockKernels().hasFoldLead(begin, size, latin);
}

// With Latin: C4 C5 and E1 E2; without: C4 and E2.
textio::WatchedBytes foldLeadBytes(bool latin) {
    return latin ? textio::WatchedBytes{true, {0xC4, 0xE1}, 1}
                 : textio::WatchedBytes{true, {0xC4, 0xE2}, 0};
}

namespace {

// Marks the hit lines of `text`, block by block, each searched raw when it
// may be and folded otherwise; `markRaw` marks a raw block's lines.
// `leadFree`: the text is known to hold no lead byte.
template <class MarkRaw>
void markBlocks(std::string_view text, std::size_t limit, const TermSearch& search,
                const TermSearch* rawSearch, bool leadFree, LineHits& hits, FoldBuffer& buffer,
                simd::PrefetchQueue& ahead, MarkRaw markRaw) {
    const char* raw = text.data();
    const char* rawEnd = raw + text.size();
    std::size_t blockFirstLine = 0;
    while (raw != rawEnd && blockFirstLine < limit) {
        const char* rawBlockEnd = blockEnd(raw, rawEnd);
        const auto rawSize = static_cast<std::size_t>(rawBlockEnd - raw);
        if (rawSearch != nullptr &&
            (leadFree || !hasFoldLead(raw, rawSize, rawSearch->latinTerms))) {
            blockFirstLine = markRaw(raw, rawBlockEnd, blockFirstLine);
            raw = rawBlockEnd;
            continue;
        }
        const std::size_t room = buffer.folding.maxGrowth * rawSize;
        if (textio::largeBufferSize(buffer.bytes) < room) {
            buffer.bytes.reset();  // the old block first: a long line may need much room
            buffer.bytes = textio::allocateLargeBuffer(room);
        }
        const char* foldedEnd = buffer.folding.foldInto({raw, rawSize}, buffer.bytes.get());
        // Folding keeps every LF, so line numbers carry over from raw to folded.
        blockFirstLine =
            markBlock(buffer.bytes.get(), foldedEnd, blockFirstLine, limit, search, hits, ahead);
        raw = rawBlockEnd;
    }
}

std::size_t lineLimitOf(std::int32_t lineLimit) {
    return static_cast<std::size_t>(lineLimit > 0 ? lineLimit : 0);
}

}  // namespace

void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, LineHits& hits, FoldBuffer& buffer) {
    const std::size_t limit = lineLimitOf(lineLimit);
    simd::PrefetchQueue none;
    markBlocks(text, limit, search, rawSearch, false, hits, buffer, none,
               [&](const char* block, const char* end, std::size_t firstLine) {
                   return markBlock(block, end, firstLine, limit, *rawSearch, hits, none);
               });
}

void markHitLines(const textio::LineIndex& index, std::int32_t lineLimit, const TermSearch& search,
                  const TermSearch* rawSearch, LineHits& hits, FoldBuffer& buffer,
                  HitLineTexts* texts, simd::PrefetchQueue* ahead) {
    const std::size_t limit = lineLimitOf(lineLimit);
    simd::PrefetchQueue none;
    simd::PrefetchQueue& queue = ahead != nullptr ? *ahead : none;
    const bool leadFree = rawSearch != nullptr &&
                          index.watched == foldLeadBytes(rawSearch->latinTerms) &&
                          !index.watchedSeen;
    markBlocks(index.text, limit, search, rawSearch, leadFree, hits, buffer, queue,
               [&](const char* block, const char* end, std::size_t) {
                   return markBlockIndexed(index, block, end, limit, *rawSearch, hits, texts,
                                           queue);
               });
}

}  // namespace search
