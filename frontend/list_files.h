// Writes the four input lists of a searchfilter run.
#pragma once

#include <string>
#include <vector>

// One line per item, each ending with LF; UTF-8 items, no byte-order mark (one would become
// part of the first line). An item must hold no CR, LF or NUL. Returns false on failure.
bool writeLists(const std::wstring& folder, const std::string& treeName,
                const std::vector<std::string>& terms, const std::vector<std::string>& folders,
                const std::vector<std::string>& names);
