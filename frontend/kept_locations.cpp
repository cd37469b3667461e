#include "frontend/kept_locations.h"

#include <algorithm>

namespace {

bool isLocation(const TreeListing& listing, std::size_t index, std::string_view line) {
    const std::string& folder = listing.folders[index];
    const std::string& name = listing.names[index];
    return line.size() == folder.size() + 1 + name.size() && line.starts_with(folder) &&
           line[folder.size()] == '\\' && line.ends_with(name);
}

}  // namespace

KeptLocations keptLocations(std::string_view block, std::string_view treeName,
                            const TreeListing& listing) {
    KeptLocations kept;
    const std::size_t headerEnd = block.find('\n');
    if (headerEnd == std::string_view::npos || block.substr(0, headerEnd) != treeName) {
        kept.problem = L"the output list gained something that is not this run's block";
        return kept;
    }
    std::size_t index = 0;
    const std::size_t count = listing.folders.size();
    for (std::size_t start = headerEnd + 1; start < block.size();) {
        const std::size_t end = std::min(block.find('\n', start), block.size());
        const std::string_view line = block.substr(start, end - start);
        while (index < count && !isLocation(listing, index, line)) ++index;
        if (index == count) {
            kept.problem = L"a kept line is none of the listed locations";
            return kept;
        }
        kept.indexes.push_back(index++);
        start = end + 1;
    }
    kept.ok = true;
    return kept;
}
