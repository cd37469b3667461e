// Buffers for bulk text (blocks of a list being read, folded text, the kept
// locations). From a size where it pays, their memory comes straight from the
// system in large pages where it offers them: on some machines each 4 KiB
// page touched for the first time costs microseconds, which over a few
// megabytes weighs more than all the searching. Where there are no large
// pages (a Windows program without the privilege they need), a buffer's
// pages are brought in with one call as it is handed out, which costs less
// than a fault for each (W1's kept locations under Wine: 0.83 x the time
// beyond start-up). The first such buffers share one region, so that a small
// run touches only a large page or two.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace textio {

enum class LargeBufferSource : unsigned char {
    heap,
    system,  // memory of its own, straight from the system
    region,  // a piece of the region the first large buffers share
};

struct LargeBufferRelease {
    std::size_t size = 0;  // usable bytes
    LargeBufferSource source = LargeBufferSource::heap;
    void operator()(char* data) const noexcept;
};

// Uninitialised bytes, at least as many as asked; largeBufferSize tells how
// many may be used. Throws std::bad_alloc when there is no memory.
using LargeBuffer = std::unique_ptr<char[], LargeBufferRelease>;

LargeBuffer allocateLargeBuffer(std::size_t size);

// The same for a buffer that may be smaller: at least `least` bytes, and
// `size` where the region has room for them. Where it has room for `least`
// only, all it has left: those pages would go unused otherwise, and memory of
// the buffer's own would clear a fresh large page of which the buffer might
// use a fraction (W3's kept locations: three large pages instead of two).
LargeBuffer allocateLargeBuffer(std::size_t size, std::size_t least);

// Gives the shared region back, so that the next large buffer opens a new one
// as the first of a new process would. Only for a process that runs the
// filter again and again (bench/repeat_runs), when no buffer is alive: the
// region's pieces would be handed out again.
void releaseLargeBufferRegion();

inline std::size_t largeBufferSize(const LargeBuffer& buffer) {
    return buffer ? buffer.get_deleter().size : 0;
}

// Uninitialised room for values of T in a large buffer, at least a large
// buffer's minimum, so that it comes from the shared region of large pages
// rather than costing fresh heap pages a fault each.
template <class T>
struct LargeArray {
    LargeBuffer bytes;
    T* data() const { return reinterpret_cast<T*>(bytes.get()); }
    std::size_t capacity() const { return largeBufferSize(bytes) / sizeof(T); }
};

// Below this size a buffer comes from the heap once the shared region is
// full (memory of its own would clear a large page for it). A list reader's
// buffer (two reads) is just this size.
inline constexpr std::size_t kLargeBufferMinimum = 128 * 1024;

// From this size a buffer may come from the shared region: on the heap each
// of its pages would cost a fault of its own. Smaller ones come from the heap.
inline constexpr std::size_t kRegionPieceMinimum = 16 * 1024;

// Makes room for `count` values, keeping the first `keep` ones. An array
// starts at a region piece's minimum: a block's index needs a few thousand
// entries, and room for a large buffer's minimum of them pushed W3's kept
// locations out of the region onto a large page of their own.
template <class T>
void reserveArray(LargeArray<T>& array, std::size_t count, std::size_t keep = 0) {
    if (array.capacity() >= count) return;
    std::size_t wanted = std::max(kRegionPieceMinimum / sizeof(T), 2 * array.capacity());
    while (wanted < count) wanted *= 2;
    LargeBuffer bytes = allocateLargeBuffer(wanted * sizeof(T));
    if (keep > 0) std::memcpy(bytes.get(), array.bytes.get(), keep * sizeof(T));
    array.bytes = std::move(bytes);
}

}  // namespace textio
