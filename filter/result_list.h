// The kept locations of a run.
#pragma once

#include <string_view>
#include <vector>

#include "filter/search_filter.h"

namespace filter {

// Adds the location folder\file (always exactly one backslash between them).
void appendLocation(ResultList& results, std::string_view folder, std::string_view file);

// Every location kept so far, each followed by LF: the pieces, joined.
std::vector<std::string_view> resultPieces(const ResultList& results);

}  // namespace filter
