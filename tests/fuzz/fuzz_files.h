// Files for the fuzz targets: one temporary folder per fuzzing process,
// removed when the process ends normally, and whole-file reads and writes.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace fuzzfiles {

inline std::filesystem::path& processFolderSlot() {
    static std::filesystem::path folder;
    return folder;
}

inline void removeProcessFolder() {
    std::error_code ignored;
    if (!processFolderSlot().empty()) std::filesystem::remove_all(processFolderSlot(), ignored);
}

// The folder, created on first use.
inline const std::filesystem::path& processFolder() {
    std::filesystem::path& folder = processFolderSlot();
    if (folder.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "searchfilter-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        std::atexit(removeProcessFolder);
    }
    return folder;
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fuzzfiles
