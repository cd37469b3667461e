#include "textio/large_buffer.h"

#include "textio/os_file.h"

namespace textio {

void LargeBufferRelease::operator()(char* data) const noexcept {
    if (fromSystem) {
        os::freeLarge(data, size);
    } else {
        delete[] data;
    }
}

LargeBuffer allocateLargeBuffer(std::size_t size) {
    // Builds that check every heap access (sanitizers, valgrind) keep all
    // buffers on the heap, where an overrun is caught at its first byte.
#ifndef SEARCHFILTER_HEAP_BUFFERS
    if (size >= kLargeBufferMinimum) {
        std::size_t usable = size;
        if (void* data = os::allocateLarge(usable)) {
            return LargeBuffer(static_cast<char*>(data), LargeBufferRelease{usable, true});
        }
    }
#endif
    return LargeBuffer(new char[size], LargeBufferRelease{size, false});
}

}  // namespace textio
