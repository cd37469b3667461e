// The Win32 backend past 4 GiB: positions, lengths and cuts are 64-bit all
// the way through. The file is sparse (only the written ends take room), and
// every byte the backend wrote is read back through a handle of its own at
// the offset given to the system, so a position cut to 32 bits on both the
// write and the read side cannot hide.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "../temp_dir.h"
#include "textio/os_file.h"
#include "win32_handle.h"

namespace textio::win32_test {
namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

class Win32LargeFileTest : public TempDirTest {
  protected:
    // An empty file marked sparse, so that NTFS does not fill the gap with
    // zeros (elsewhere the mark may not exist; the gap is then a hole anyway).
    std::string sparseFile(const char* leaf) {
        const std::string name = path(leaf);
        const Win32Handle file(::CreateFileW(wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.valid());
        DWORD returned = 0;
        ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        return name;
    }

    // The bytes at an absolute offset, read by another handle.
    static std::string bytesAt(const std::string& name, std::uint64_t offset, DWORD count) {
        const Win32Handle file = openOther(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (!file.valid()) return "(cannot open)";
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        std::string bytes(count, '\0');
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data(), count, &got, &at)) return "(read failed)";
        bytes.resize(got);
        return bytes;
    }

    static std::uint64_t sizeOf(os::Handle handle) {
        std::uint64_t size = 0;
        EXPECT_TRUE(os::fileSize(handle, size));
        return size;
    }
};

TEST_F(Win32LargeFileTest, WritesReadsAndLengthsPastFourGiB) {
    const std::string name = sparseFile("large.txt");
    BackendFile file;
    ASSERT_EQ(os::openForUpdate(name.c_str(), file.handle()), OpenStatus::ok);
    struct Case {
        const char* where;
        std::uint64_t offset;
        std::string text;
    };
    const Case cases[] = {
        {"past 5 GiB", 5 * kGiB + 7, "tail of a huge list\n"},
        {"across 4 GiB", 4 * kGiB - 3, "across the mark\n"},
        {"just below 4 GiB", 4 * kGiB - 40, "low"},
        {"past 4 GiB + 2^31", 4 * kGiB + (std::uint64_t{1} << 31) + 1, "sign bit of the low half"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        ASSERT_TRUE(os::seekTo(file.handle(), c.offset));
        ASSERT_TRUE(os::writeAll(file.handle(), c.text.data(), c.text.size()));
        EXPECT_EQ(bytesAt(name, c.offset, static_cast<DWORD>(c.text.size())), c.text);
        ASSERT_TRUE(os::seekTo(file.handle(), c.offset));
        std::string back(c.text.size(), '\0');
        EXPECT_EQ(os::readSome(file.handle(), back.data(), back.size()),
                  static_cast<std::ptrdiff_t>(back.size()));
        EXPECT_EQ(back, c.text);
    }
    std::uint64_t end = 0;
    for (const Case& c : cases) end = std::max(end, c.offset + c.text.size());
    EXPECT_EQ(sizeOf(file.handle()), end);
    // Reading at the end gives nothing, also that far out.
    ASSERT_TRUE(os::seekTo(file.handle(), end));
    char byte = 0;
    EXPECT_EQ(os::readSome(file.handle(), &byte, 1), 0);
}

TEST_F(Win32LargeFileTest, CutsBackPastFourGiBAndWritesOnThere) {
    const std::string name = sparseFile("cut.txt");
    BackendFile file;
    ASSERT_EQ(os::openForUpdate(name.c_str(), file.handle()), OpenStatus::ok);
    const std::uint64_t kept = 4 * kGiB + 5;
    ASSERT_TRUE(os::seekTo(file.handle(), kept - 5));
    ASSERT_TRUE(os::writeAll(file.handle(), "kept!block that goes", 20));
    ASSERT_EQ(sizeOf(file.handle()), kept + 15);

    ASSERT_TRUE(os::truncateTo(file.handle(), kept));
    EXPECT_EQ(sizeOf(file.handle()), kept);
    // The position is at the cut: the next write lands right after "kept!".
    ASSERT_TRUE(os::writeAll(file.handle(), "Z", 1));
    EXPECT_EQ(sizeOf(file.handle()), kept + 1);
    EXPECT_EQ(bytesAt(name, kept - 5, 16), "kept!Z");
}

}  // namespace
}  // namespace textio::win32_test
