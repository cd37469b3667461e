// Files for the fuzz targets: one temporary folder per fuzzing process,
// removed when the process ends normally, and whole-file writes that must
// succeed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "tests/support/temp_folder.h"

namespace fuzzfiles {

// The folder, created on first use.
inline const std::filesystem::path& processFolder() {
    static const test_support::TempFolder folder("fuzz");
    if (folder.path().empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        std::abort();
    }
    return folder.path();
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    if (!test_support::writeFileBytes(path, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

}  // namespace fuzzfiles
