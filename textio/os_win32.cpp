// Win32 backend. Both opens share the file for reading only, so while the
// filter holds a file others may read it but not write it; a file that another
// process holds in a conflicting way reports a sharing or lock violation,
// which is the only failure worth waiting for.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <limits>
#include <string>

#include "textio/os_file.h"

namespace textio::os {
namespace {

// kNoHandle (-1) is INVALID_HANDLE_VALUE, so a failed open maps onto it.
HANDLE toWin(Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The names are UTF-8, like every text of the program.
bool widen(const char* name, std::wstring& wide) {
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide.data(), length) ==
           length;
}

OpenStatus openShared(const char* name, DWORD access, DWORD disposition, Handle& handle) {
    std::wstring wide;
    if (!widen(name, wide)) return OpenStatus::failed;
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open at all.
    const HANDLE file = ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool heldByOther = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        return heldByOther ? OpenStatus::busy : OpenStatus::failed;
    }
    // Only plain files: a device or pipe behind the name could block a read.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return OpenStatus::failed;
    }
    handle = reinterpret_cast<Handle>(file);
    return OpenStatus::ok;
}

// ReadFile and WriteFile take 32-bit counts.
DWORD chunkOf(std::size_t size) {
    constexpr std::size_t kMaxChunk = 1u << 30;
    return static_cast<DWORD>(size < kMaxChunk ? size : kMaxChunk);
}

}  // namespace

OpenStatus openForReading(const char* name, Handle& handle) {
    return openShared(name, GENERIC_READ, OPEN_EXISTING, handle);
}

OpenStatus openForUpdate(const char* name, Handle& handle) {
    return openShared(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, handle);
}

std::ptrdiff_t readSome(Handle handle, void* data, std::size_t size) {
    DWORD got = 0;
    if (!::ReadFile(toWin(handle), data, chunkOf(size), &got, nullptr)) return -1;
    return static_cast<std::ptrdiff_t>(got);
}

bool writeAll(Handle handle, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        if (!::WriteFile(toWin(handle), bytes, chunkOf(size), &put, nullptr) || put == 0) {
            return false;
        }
        bytes += put;
        size -= put;
    }
    return true;
}

bool seekTo(Handle handle, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return false;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(toWin(handle), distance, nullptr, FILE_BEGIN) != 0;
}

bool fileSize(Handle handle, std::uint64_t& size) {
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(toWin(handle), &length) || length.QuadPart < 0) return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

bool truncateTo(Handle handle, std::uint64_t size) {
    return seekTo(handle, size) && ::SetEndOfFile(toWin(handle)) != 0;
}

void reserveSpace(Handle, std::uint64_t, std::uint64_t) {
    // Nothing: the reservation paid on Linux's ext4, and had no Windows
    // file system to be measured on.
}

void closeHandle(Handle handle) {
    ::CloseHandle(toWin(handle));
}

const char* mapForReading(Handle handle, std::size_t size) {
    // A mapped page whose drive went away raises an exception where ReadFile
    // would fail, so only lists on a fixed disk are mapped (the lists are the
    // current folder's). Nobody can cut a list short meanwhile: it is open
    // without write sharing. Asked once: the folder stays, and under Wine
    // each question goes through its server and mount manager.
    static const bool onFixedDisk = ::GetDriveTypeW(nullptr) == DRIVE_FIXED;
    if (!onFixedDisk) return nullptr;
    const HANDLE section =
        ::CreateFileMappingW(toWin(handle), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (section == nullptr) return nullptr;
    // On a 2 MiB boundary, where a system that holds files in large pages
    // can map them a large page at a time: Wine maps views with mmap, and on
    // Linux a view 64 KiB off one took 1.5 x the time (a count of W4's lines).
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    void* view = nullptr;
    if (size <= SIZE_MAX - kLargePage) {
        void* room = ::VirtualAlloc(nullptr, size + kLargePage, MEM_RESERVE, PAGE_NOACCESS);
        if (room != nullptr) {
            const auto start = reinterpret_cast<std::uintptr_t>(room);
            void* aligned =
                reinterpret_cast<void*>((start + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1});
            ::VirtualFree(room, 0, MEM_RELEASE);
            view = ::MapViewOfFileEx(section, FILE_MAP_READ, 0, 0, size, aligned);
        }
    }
    if (view == nullptr) view = ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, size);
    ::CloseHandle(section);  // the view keeps it
    return static_cast<const char*>(view);
}

void releaseMapped(const char* data, std::size_t size) {
    // Unlocking pages that are not locked takes them out of the working set
    // (and fails with ERROR_NOT_LOCKED, as expected); they stay mapped.
    ::VirtualUnlock(const_cast<char*>(data), size);
}

void unmapFile(const char* data, std::size_t /*size*/) {
    ::UnmapViewOfFile(data);
}

bool mappedBytesLost() {
    return false;
}

void* allocateLarge(std::size_t& size) {
    // Large pages need a privilege an ordinary program does not hold; whole
    // pages straight from the system still spare the heap.
    constexpr std::size_t kPage = 4096;
    if (size == 0 || size > SIZE_MAX / 2) return nullptr;
    const std::size_t rounded = (size + kPage - 1) & ~(kPage - 1);
    void* data = ::VirtualAlloc(nullptr, rounded, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (data != nullptr) size = rounded;
    return data;
}

void freeLarge(void* data, std::size_t /*size*/) {
    ::VirtualFree(data, 0, MEM_RELEASE);
}

void populatePages(char* data, std::size_t size) {
    // Locking pages brings them in at once; unlocked again they stay in the
    // working set. Beyond the working set's quota the lock fails, and the
    // pages come in on their first touch as before.
    if (size != 0 && ::VirtualLock(data, size)) ::VirtualUnlock(data, size);
}

void prepareProcess() {
    // The program never shows a window: no "insert a disk" or drive-error box
    // when the working folder sits on a removed drive (the open just fails),
    // and no crash dialog that would leave the caller waiting for a click.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
}

std::uint64_t monotonicMilliseconds() {
    return ::GetTickCount64();
}

std::uint64_t monotonicNanoseconds() {
    static const std::uint64_t perSecond = [] {
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<std::uint64_t>(frequency.QuadPart);
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    // In two parts, so that the product cannot overflow.
    return ticks / perSecond * 1000000000u + ticks % perSecond * 1000000000u / perSecond;
}

void sleepMilliseconds(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

void exitProcess(int code) {
    ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace textio::os
