#include "textio/mapped_file.h"

#include <algorithm>
#include <cstdint>

#include "textio/os_file.h"

namespace textio {
namespace {

// Pages are let go in steps this large: each step is a system call.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;
constexpr std::size_t kPage = 4096;

// Mapping pays only where a page costs less to map than to copy. That is not
// so under a hypervisor that shadows the page tables (every page mapped is a
// trip to the host), nor where the page cache holds a list in small pieces
// (written a line at a time, copied, or long unused): there it was seen to
// take 3 times as long as reading. So the first pages are touched and timed,
// and the list is read where they cost more than a copy would (about 100 ns
// a KiB on the machines measured; half of that is the bar). The probe stops
// as soon as it is over its time, so that a list read costs little more.
constexpr std::size_t kProbeBytes = 512 * 1024;
constexpr std::uint64_t kMaxProbeNanosecondsPerKiB = 50;

bool mapsCheaply(const char* data, std::size_t size) {
    const std::size_t probed = std::min(size, kProbeBytes);
    const std::uint64_t allowed = kMaxProbeNanosecondsPerKiB * probed / 1024;
    const std::uint64_t start = os::monotonicNanoseconds();
    for (std::size_t offset = 0; offset < probed; offset += kPage) {
        static_cast<void>(*static_cast<const volatile char*>(data + offset));
        if (os::monotonicNanoseconds() - start > allowed) return false;
    }
    return true;
}

}  // namespace

MappedBytes::~MappedBytes() {
    unmap(*this);
}

bool mapFile(TextFile& file, std::size_t minimum, std::size_t maximum, bool onlyIfCheap,
             MappedBytes& mapped) {
    // Bytes read ahead into the buffer would be handed out twice.
    if (!isOpen(file) || file.bufferStart != 0 || file.next != 0 || file.fill != 0) return false;
    std::uint64_t length = 0;
    if (!fileLength(file, length) || length == 0 || length < minimum || length > maximum)
        return false;
    const auto size = static_cast<std::size_t>(length);
    const char* data = os::mapForReading(file.handle, size);
    if (data == nullptr) return false;
    if (onlyIfCheap && !mapsCheaply(data, size)) {
        os::unmapFile(data, size);
        return false;
    }
    unmap(mapped);
    mapped.data = data;
    mapped.size = size;
    return true;
}

void unmap(MappedBytes& mapped) {
    if (mapped.data != nullptr) os::unmapFile(mapped.data, mapped.size);
    mapped.data = nullptr;
    mapped.size = 0;
    mapped.released = 0;
}

void releaseBefore(MappedBytes& mapped, std::size_t offset) {
    if (mapped.data == nullptr || offset - mapped.released < kReleaseStep) return;
    const std::size_t until = offset & ~(kPage - 1);
    os::releaseMapped(mapped.data + mapped.released, until - mapped.released);
    mapped.released = until;
}

bool mappedBytesLost() {
    return os::mappedBytesLost();
}

}  // namespace textio
