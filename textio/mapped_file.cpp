#include "textio/mapped_file.h"

#include <cstdint>

#include "textio/os_file.h"

namespace textio {
namespace {

// Pages are let go in steps this large: each step is a system call.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;
constexpr std::size_t kPage = 4096;

}  // namespace

MappedBytes::~MappedBytes() {
    unmap(*this);
}

bool mapFile(TextFile& file, std::size_t minimum, std::size_t maximum, MappedBytes& mapped) {
    // Bytes read ahead into the buffer would be handed out twice.
    if (!isOpen(file) || file.bufferStart != 0 || file.next != 0 || file.fill != 0) return false;
    std::uint64_t length = 0;
    if (!fileLength(file, length) || length == 0 || length < minimum || length > maximum)
        return false;
    const auto size = static_cast<std::size_t>(length);
    const char* data = os::mapForReading(file.handle, size);
    if (data == nullptr) return false;
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
