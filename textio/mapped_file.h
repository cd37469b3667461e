// A list's bytes mapped into memory instead of read: its blocks are handed
// out where they lie, without the copy out of the page cache that a read
// makes, which is most of the time of a run with few terms.
#pragma once

#include <cstddef>

#include "textio/text_file.h"

namespace textio {

// The whole file, read only, from offset 0; unmapped when it goes.
struct MappedBytes {
    const char* data = nullptr;
    std::size_t size = 0;
    std::size_t released = 0;  // the pages before this offset were let go

    MappedBytes() = default;
    MappedBytes(const MappedBytes&) = delete;
    MappedBytes& operator=(const MappedBytes&) = delete;
    ~MappedBytes();
};

// Maps `file` when nothing of it has been read yet and it holds from
// `minimum` (at least 1) to `maximum` bytes; false, changing nothing, when
// it does not or cannot be mapped (then it is read as usual). With
// `onlyIfCheap`, also false where its first pages took longer to map than
// copying them would take.
bool mapFile(TextFile& file, std::size_t minimum, std::size_t maximum, bool onlyIfCheap,
             MappedBytes& mapped);

void unmap(MappedBytes& mapped);

// The bytes before `offset` will not be read again: their pages are let go
// a few megabytes at a time, so that a run holds little of a mapped list.
void releaseBefore(MappedBytes& mapped, std::size_t offset);

// Whether bytes of a mapped list went missing while it was read (another
// process cut it short): then the blocks handed out may hold zeros where
// the bytes were, and whatever was found in them must be found again.
bool mappedBytesLost();

}  // namespace textio
