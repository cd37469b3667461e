// A fresh temporary folder per test, removed afterwards. Tests pass full paths,
// so nothing depends on (or changes) the working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

class TempDirTest : public ::testing::Test {
  protected:
    // A name nobody else took: create_directory says whether the folder is
    // new, so two test programs running at once never share one.
    void SetUp() override {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate =
                base / ("searchfilter-unit-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                dir_ = candidate;
                return;
            }
        }
        FAIL() << "could not create a fresh folder in " << base.string();
    }

    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }

    std::string path(std::string_view name) const { return (dir_ / name).string(); }

    std::string writeBytes(std::string_view name, std::string_view bytes) const {
        const std::string full = path(name);
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return full;
    }

    static std::string readBytes(const std::string& full) {
        std::ifstream in(full, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path dir_;
};
