// Which listed locations a run's block kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/tree_walk.h"

struct KeptLocations {
    bool ok = false;
    std::wstring problem;              // when not ok
    std::vector<std::size_t> indexes;  // into the listing, in block order
};

// The block is the header line (treeName), then one line folder\name per kept location,
// in listing order. Each line is mapped back to its location rather than split at a
// backslash.
KeptLocations keptLocations(std::string_view block, std::string_view treeName,
                            const TreeListing& listing);
