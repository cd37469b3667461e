// Text files: open by name, read UTF-8 lines, append text, position, close.
// Lines end at LF, CR LF, a lone CR or NUL; line ends are never part of a line.
// Text is kept as the bytes read: decoding and encoding UTF-8 (with escapes for
// ill-formed bytes, see utf8.h) give back those very bytes, so the layer moves
// bytes and leaves character work to whoever needs characters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textio/os_file.h"

namespace textio {

inline constexpr std::size_t kBufferSize = 4096;

enum class BufferMode { reading, writing };

// One open file. The buffer holds read-ahead bytes in reading mode and bytes
// not yet written in writing mode; `bufferStart` is the file offset of
// buffer[0], so the logical position is bufferStart + next (reading) or
// bufferStart + fill (writing).
struct TextFile {
    os::Handle handle = os::kNoHandle;
    BufferMode mode = BufferMode::reading;
    std::uint64_t bufferStart = 0;
    std::size_t next = 0;      // reading: index of the next unconsumed byte
    std::size_t fill = 0;      // reading: bytes the last refill brought; writing: bytes waiting
    bool writeFailed = false;  // sticky: a write since the open lost bytes
    std::array<unsigned char, kBufferSize> buffer;

    // A file closes itself when it goes (writing out what waits); closeFile
    // stays for where the order of closing matters.
    TextFile() = default;
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();
};

// Opens an existing file for reading; others may read it too.
OpenStatus openRead(TextFile& file, const char* name);

// Opens for reading and writing, created empty when missing, content kept;
// others may only read it meanwhile. The position is 0.
OpenStatus openOrCreate(TextFile& file, const char* name);

// openOrCreate, retried with short sleeps while another process holds the
// file, for at most `maxWaitMilliseconds`; other failures return at once.
OpenStatus openOrCreateWaiting(TextFile& file, const char* name, std::uint32_t maxWaitMilliseconds);

bool isOpen(const TextFile& file);

// True when no byte can be read at the current position.
bool atEnd(TextFile& file);

// Reads one line and appends its bytes (without the line end) to `line`.
// At the end of the file it appends nothing.
void readLine(TextFile& file, std::string& line);

// Reads the rest of the file as lines, appending each line and one LF to
// `text`, at most `maxLines` of them; returns how many. The result is what
// calling readLine until atEnd would give, read in large blocks straight into
// `text` instead of through the buffer.
std::int32_t appendLines(TextFile& file, std::string& text, std::int32_t maxLines);

// Reads raw bytes at the current position in one large read, past the
// buffer: bytes already read ahead come first. Returns how many; 0 at the end
// of the file or on a read error.
std::size_t readBytes(TextFile& file, char* data, std::size_t size);

// The size in bytes, after writing out waiting bytes; false if it cannot be
// read (then nothing should be written, or it might land in the wrong place).
bool fileLength(TextFile& file, std::uint64_t& length);

// Writes out waiting bytes, drops read-ahead and moves to an absolute position.
bool seekTo(TextFile& file, std::uint64_t position);

// Writes the bytes at the current position; returns how many were taken.
std::size_t writeText(TextFile& file, std::string_view text);

// Writes out waiting bytes; false if any write since the open failed.
bool flushFile(TextFile& file);

// Cuts the file back to `length` bytes, dropping anything still waiting.
bool truncateFile(TextFile& file, std::uint64_t length);

// Asks for room for `size` bytes at `position` to be set aside before they
// are written, where the system can (the file's size does not change).
void reserveRoom(TextFile& file, std::uint64_t position, std::uint64_t size);

// Writes out waiting bytes, releases the buffer and closes; a file that did
// not open is left alone.
void closeFile(TextFile& file);

}  // namespace textio
