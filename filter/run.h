// The whole run, from the tree name to the appended block.
#pragma once

#include "filter/search_filter.h"

namespace filter {

// Reads, matches, appends the block. Never throws past a lack of memory
// (std::bad_alloc), and then nothing has been written.
void runFilter(RunState& state);

}  // namespace filter
