// A fresh temporary folder of the tests' own, removed with all it holds when
// it goes, and whole-file reads and writes of bytes.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "tests/support/seeded_random.h"

namespace test_support {

class TempFolder {
  public:
    // A name nobody else took: create_directory says whether the folder is
    // new, so two test programs running at once never share one. path() is
    // empty when no folder could be made.
    explicit TempFolder(std::string_view tag) {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        SeededRandom random(std::random_device{}());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate =
                base / ("searchfilter-" + std::string(tag) + "-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = std::move(candidate);
                return;
            }
        }
    }

    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Replaces the file's content; false when it could not be written whole.
inline bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Empty when the file cannot be read.
inline std::string readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace test_support
