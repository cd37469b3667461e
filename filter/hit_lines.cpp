#include "filter/hit_lines.h"

#include <cstring>

#include "filter/fold.h"
#include "textio/line_ends.h"

namespace filter {
namespace {

// Raw bytes folded at a time: big enough to amortise the calls, small enough
// for the folded block to stay in the cache while it is searched; as large as
// the blocks the folders list is streamed in, so each of those is one here.
constexpr std::size_t kBlockSize = 256 * 1024;

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

}  // namespace

void markHitLines(std::string_view text, std::int32_t lineLimit, const TermSearch& search,
                  std::vector<bool>& hits, FoldBuffer& buffer) {
    const auto limit = static_cast<std::size_t>(lineLimit > 0 ? lineLimit : 0);
    const char* raw = text.data();
    const char* rawEnd = raw + text.size();
    std::size_t blockFirstLine = 0;
    while (raw != rawEnd && blockFirstLine < limit) {
        const char* rawBlockEnd = blockEnd(raw, rawEnd);
        const auto rawSize = static_cast<std::size_t>(rawBlockEnd - raw);
        if (buffer.capacity < kMaxFoldGrowth * rawSize) {
            buffer.bytes.reset();  // the old block first: a long line may need much room
            buffer.capacity = kMaxFoldGrowth * rawSize;
            buffer.bytes = std::make_unique_for_overwrite<char[]>(buffer.capacity);
        }
        const char* folded = buffer.bytes.get();
        const char* foldedEnd = foldInto({raw, rawSize}, buffer.bytes.get());

        // Folding keeps every LF, so line numbers carry over from raw to folded.
        const char* cursor = folded;
        std::size_t line = blockFirstLine;
        for (;;) {
            const std::size_t offset =
                findOccurrence(search, cursor, static_cast<std::size_t>(foldedEnd - cursor));
            if (offset == kNoOccurrence) {
                line +=
                    textio::countLineFeeds(cursor, static_cast<std::size_t>(foldedEnd - cursor));
                break;
            }
            const char* hit = cursor + offset;
            line += textio::countLineFeeds(cursor, static_cast<std::size_t>(hit - cursor));
            if (line >= limit) break;
            hits[line] = true;
            const void* lineFeed =
                std::memchr(hit, '\n', static_cast<std::size_t>(foldedEnd - hit));
            if (lineFeed == nullptr) break;
            cursor = static_cast<const char*>(lineFeed) + 1;
            ++line;
        }
        blockFirstLine = line;
        raw = rawBlockEnd;
    }
}

}  // namespace filter
