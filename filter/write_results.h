// The output block of a run.
#pragma once

#include "filter/search_filter.h"

namespace filter {

// Appends one block: the tree name line and one line per kept location. The
// block lands whole or not at all; nothing is reported.
void writeResults(const RunState& state);

}  // namespace filter
