#include "textio/large_buffer.h"

#include "textio/os_file.h"

namespace textio {
namespace {

#ifndef SEARCHFILTER_HEAP_BUFFERS
// The first large buffers of a run share one region, so that a small run
// clears a large page or two instead of one per buffer. A piece is never
// given back to the region, which lasts as long as the process; a buffer
// that does not fit in what is left gets memory of its own.
struct Region {
    char* base = nullptr;
    std::size_t size = 0;
    char* next = nullptr;
    std::size_t left = 0;
    bool tried = false;
};

constexpr std::size_t kRegionSize = std::size_t{4} << 20;
constexpr std::size_t kPieceAlignment = 64;

Region region;

void openRegion() {
    if (!region.tried) {
        region.tried = true;
        std::size_t usable = kRegionSize;
        if (void* data = os::allocateLarge(usable)) {
            region.base = region.next = static_cast<char*>(data);
            region.size = region.left = usable;
        }
    }
}

char* takeFromRegion(std::size_t size) {
    openRegion();
    const std::size_t rounded = (size + kPieceAlignment - 1) & ~(kPieceAlignment - 1);
    if (rounded < size || rounded > region.left) return nullptr;
    char* piece = region.next;
    region.next += rounded;
    region.left -= rounded;
    os::populatePages(piece, rounded);
    return piece;
}
#endif

}  // namespace

void LargeBufferRelease::operator()(char* data) const noexcept {
    switch (source) {
        case LargeBufferSource::heap:
            delete[] data;
            break;
        case LargeBufferSource::system:
            os::freeLarge(data, size);
            break;
        case LargeBufferSource::region:
            break;  // the region is never given back
    }
}

LargeBuffer allocateLargeBuffer(std::size_t size) {
    // Builds that check every heap access (sanitizers, valgrind) keep all
    // buffers on the heap, where an overrun is caught at its first byte.
#ifndef SEARCHFILTER_HEAP_BUFFERS
    if (size >= kRegionPieceMinimum) {
        if (char* piece = takeFromRegion(size)) {
            return LargeBuffer(piece, LargeBufferRelease{size, LargeBufferSource::region});
        }
    }
    if (size >= kLargeBufferMinimum) {
        std::size_t usable = size;
        if (void* data = os::allocateLarge(usable)) {
            os::populatePages(static_cast<char*>(data), usable);
            return LargeBuffer(static_cast<char*>(data),
                               LargeBufferRelease{usable, LargeBufferSource::system});
        }
    }
#endif
    return LargeBuffer(new char[size], LargeBufferRelease{size, LargeBufferSource::heap});
}

void releaseLargeBufferRegion() {
#ifndef SEARCHFILTER_HEAP_BUFFERS
    if (region.base != nullptr) os::freeLarge(region.base, region.size);
    region = Region{};
#endif
}

LargeBuffer allocateLargeBuffer(std::size_t size, std::size_t least) {
#ifndef SEARCHFILTER_HEAP_BUFFERS
    if (least >= kRegionPieceMinimum && least < size) {
        openRegion();
        const std::size_t left = region.left;  // pieces and the region are whole alignments
        if (left >= least && left < size) {
            if (char* piece = takeFromRegion(left)) {
                return LargeBuffer(piece, LargeBufferRelease{left, LargeBufferSource::region});
            }
        }
    }
#endif
    return allocateLargeBuffer(std::max(size, least));
}

}  // namespace textio
