#include "textio/text_file.h"

#include <algorithm>
#include <cstring>

#include "textio/line_ends.h"
#include "textio/line_scan.h"

namespace textio {
namespace {

void resetState(TextFile& file, os::Handle handle) {
    file.handle = handle;
    file.mode = BufferMode::reading;
    file.bufferStart = 0;
    file.next = 0;
    file.fill = 0;
    file.writeFailed = false;
}

// Writes the waiting bytes. After a failed write the rest of the block is
// dropped: the caller cuts the file back anyway, and writing on after a gap
// could only leave bytes in the wrong place.
void writeOut(TextFile& file) {
    if (file.mode != BufferMode::writing || file.fill == 0) return;
    if (!file.writeFailed && !os::writeAll(file.handle, file.buffer.data(), file.fill)) {
        file.writeFailed = true;
    }
    file.bufferStart += file.fill;
    file.fill = 0;
}

// Leaves writing mode with nothing buffered; the system position then equals
// the logical one.
void switchToReading(TextFile& file) {
    if (file.mode == BufferMode::reading) return;
    writeOut(file);
    file.mode = BufferMode::reading;
    file.next = 0;
    file.fill = 0;
}

// Leaves reading mode: read-ahead bytes were taken from the file but not
// consumed, so the system position goes back to the logical one first.
void switchToWriting(TextFile& file) {
    if (file.mode == BufferMode::writing) return;
    const std::uint64_t logical = file.bufferStart + file.next;
    if (file.next != file.fill && !os::seekTo(file.handle, logical)) file.writeFailed = true;
    file.mode = BufferMode::writing;
    file.bufferStart = logical;
    file.next = 0;
    file.fill = 0;
}

// Refills an exhausted read buffer; false at the end of the file. A read
// error counts as the end of the file.
bool refill(TextFile& file) {
    file.bufferStart += file.fill;
    file.next = 0;
    file.fill = 0;
    const std::ptrdiff_t got = os::readSome(file.handle, file.buffer.data(), kBufferSize);
    if (got <= 0) return false;
    file.fill = static_cast<std::size_t>(got);
    return true;
}

bool hasByte(TextFile& file) {
    return file.next < file.fill || refill(file);
}

}  // namespace

OpenStatus openRead(TextFile& file, const char* name) {
    os::Handle handle = os::kNoHandle;
    const OpenStatus status = os::openForReading(name, handle);
    resetState(file, status == OpenStatus::ok ? handle : os::kNoHandle);
    return status;
}

OpenStatus openOrCreate(TextFile& file, const char* name) {
    os::Handle handle = os::kNoHandle;
    const OpenStatus status = os::openForUpdate(name, handle);
    resetState(file, status == OpenStatus::ok ? handle : os::kNoHandle);
    return status;
}

OpenStatus openOrCreateWaiting(TextFile& file, const char* name,
                               std::uint32_t maxWaitMilliseconds) {
    const std::uint64_t start = os::monotonicMilliseconds();
    std::uint32_t pause = 2;
    for (;;) {
        const OpenStatus status = openOrCreate(file, name);
        if (status != OpenStatus::busy) return status;
        const std::uint64_t waited = os::monotonicMilliseconds() - start;
        if (waited >= maxWaitMilliseconds) return status;
        const auto left = static_cast<std::uint32_t>(maxWaitMilliseconds - waited);
        os::sleepMilliseconds(pause < left ? pause : left);
        pause = pause < 50 ? pause * 2 : 100;
    }
}

bool isOpen(const TextFile& file) {
    return file.handle != os::kNoHandle;
}

bool atEnd(TextFile& file) {
    if (!isOpen(file)) return true;
    switchToReading(file);
    return !hasByte(file);
}

void readLine(TextFile& file, std::string& line) {
    if (!isOpen(file)) return;
    switchToReading(file);
    while (hasByte(file)) {
        const unsigned char* begin = file.buffer.data() + file.next;
        const unsigned char* end = file.buffer.data() + file.fill;
        const unsigned char* stop = findLineEnd(begin, end);
        line.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(stop - begin));
        file.next += static_cast<std::size_t>(stop - begin);
        if (stop == end) continue;
        ++file.next;  // the LF, CR or NUL that ended the line
        // A CR followed by LF is one line end, even across a refill; any
        // other byte after the CR stays for the next read.
        if (*stop == '\r' && hasByte(file) && file.buffer[file.next] == '\n') ++file.next;
        return;
    }
}

std::int32_t appendLines(TextFile& file, std::string& text, std::int32_t maxLines) {
    if (!isOpen(file) || maxLines <= 0) return 0;
    const std::size_t start = text.size();
    // Room for the rest of the file as its size stands, and one byte more, so
    // that the read that finds the end needs no growth; more only if it grows.
    std::uint64_t length = 0;
    if (fileLength(file, length) && length < text.max_size() - start - 1) {
        text.reserve(start + static_cast<std::size_t>(length) + 1);
    }
    constexpr std::size_t kMinimumRead = 64 * 1024;
    for (;;) {
        const std::size_t used = text.size();
        const std::size_t room = text.capacity() - used;
        text.resize(used + (room > 0 ? room : std::max(used, kMinimumRead)));
        const std::size_t got = readBytes(file, text.data() + used, text.size() - used);
        text.resize(used + got);
        if (got == 0) break;  // the end, or a read error, which counts as the end
    }

    const NormalizedLines normalized =
        normalizeCountingLines(text.data() + start, text.size() - start);
    text.resize(start + normalized.size);
    std::size_t lines = normalized.lineFeeds;
    if (text.size() > start && text.back() != '\n') {
        text.push_back('\n');  // a last line without a line end is still a line
        ++lines;
    }
    if (lines > static_cast<std::size_t>(maxLines)) {
        // Keep the first maxLines lines only.
        std::size_t cut = start;
        for (std::int32_t kept = 0; kept < maxLines; ++kept) cut = text.find('\n', cut) + 1;
        text.resize(cut);
        lines = static_cast<std::size_t>(maxLines);
    }
    return static_cast<std::int32_t>(lines);
}

std::size_t readBytes(TextFile& file, char* data, std::size_t size) {
    if (!isOpen(file)) return 0;
    switchToReading(file);
    if (file.next < file.fill) {
        const std::size_t ahead = std::min(size, file.fill - file.next);
        std::memcpy(data, file.buffer.data() + file.next, ahead);
        file.next += ahead;
        return ahead;
    }
    file.bufferStart += file.fill;
    file.next = 0;
    file.fill = 0;
    const std::ptrdiff_t got = os::readSome(file.handle, data, size);
    if (got <= 0) return 0;
    file.bufferStart += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

bool fileLength(TextFile& file, std::uint64_t& length) {
    if (!isOpen(file)) return false;
    writeOut(file);
    return os::fileSize(file.handle, length);
}

bool seekTo(TextFile& file, std::uint64_t position) {
    if (!isOpen(file)) return false;
    writeOut(file);
    file.next = 0;
    file.fill = 0;
    file.bufferStart = position;
    if (os::seekTo(file.handle, position)) return true;
    file.writeFailed = true;
    return false;
}

std::size_t writeText(TextFile& file, std::string_view text) {
    if (!isOpen(file) || text.empty()) return 0;
    switchToWriting(file);
    if (text.size() > kBufferSize - file.fill) writeOut(file);
    if (text.size() >= kBufferSize) {
        // Large texts go straight to the file, after the waiting bytes.
        if (!file.writeFailed && !os::writeAll(file.handle, text.data(), text.size())) {
            file.writeFailed = true;
        }
        file.bufferStart += text.size();
        return file.writeFailed ? 0 : text.size();
    }
    std::memcpy(file.buffer.data() + file.fill, text.data(), text.size());
    file.fill += text.size();
    return text.size();
}

bool flushFile(TextFile& file) {
    if (!isOpen(file)) return false;
    writeOut(file);
    return !file.writeFailed;
}

bool truncateFile(TextFile& file, std::uint64_t length) {
    if (!isOpen(file)) return false;
    file.fill = 0;  // waiting bytes belong to what is being cut away
    file.next = 0;
    file.mode = BufferMode::reading;
    file.bufferStart = length;
    return os::truncateTo(file.handle, length);
}

void reserveRoom(TextFile& file, std::uint64_t position, std::uint64_t size) {
    if (isOpen(file) && size > 0) os::reserveSpace(file.handle, position, size);
}

TextFile::~TextFile() {
    closeFile(*this);
}

void closeFile(TextFile& file) {
    if (!isOpen(file)) return;
    writeOut(file);
    os::closeHandle(file.handle);
    resetState(file, os::kNoHandle);
}

}  // namespace textio
