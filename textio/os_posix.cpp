// POSIX backend. Sharing is modelled with advisory flock: readers take a
// shared lock, the writer of the output list an exclusive one, neither waits.
// Tools that take no lock (a viewer, the front end) are never blocked.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "textio/os_file.h"

namespace textio::os {
namespace {

int fd(Handle handle) {
    return static_cast<int>(handle);
}

// Opens without blocking (a FIFO in place of a list must not hang the run),
// accepts only regular files, then takes the lock.
OpenStatus openLocked(const char* name, int flags, int lockKind, Handle& handle) {
    int descriptor;
    do {
        descriptor = ::open(name, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return OpenStatus::failed;

    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return OpenStatus::failed;
    }
    const int statusFlags = ::fcntl(descriptor, F_GETFL);
    if (statusFlags >= 0) ::fcntl(descriptor, F_SETFL, statusFlags & ~O_NONBLOCK);

    int locked;
    do {
        locked = ::flock(descriptor, lockKind | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool heldByOther = errno == EWOULDBLOCK;
        ::close(descriptor);
        return heldByOther ? OpenStatus::busy : OpenStatus::failed;
    }
    handle = descriptor;
    return OpenStatus::ok;
}

}  // namespace

OpenStatus openForReading(const char* name, Handle& handle) {
    return openLocked(name, O_RDONLY, LOCK_SH, handle);
}

OpenStatus openForUpdate(const char* name, Handle& handle) {
    return openLocked(name, O_RDWR | O_CREAT, LOCK_EX, handle);
}

std::ptrdiff_t readSome(Handle handle, void* data, std::size_t size) {
    ssize_t got;
    do {
        got = ::read(fd(handle), data, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

bool writeAll(Handle handle, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd(handle), bytes, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool seekTo(Handle handle, std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(INT64_MAX)) return false;
    const auto offset = static_cast<off_t>(position);
    if (static_cast<std::uint64_t>(offset) != position) return false;
    return ::lseek(fd(handle), offset, SEEK_SET) == offset;
}

bool fileSize(Handle handle, std::uint64_t& size) {
    struct stat info {};
    if (::fstat(fd(handle), &info) != 0 || info.st_size < 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool truncateTo(Handle handle, std::uint64_t size) {
    const auto length = static_cast<off_t>(size);
    if (length < 0 || static_cast<std::uint64_t>(length) != size) return false;
    int result;
    do {
        result = ::ftruncate(fd(handle), length);
    } while (result != 0 && errno == EINTR);
    return result == 0 && seekTo(handle, size);
}

void reserveSpace(Handle handle, std::uint64_t offset, std::uint64_t size) {
#if defined(__linux__)
    // Kept out of the file's size: a run that dies before it writes leaves
    // the list's bytes as they were, and the next block appended takes the room.
    const auto at = static_cast<off_t>(offset);
    const auto length = static_cast<off_t>(size);
    if (at < 0 || length <= 0 || static_cast<std::uint64_t>(at) != offset ||
        static_cast<std::uint64_t>(length) != size) {
        return;
    }
    int result;
    do {
        result = ::fallocate(fd(handle), FALLOC_FL_KEEP_SIZE, at, length);
    } while (result != 0 && errno == EINTR);
#else
    (void)handle;
    (void)offset;
    (void)size;
#endif
}

void closeHandle(Handle handle) {
    ::close(fd(handle));
}

void* allocateLarge(std::size_t& size) {
    // Mapped 2 MiB aligned, so that every part of it can be a large page.
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    if (size == 0 || size > SIZE_MAX / 2) return nullptr;
    const std::size_t rounded = (size + kLargePage - 1) & ~(kLargePage - 1);
    const std::size_t span = rounded + kLargePage;
    void* mapped =
        ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto base = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (base + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    if (aligned != base) ::munmap(mapped, aligned - base);
    const std::uintptr_t tail = base + span - (aligned + rounded);
    if (tail != 0) ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
#if defined(MADV_HUGEPAGE)
    ::madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);  // only a hint
#endif
    size = rounded;
    return reinterpret_cast<void*>(aligned);
}

void populatePages(char* data, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
    // madvise wants a page-aligned start; older kernels refuse the advice.
    static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    if (size != 0 && page != 0) {
        ::madvise(reinterpret_cast<void*>(start),
                  reinterpret_cast<std::uintptr_t>(data) + size - start, MADV_POPULATE_WRITE);
    }
#else
    (void)data;
    (void)size;
#endif
}

namespace {

// The lists mapped at the moment. A mapped page whose bytes are gone (the
// file was cut short, or its device failed) raises SIGBUS when it is read;
// within one of these ranges the handler puts a page of zeros there instead
// and notes the loss, so that the run can start again reading.
struct MappedRange {
    std::atomic<std::uintptr_t> begin{0};  // 0: a free slot
    std::atomic<std::uintptr_t> end{0};
};
MappedRange mappedRanges[4];
std::uintptr_t pageSize = 4096;
struct sigaction busErrorBefore {};
volatile std::sig_atomic_t bytesLost = 0;

void onBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (const MappedRange& range : mappedRanges) {
        const std::uintptr_t begin = range.begin.load(std::memory_order_relaxed);
        if (begin == 0 || address < begin || address >= range.end.load(std::memory_order_relaxed))
            continue;
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            bytesLost = 1;
            return;  // the read is made again, and finds zeros
        }
    }
    // Not a mapped list's: as if there were no handler.
    ::sigaction(SIGBUS, &busErrorBefore, nullptr);
}

bool guardMappedBytes() {
    const long size = ::sysconf(_SC_PAGESIZE);
    if (size <= 0) return false;
    pageSize = static_cast<std::uintptr_t>(size);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &busErrorBefore) == 0;
}

}  // namespace

const char* mapForReading(Handle handle, std::size_t size) {
    static const bool guarded = guardMappedBytes();
    if (!guarded) return nullptr;
    MappedRange* slot = nullptr;
    for (MappedRange& range : mappedRanges) {
        if (range.begin.load(std::memory_order_relaxed) == 0) slot = &range;
    }
    if (slot == nullptr) return nullptr;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd(handle), 0);
    if (mapped == MAP_FAILED) return nullptr;
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    slot->end.store(begin + size, std::memory_order_relaxed);
    slot->begin.store(begin, std::memory_order_relaxed);
    return static_cast<const char*>(mapped);
}

void releaseMapped(const char* data, std::size_t size) {
#if defined(MADV_DONTNEED)
    // The pages stay mapped: a read would fetch them again from the file.
    ::madvise(const_cast<char*>(data), size, MADV_DONTNEED);
#endif
}

void unmapFile(const char* data, std::size_t size) {
    ::munmap(const_cast<char*>(data), size);
    for (MappedRange& range : mappedRanges) {
        if (range.begin.load(std::memory_order_relaxed) == reinterpret_cast<std::uintptr_t>(data))
            range.begin.store(0, std::memory_order_relaxed);
    }
}

bool mappedBytesLost() {
    return bytesLost != 0;
}

void freeLarge(void* data, std::size_t size) {
    ::munmap(data, size);
}

void prepareProcess() {
    // Past a file-size limit a write must fail with EFBIG, so that the block
    // can be cut back, instead of the signal ending the process mid-block.
    std::signal(SIGXFSZ, SIG_IGN);
}

std::uint64_t monotonicNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t monotonicMilliseconds() {
    return monotonicNanoseconds() / 1000000u;
}

void sleepMilliseconds(unsigned milliseconds) {
    timespec wait{static_cast<time_t>(milliseconds / 1000u),
                  static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

void exitProcess(int code) {
    std::exit(code);
}

}  // namespace textio::os
