#include "textio/line_blocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace textio {
namespace {

std::size_t waitingLines(const LineBlockReader& reader) {
    return reader.lineFeedAt.count - reader.nextLineFeed;
}

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
// readers, their LF offsets and the first kept locations fit one large
// page. A page more leaves room to land reads as above.
std::size_t firstCapacity(TextFile& file) {
    constexpr std::size_t kUsual = 2 * kLineBlockReadSize + kPage;
    static_assert(kUsual >= kLargeBufferMinimum, "a reader's usual buffer must not be a heap one");
    std::uint64_t length = 0;
    if (fileLength(file, length) && length < kUsual) {
        return static_cast<std::size_t>(length) + kLineBlockReadSize + kPage + 1;
    }
    return kUsual;
}

// Makes room for `size` more bytes after `end`: the waiting bytes move down
// when that is enough, else the buffer grows (a line longer than it). They
// are placed so that the next read lands kReadLanding into a page.
void makeRoom(TextFile& file, LineBlockReader& reader, std::size_t size) {
    const std::size_t capacity = largeBufferSize(reader.bytes);
    if (capacity - reader.end >= size) return;
    const std::size_t waiting = reader.end - reader.begin;
    const std::size_t lead = (kReadLanding + kPage - waiting % kPage) % kPage;
    if (capacity >= lead + waiting + size) {
        std::memmove(reader.bytes.get() + lead, reader.bytes.get() + reader.begin, waiting);
    } else {
        std::size_t wanted = capacity == 0 ? firstCapacity(file) : capacity;
        while (wanted < lead + waiting + size) wanted *= 2;
        LargeBuffer bytes = allocateLargeBuffer(wanted);
        if (waiting > 0)
            std::memcpy(bytes.get() + lead, reader.bytes.get() + reader.begin, waiting);
        reader.bytes = std::move(bytes);
    }
    // The waiting LFs moved with their bytes.
    for (std::size_t i = 0; i < reader.lineFeedAt.count; ++i) {
        std::size_t& offset = noteData(reader.lineFeedAt)[i];
        offset = offset - reader.begin + lead;
    }
    reader.begin = lead;
    reader.end = lead + waiting;
}

// Reads once more and normalises what came; at the end of the file a last
// line without a line end gets its LF.
void readMore(TextFile& file, LineBlockReader& reader) {
    makeRoom(file, reader, kLineBlockReadSize + 1);
    char* fresh = reader.bytes.get() + reader.end;
    std::size_t got = readBytes(file, fresh, kLineBlockReadSize);
    if (got == 0) {
        reader.endReached = true;
        if (reader.end > reader.begin && reader.bytes[reader.end - 1] != '\n') {
            // A last line without a line end is still a line.
            reader.bytes[reader.end] = '\n';
            normalizeNotingLineEnds(&reader.bytes[reader.end], 1, reader.end, reader.lineFeedAt);
            ++reader.end;
        }
        return;
    }
    // A CR at the end of one read and an LF at the start of the next are one
    // line end.
    const bool endsWithCr = fresh[got - 1] == '\r';
    if (reader.lineFeedEndsCr && fresh[0] == '\n') std::memmove(fresh, fresh + 1, --got);
    reader.lineFeedEndsCr = endsWithCr;
    reader.end += normalizeNotingLineEnds(fresh, got, reader.end, reader.lineFeedAt);
}

std::string_view handOut(LineBlockReader& reader, std::size_t lines) {
    const std::size_t start = reader.begin;
    std::size_t* at = noteData(reader.lineFeedAt) + reader.nextLineFeed;
    const std::size_t stop = lines == 0 ? start : at[lines - 1] + 1;
    // These offsets are dropped at the next call: they are made the block's
    // own in place.
    for (std::size_t i = 0; i < lines; ++i) at[i] -= start;
    reader.lineEnds = {at, lines};
    reader.nextLineFeed += lines;
    reader.begin = stop;
    reader.lines = lines;
    return {reader.bytes.get() + start, stop - start};
}

// The block handed out last is dropped: its view is no longer valid, and the
// offsets of its LFs are forgotten.
bool startCall(const TextFile& file, LineBlockReader& reader) {
    reader.lines = 0;
    reader.lineEnds = {};
    LineFeedOffsets& noted = reader.lineFeedAt;
    std::size_t* data = noteData(noted);
    std::copy(data + reader.nextLineFeed, data + noted.count, data);
    noted.count -= reader.nextLineFeed;
    reader.nextLineFeed = 0;
    return isOpen(file);
}

}  // namespace

std::string_view readLineBlock(TextFile& file, LineBlockReader& reader) {
    if (!startCall(file, reader)) return {};
    while (waitingLines(reader) == 0 && !reader.endReached) readMore(file, reader);
    return handOut(reader, waitingLines(reader));
}

std::string_view readLines(TextFile& file, LineBlockReader& reader, std::size_t count) {
    if (!startCall(file, reader) || count == 0) return {};
    while (waitingLines(reader) < count && !reader.endReached) readMore(file, reader);
    return handOut(reader, count < waitingLines(reader) ? count : waitingLines(reader));
}

}  // namespace textio
