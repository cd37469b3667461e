// The per-OS backend of the text-file layer. Every operating-system call of the
// program lives behind these functions: os_posix.cpp implements them with
// open/read/write/flock, os_win32.cpp with CreateFileW/ReadFile/WriteFile.
// The portable core (text_file.cpp) and the filter never call the OS directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textio {

// How an open went, for the backend and the layer above alike.
enum class OpenStatus {
    ok,
    failed,  // missing, a directory, no permission, read-only: retrying will not help
    busy,    // another process holds the file in a way that excludes us for now
};

}  // namespace textio

namespace textio::os {

// An open file: a POSIX descriptor or a Win32 HANDLE, stored as an integer.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Opens an existing regular file for reading. Others may read it too, but the
// open fails (busy) while another process holds it for writing.
OpenStatus openForReading(const char* name, Handle& handle);

// Opens a regular file for reading and writing, creating it empty when missing
// and keeping its content otherwise. Others may only read it while we hold it;
// the open fails (busy) while another process reads or writes it exclusively.
OpenStatus openForUpdate(const char* name, Handle& handle);

// Reads up to `size` bytes at the file position; returns the number read,
// 0 at the end of the file, or -1 on a read error.
std::ptrdiff_t readSome(Handle handle, void* data, std::size_t size);

// Writes all `size` bytes at the file position, retrying short writes.
// Returns false if the file took fewer bytes (disk full, size limit, I/O error).
bool writeAll(Handle handle, const void* data, std::size_t size);

// Moves the file position to an absolute 64-bit byte offset.
bool seekTo(Handle handle, std::uint64_t position);

// Gets the file's current size in bytes (64-bit).
bool fileSize(Handle handle, std::uint64_t& size);

// Cuts the file back to `size` bytes and leaves the position there.
bool truncateTo(Handle handle, std::uint64_t size);

// Asks the file system to set aside room for `size` bytes at `offset`
// without changing the file's size, so that writing them does not allocate
// page by page. Only a hint: where the system has no such call, or refuses,
// nothing happens.
void reserveSpace(Handle handle, std::uint64_t offset, std::uint64_t size);

void closeHandle(Handle handle);

// Maps the first `size` bytes (size > 0) of a file opened for reading, read
// only, where that is safe here; nullptr when it is not or the map fails.
// While mapped, bytes that vanish (another process cuts the file short, the
// device fails) read as zeros instead of ending the process, and
// mappedBytesLost() becomes true for the rest of the run.
const char* mapForReading(Handle handle, std::size_t size);
// Says that the mapped pages of [data, data + size) will not be read again,
// so that they need not stay in memory (only a hint; page-aligned data).
void releaseMapped(const char* data, std::size_t size);
void unmapFile(const char* data, std::size_t size);
bool mappedBytesLost();

// Memory for a large buffer straight from the system: at least `size` bytes
// (the usable size, a whole number of pages, is returned in `size`), zero on
// first touch, backed by large pages where the system offers them, so that
// filling it takes a page fault per 2 MiB instead of one per 4 KiB. nullptr
// when the system has none. Given back with freeLarge(data, usable size).
void* allocateLarge(std::size_t& size);
void freeLarge(void* data, std::size_t size);
// Makes the pages of [data, data + size) of such memory present in one call,
// where the system can, instead of a fault for each on its first touch (a
// hint: nothing changes where it cannot).
void populatePages(char* data, std::size_t size);

// Process-wide preparation before any file is touched (e.g. so that exceeding
// a file-size limit fails a write instead of killing the process).
void prepareProcess();

// A monotonic clock in milliseconds and a sleep, for bounded retries.
std::uint64_t monotonicMilliseconds();
// The same clock in nanoseconds (to the timer's resolution), for timing a
// few microseconds' work.
std::uint64_t monotonicNanoseconds();
void sleepMilliseconds(unsigned milliseconds);

// Ends the process with the given exit code (ExitProcess on Windows).
[[noreturn]] void exitProcess(int code);

}  // namespace textio::os
