#include "textio/line_blocks.h"

#include <algorithm>
#include <cstring>

#include "simd/processor_cache.h"
#include "textio/line_ends.h"
#include "textio/line_kernels.h"

namespace textio {
namespace {

// Reads start at multiples of the read size in the file, so the kernel copies
// each from the start of a page. Landing it at the start of one of ours too,
// or a little past it, made the copy three times as slow on AMD Zen 3: each
// load matched the last bits of a store just issued (4 KiB aliasing). Reads
// land half a page in; the waiting bytes are placed before them to suit.
constexpr std::size_t kPage = 4096;
constexpr std::size_t kReadLanding = kPage / 2;

// The first buffer: room for the whole file and a read when it is small,
// else two reads: small enough to stay in the cache, and what waits to be
// handed out (mostly part of a line) moves down at most once per read. Both
// readers and the first kept locations fit one large page. A page more
// leaves room to land reads as above.
std::size_t firstCapacity(TextFile& file, std::size_t readSize) {
    static_assert(2 * kMinLineBlockReadSize + kPage >= kLargeBufferMinimum,
                  "a reader's usual buffer must not be a heap one");
    const std::size_t usual = 2 * readSize + kPage;
    std::uint64_t length = 0;
    if (fileLength(file, length) && length < usual) {
        return static_cast<std::size_t>(length) + readSize + kPage + 1;
    }
    return usual;
}

std::size_t readSizeFor(std::size_t cacheBytes) {
    std::size_t size = kMinLineBlockReadSize;
    while (size < kMaxLineBlockReadSize && 2 * size <= cacheBytes / 8) size *= 2;
    return size;
}

// Makes room for `size` more bytes after `end`: the waiting bytes move down
// when that is enough, else the buffer grows (a line longer than it). They
// are placed so that the next read lands kReadLanding into a page. The index
// of the waiting bytes counts from their start, so it moves with them.
void makeRoom(TextFile& file, LineBlockReader& reader, std::size_t size) {
    const std::size_t capacity = largeBufferSize(reader.bytes);
    if (capacity - reader.end >= size) return;
    const std::size_t waiting = reader.end - reader.begin;
    const std::size_t lead = (kReadLanding + kPage - waiting % kPage) % kPage;
    if (capacity >= lead + waiting + size) {
        std::memmove(reader.bytes.get() + lead, reader.bytes.get() + reader.begin, waiting);
    } else {
        std::size_t wanted = capacity == 0 ? firstCapacity(file, reader.readSize) : capacity;
        while (wanted < lead + waiting + size) wanted *= 2;
        LargeBuffer bytes = allocateLargeBuffer(wanted);
        if (waiting > 0)
            std::memcpy(bytes.get() + lead, reader.bytes.get() + reader.begin, waiting);
        reader.bytes = std::move(bytes);
    }
    reader.begin = lead;
    reader.end = lead + waiting;
}

// Where `begin` and `end` count from. Mapped bytes are only ever read:
// line ends are rewritten only in bytes read into the buffer.
const char* bytesOf(const LineBlockReader& reader) {
    return reader.mapped.data != nullptr ? reader.mapped.data : reader.bytes.get();
}

const char* waitingBytes(const LineBlockReader& reader) {
    return bytesOf(reader) + reader.begin;
}

// The index starts again from the bytes that wait.
void restartIndex(LineBlockReader& reader) {
    reader.indexedGroups = 0;
    reader.watchedSeen = false;
    reserveArray(reader.linesBefore, 1);
    reader.linesBefore.data()[0] = 0;
}

// Rewrites the line ends of the bytes from `from` to the end of those
// waiting. A CR last may be the first half of a CR LF that the next read
// completes.
void rewriteFrom(LineBlockReader& reader, char* from) {
    const auto size = static_cast<std::size_t>(reader.bytes.get() + reader.end - from);
    reader.lineFeedEndsCr = size > 0 && from[size - 1] == '\r';
    reader.end =
        static_cast<std::size_t>(from - reader.bytes.get()) + normalizeLineEnds(from, size);
}

// From the first byte waiting on, the list is read instead of mapped: the
// bytes waiting are read again.
void stopMapping(TextFile& file, LineBlockReader& reader) {
    seekTo(file, reader.begin);
    unmap(reader.mapped);
    reader.begin = reader.end = 0;
    restartIndex(reader);
}

// A CR or a NUL has turned up: every line end of the bytes waiting (which
// hold no block handed out) is rewritten, and so is every read from now on.
void startRewriting(TextFile& file, LineBlockReader& reader) {
    reader.rewriteOnRead = true;
    if (reader.mapped.data != nullptr) {
        stopMapping(file, reader);  // a whole line starts there
        return;
    }
    rewriteFrom(reader, reader.bytes.get() + reader.begin);
    restartIndex(reader);
}

// A mapped list's read: the bytes waiting reach one read further. At its end
// a last line without a line end is read instead, to get its LF.
void readMapped(TextFile& file, LineBlockReader& reader) {
    MappedBytes& mapped = reader.mapped;
    releaseBefore(mapped, reader.begin);
    if (reader.end < mapped.size) {
        reader.end += std::min(reader.readSize, mapped.size - reader.end);
    } else if (reader.end > reader.begin && mapped.data[reader.end - 1] != '\n') {
        stopMapping(file, reader);
    } else {
        reader.endReached = true;
    }
}

// Reads once more and, once line ends are rewritten as they come, rewrites
// what came; at the end of the file a last line without a line end gets its
// LF.
void readMore(TextFile& file, LineBlockReader& reader) {
    if (!reader.mapTried) {
        reader.mapTried = true;
        mapFile(file, reader.mapFrom, kMaxMappedSize, reader.mapOnlyIfCheap, reader.mapped);
    }
    if (reader.mapped.data != nullptr) {
        readMapped(file, reader);
        return;
    }
    makeRoom(file, reader, reader.readSize + 1);
    char* fresh = reader.bytes.get() + reader.end;
    std::size_t got = readBytes(file, fresh, reader.readSize);
    if (got == 0) {
        reader.endReached = true;
        // Read past where the list ends now: another process cut it short
        // while it was read, and the last bytes read may end mid-line.
        std::uint64_t length = 0;
        if (fileLength(file, length) && file.bufferStart > length) reader.cutShort = true;
        // Bytes are looked over before each read, so a CR or a NUL that ends
        // the last line has started the rewriting and is an LF by now.
        if (reader.end > reader.begin && reader.bytes[reader.end - 1] != '\n') {
            reader.bytes[reader.end++] = '\n';  // a last line without a line end is still a line
        }
        return;
    }
    // A CR at the end of one read and an LF at the start of the next are one
    // line end.
    if (reader.rewriteOnRead && reader.lineFeedEndsCr && fresh[0] == '\n') {
        std::memmove(fresh, fresh + 1, --got);
    }
    reader.end += got;
    if (reader.rewriteOnRead) rewriteFrom(reader, fresh);
}

// The block last handed out is dropped: its view is no longer valid, and the
// index starts again from the bytes that wait.
bool startCall(const TextFile& file, LineBlockReader& reader) {
    reader.lines = 0;
    reader.index = {};
    restartIndex(reader);
    return isOpen(file);
}

// Room in the index for the waiting bytes, and two entries more: a sentinel
// after a partial group.
void reserveIndex(LineBlockReader& reader) {
    const std::size_t wanted = lineIndexEntries(reader.end - reader.begin) + 1;
    // The groups indexed so far, and the entry after them, stay.
    reserveArray(reader.linesBefore, wanted, reader.indexedGroups + 1);
}

std::string_view handOut(LineBlockReader& reader, std::size_t size, std::size_t lines,
                         bool watchedSeen) {
    const std::string_view block(waitingBytes(reader), size);
    reader.begin += size;
    reader.lines = lines;
    reader.index = {block, reader.linesBefore.data(), lines, reader.watched, watchedSeen};
    return block;
}

// Indexes the first `size` bytes waiting (whole lines) and hands them out.
// When they hold a CR or a NUL and line ends are not rewritten yet, starts
// the rewriting instead and hands out nothing (an empty view): the caller
// looks for whole lines again.
std::string_view indexAndHandOut(TextFile& file, LineBlockReader& reader, std::size_t size) {
    reserveIndex(reader);
    bool crOrNul = false;
    const LineIndex index = indexLines({waitingBytes(reader), size}, reader.linesBefore.data(),
                                       reader.watched, reader.rewriteOnRead ? nullptr : &crOrNul);
    if (crOrNul) {
        startRewriting(file, reader);
        return {};
    }
    return handOut(reader, size, index.lines, index.watchedSeen);
}

// The offset in `bytes` just past LF number `line` (counted from 0) among
// the LFs from `from`, which has `before` of them ahead of it; never past
// `size`, should a mapped list have changed since it was indexed.
std::size_t pastLineFeed(const char* bytes, std::size_t from, std::size_t size, std::size_t before,
                         std::size_t line) {
    std::size_t left = line - before;
    for (std::size_t at = from; at != size; ++at) {
        if (bytes[at] == '\n' && left-- == 0) return at + 1;
    }
    return size;
}

// The size of the first `count` lines waiting, indexing them as far as
// needed; 0 while fewer wait. A CR or a NUL among the bytes indexed starts
// the rewriting of line ends, and the index again.
std::size_t indexUpTo(TextFile& file, LineBlockReader& reader, std::size_t count) {
    reserveIndex(reader);
    const char* bytes = waitingBytes(reader);
    const std::size_t size = reader.end - reader.begin;
    const std::size_t wholeGroups = size / kLineIndexGroup;
    std::uint32_t* linesBefore = reader.linesBefore.data();
    std::size_t& done = reader.indexedGroups;
    const bool lookForCrOrNul = !reader.rewriteOnRead;
    IndexFindings found{reader.watchedSeen, false};
    if (done < wholeGroups && linesBefore[done] < count) {
        done +=
            lineKernels().indexLineFeeds(bytes + done * kLineIndexGroup, wholeGroups - done, count,
                                         linesBefore + done, reader.watched, lookForCrOrNul, found);
        reader.watchedSeen = found.watchedSeen;
    }
    if (!found.crOrNul && linesBefore[done] >= count) {
        // LF number count - 1 is in the last group indexed.
        return pastLineFeed(bytes, (done - 1) * kLineIndexGroup, size, linesBefore[done - 1],
                            count - 1);
    }
    // The bytes after the whole groups (fewer than a group), one by one.
    const std::size_t tail = done * kLineIndexGroup;
    if (lookForCrOrNul && (found.crOrNul || holdsCrOrNul({bytes + tail, size - tail}))) {
        startRewriting(file, reader);
        return indexUpTo(file, reader, count);
    }
    std::size_t lines = linesBefore[done];
    for (std::size_t at = tail; at != size; ++at) {
        if (bytes[at] == '\n' && ++lines == count) {
            linesBefore[done + 1] = static_cast<std::uint32_t>(count);  // after the partial group
            if (holdsWatched(reader.watched, bytes + tail, at - tail)) reader.watchedSeen = true;
            return at + 1;
        }
    }
    return 0;
}

}  // namespace

std::size_t lineBlockReadSize() {
    static const std::size_t size = readSizeFor(simd::secondLevelCacheBytes());
    return size;
}

std::string_view readLineBlock(TextFile& file, LineBlockReader& reader) {
    if (!startCall(file, reader)) return {};
    // Whole lines end at the last LF waiting. The bytes waiting at the start
    // hold none (a block takes all whole lines), so only what comes is looked at.
    std::size_t searched = reader.begin;
    for (;;) {
        const char* first = bytesOf(reader) + searched;
        const char* last = bytesOf(reader) + reader.end;
        const auto lineFeed =
            std::find(std::make_reverse_iterator(last), std::make_reverse_iterator(first), '\n');
        if (lineFeed.base() != first) {
            const std::string_view block = indexAndHandOut(
                file, reader, static_cast<std::size_t>(lineFeed.base() - waitingBytes(reader)));
            if (!block.empty()) return block;
        } else if (!reader.rewriteOnRead && holdsCrOrNul({first, last})) {
            startRewriting(file, reader);  // a CR or a NUL alone ends a line too
        } else {
            if (reader.endReached) return {};
            const std::size_t searchedBytes = reader.end - reader.begin;
            readMore(file, reader);
            // (None, when the list went from mapped to read.)
            searched = std::min(reader.begin + searchedBytes, reader.end);
            continue;
        }
        // Line ends were rewritten: whole lines are looked for again.
        searched = reader.begin;
    }
}

std::string_view likelyNextBytes(const LineBlockReader& reader) {
    const MappedBytes& mapped = reader.mapped;
    if (mapped.data == nullptr || reader.begin >= mapped.size) return {};
    return {mapped.data + reader.begin,
            std::min(reader.index.text.size(), mapped.size - reader.begin)};
}

std::string_view readLines(TextFile& file, LineBlockReader& reader, std::size_t count) {
    if (!startCall(file, reader) || count == 0) return {};
    for (;;) {
        const std::size_t size = indexUpTo(file, reader, count);
        if (size != 0) return handOut(reader, size, count, reader.watchedSeen);
        if (reader.endReached) {
            // Fewer lines than asked: all that is left, each ending with LF.
            if (reader.end == reader.begin) return {};
            const std::string_view block = indexAndHandOut(file, reader, reader.end - reader.begin);
            if (!block.empty()) return block;
            continue;  // a CR or a NUL among them: rewritten
        }
        readMore(file, reader);
    }
}

}  // namespace textio
