// A deliberately plain line splitter for the fuzz targets: a line ends at LF,
// CR LF, a lone CR or NUL; the line end is not part of the line; a last line
// without a line end still counts, and nothing after the last line end
// makes no extra empty line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace reference {

inline std::vector<std::string> splitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;  // of the current line
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char byte = bytes[i];
        if (byte != '\n' && byte != '\0' && byte != '\r') continue;
        lines.emplace_back(bytes.substr(start, i - start));
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

}  // namespace reference
