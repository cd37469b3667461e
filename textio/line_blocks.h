// Reading a list as blocks of whole lines, for a list that need not be held in
// memory at once. Line ends are normalised to one LF after every line before
// a block is handed out, so the blocks, joined, are the bytes appendLines
// would give in one text. The bytes pass through one reused buffer that
// stays in the cache: no copy of the whole list is ever made. Each block
// comes with its line index (line_index.h), so that nobody has to count or
// skip lines again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "textio/large_buffer.h"
#include "textio/line_index.h"
#include "textio/mapped_file.h"
#include "textio/text_file.h"

namespace textio {

// Raw bytes asked of the file per read. A block is gone over several times
// (copied in, normalised, indexed, searched) and both readers' buffers must
// stay in a core's own cache meanwhile: with 128 KiB reads and four of room
// per reader, a 512 KiB second-level cache (AMD Zen 3) thrashed and whole
// runs took a third longer. So a read is an eighth of that cache, within
// these bounds: on a 1 MiB one (AMD Zen 5), 128 KiB reads took 4% less
// time than 64 KiB ones, and on a 2 MiB one (an Intel Xeon with AVX-512),
// 256 KiB reads took 1-6% more than 128 KiB ones.
inline constexpr std::size_t kMinLineBlockReadSize = 64 * 1024;
inline constexpr std::size_t kMaxLineBlockReadSize = 128 * 1024;

// The read size for this processor: a power of two within the bounds.
std::size_t lineBlockReadSize();

// A list from this size on is mapped instead of read where it can be (below
// it, a read or two cost less than mapping). A 32-bit process maps lists of
// up to 64 MiB: its 2 GiB of address space must also hold the kept
// locations, up to the size of both lists and twice that while they grow.
inline constexpr std::size_t kMapFromSize = std::size_t{1} << 20;
inline constexpr std::size_t kMaxMappedSize =
    sizeof(void*) == 4 ? std::size_t{64} << 20 : SIZE_MAX / 2;

struct LineBlockReader {
    // A power of two within the bounds above; tests choose others.
    std::size_t readSize = lineBlockReadSize();
    // [begin, end) holds normalised bytes read but not handed out yet; the
    // block last handed out ends at `begin`.
    LargeBuffer bytes;
    std::size_t begin = 0;
    std::size_t end = 0;
    // The line index of the bytes from `begin`, as far as it has been made:
    // linesBefore[0, indexedGroups] are right.
    LargeArray<std::uint32_t> linesBefore;
    std::size_t indexedGroups = 0;
    // Bytes to look out for while indexing (set by the caller before the
    // first block), and whether the groups indexed so far hold one.
    WatchedBytes watched;
    bool watchedSeen = false;
    // The block last handed out.
    std::size_t lines = 0;
    LineIndex index;
    // Most lists hold no CR and no NUL: their bytes are looked over for one
    // while they are indexed, not in a pass of their own as they are read.
    // Once one turns up, the waiting bytes are rewritten and from then on
    // every read is as it comes (a list with CR LF line ends has them
    // throughout).
    bool rewriteOnRead = false;
    bool lineFeedEndsCr = false;  // the last byte read was a CR: an LF next belongs to it
    bool endReached = false;
    // The list ended before the bytes already read (cut short meanwhile):
    // what was handed out is not the list as it is, nor as it was.
    bool cutShort = false;
    // While the list is mapped, `begin` and `end` count in the mapping
    // (from the file's start) instead of in `bytes`, and each read only
    // moves `end` on. A CR or a NUL, or a last line without a line end,
    // goes back to reading from the first byte waiting, where the line ends
    // can be rewritten. A list is read where its first pages map slowly
    // (see mapFile). Tests choose other sizes to map from, and map always.
    std::size_t mapFrom = kMapFromSize;
    bool mapOnlyIfCheap = true;
    bool mapTried = false;
    MappedBytes mapped;
};

// The next block of whole lines (about one read's worth, or one longer line),
// or an empty view when the file is done. The view stays valid until the next
// call; reader.lines and reader.index describe it.
std::string_view readLineBlock(TextFile& file, LineBlockReader& reader);

// The next `count` whole lines, fewer only when the file ends first (an empty
// view when it is done or count is 0). Same validity, same description.
std::string_view readLines(TextFile& file, LineBlockReader& reader, std::size_t count);

// Where the list is mapped, the bytes the next block is likely to hold: as
// many as the last one, from where it ended. Empty where the list is read:
// its reads land in a buffer that stays in the cache.
std::string_view likelyNextBytes(const LineBlockReader& reader);

}  // namespace textio
