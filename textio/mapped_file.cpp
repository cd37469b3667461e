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
// take 3 times as long as reading. So some pages are touched and timed, and
// the list is read where they cost more than a copy would (about 100 ns a
// KiB on the machines measured; half of that is the bar). The probe stops as
// soon as it is over its time, so that a list read costs little more.
//
// The pages probed are those from the middle of the list on: Linux holds
// the first 2 MiB of a list written at once in small pieces and the rest in
// large ones, so that its first pages took 150 ns a KiB to map and the
// whole list 25 (W4's folders, read in 110). They are timed 64 KiB at a
// time, and the slowest step does not count: under Wine a reading of the
// clock cost 90-110 ns, which once per page came to more than the pages
// themselves, and on a virtual machine one interrupt of tens of
// microseconds would have the whole list read. Probed that way, the i686
// .exe read a list in 7 to 9 runs of 10 under Wine, where a run that reads
// took 1.15 to 1.4 x the time of one that maps.
constexpr std::size_t kProbeBytes = 512 * 1024;
constexpr std::size_t kProbeStep = 64 * 1024;
constexpr std::uint64_t kMaxProbeNanosecondsPerKiB = 50;

bool mapsCheaply(const char* data, std::size_t size) {
    const std::size_t probed = std::min(size, kProbeBytes);
    const std::size_t from = std::min(size / 2 / kProbeStep * kProbeStep, size - probed);
    const std::size_t to = from + probed;
    const std::uint64_t allowed =
        kMaxProbeNanosecondsPerKiB * (probed - std::min(probed, kProbeStep)) / 1024;
    std::uint64_t counted = 0;  // the steps so far but the slowest
    std::uint64_t slowest = 0;
    std::uint64_t before = os::monotonicNanoseconds();
    for (std::size_t step = from; step < to; step += kProbeStep) {
        const std::size_t stepEnd = std::min(to, step + kProbeStep);
        for (std::size_t offset = step; offset < stepEnd; offset += kPage) {
            static_cast<void>(*static_cast<const volatile char*>(data + offset));
        }
        const std::uint64_t after = os::monotonicNanoseconds();
        const std::uint64_t took = after - before;
        before = after;
        counted += std::min(took, slowest);
        slowest = std::max(took, slowest);
        if (counted > allowed) return false;
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
