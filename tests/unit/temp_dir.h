// A fresh temporary folder per test, removed afterwards. Tests pass full paths,
// so nothing depends on (or changes) the working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/temp_folder.h"

class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_.emplace("unit");
        dir_ = folder_->path();
        ASSERT_FALSE(dir_.empty()) << "could not create a fresh folder in "
                                   << std::filesystem::temp_directory_path().string();
    }

    void TearDown() override { folder_.reset(); }

    std::string path(std::string_view name) const { return (dir_ / name).string(); }

    std::string writeBytes(std::string_view name, std::string_view bytes) const {
        const std::string full = path(name);
        EXPECT_TRUE(test_support::writeFileBytes(full, bytes)) << "could not write " << full;
        return full;
    }

    static std::string readBytes(const std::string& full) {
        return test_support::readFileBytes(full);
    }

    std::filesystem::path dir_;

  private:
    std::optional<test_support::TempFolder> folder_;
};
