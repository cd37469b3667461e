// The Win32 backend's opens: which holders of a file make them busy, what
// they allow others while they hold it, and which failures are not worth a
// retry. "Another program" is a second handle of this process: the system
// checks sharing per handle, so it makes no difference.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../temp_dir.h"
#include "textio/os_file.h"
#include "win32_handle.h"

namespace textio::win32_test {
namespace {

class Win32SharingTest : public TempDirTest {
  protected:
    // path() would take the bytes of a narrow name for the ANSI code page.
    std::string utf8Path(const std::string& leaf) const { return dir_.string() + "\\" + leaf; }
};

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kShareRead = FILE_SHARE_READ;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const char* describe(OpenStatus result) {
    switch (result) {
        case OpenStatus::ok:
            return "ok";
        case OpenStatus::busy:
            return "busy";
        case OpenStatus::failed:
            return "failed";
    }
    return "?";
}

TEST_F(Win32SharingTest, OpensAreBusyWhileAnotherHolderExcludesThem) {
    struct Case {
        const char* holder;
        DWORD access;
        DWORD share;
        OpenStatus reading;
        OpenStatus update;
    };
    const Case cases[] = {
        {"reader sharing reads", kRead, kShareRead, OpenStatus::ok, OpenStatus::busy},
        {"reader sharing all", kRead, kShareAll, OpenStatus::ok, OpenStatus::ok},
        {"reader sharing nothing", kRead, 0, OpenStatus::busy, OpenStatus::busy},
        {"writer sharing reads", kWrite, kShareRead, OpenStatus::busy, OpenStatus::busy},
        {"writer sharing all", kWrite, kShareAll, OpenStatus::busy, OpenStatus::busy},
        {"reader and writer sharing all", kRead | kWrite, kShareAll, OpenStatus::busy,
         OpenStatus::busy},
    };
    const std::string name = writeBytes("held.txt", "content\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.holder);
        const Win32Handle holder = openOther(name, c.access, c.share);
        ASSERT_TRUE(holder.valid());
        BackendFile reading;
        EXPECT_STREQ(describe(os::openForReading(name.c_str(), reading.handle())),
                     describe(c.reading));
        reading.close();
        BackendFile update;
        EXPECT_STREQ(describe(os::openForUpdate(name.c_str(), update.handle())),
                     describe(c.update));
        EXPECT_EQ(update.handle() != os::kNoHandle, c.update == OpenStatus::ok);
    }
}

TEST_F(Win32SharingTest, WhileHeldOthersMayOnlyRead) {
    struct Case {
        const char* other;
        DWORD access;
        DWORD share;
        bool whileReading;  // may the other open while the filter reads?
        bool whileUpdating;
    };
    const Case cases[] = {
        {"reader sharing all", kRead, kShareAll, true, true},
        {"reader sharing reads", kRead, kShareRead, true, false},
        {"writer sharing all", kWrite, kShareAll, false, false},
        {"reader and writer sharing all", kRead | kWrite, kShareAll, false, false},
    };
    const std::string name = writeBytes("held.txt", "content\n");
    for (const bool updating : {false, true}) {
        BackendFile file;
        ASSERT_EQ(updating ? os::openForUpdate(name.c_str(), file.handle())
                           : os::openForReading(name.c_str(), file.handle()),
                  OpenStatus::ok);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.other) +
                         (updating ? ", filter updating" : ", filter reading"));
            DWORD error = 0;
            const Win32Handle other = openOther(name, c.access, c.share, &error);
            const bool allowed = updating ? c.whileUpdating : c.whileReading;
            EXPECT_EQ(other.valid(), allowed);
            if (!allowed) {
                EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            }
        }
    }
}

TEST_F(Win32SharingTest, FailuresThatWaitingWouldNotCureAreNotBusy) {
    const std::string folder = path("folder");
    ASSERT_TRUE(::CreateDirectoryW(wide(folder).c_str(), nullptr));
    const std::string readOnly = writeBytes("read-only.txt", "kept\n");
    ASSERT_TRUE(::SetFileAttributesW(wide(readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
    struct Case {
        const char* what;
        std::string name;
        bool reading;
    };
    const Case cases[] = {
        {"missing file", path("missing.txt"), true},
        {"directory, reading", folder, true},
        {"directory, update", folder, false},
        {"missing folder, update", path("no-such-folder\\list.txt"), false},
        {"read-only file, update", readOnly, false},
        {"name that is not UTF-8", utf8Path("bad-\xFF-name.txt"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BackendFile file;
        const OpenStatus result = c.reading ? os::openForReading(c.name.c_str(), file.handle())
                                            : os::openForUpdate(c.name.c_str(), file.handle());
        EXPECT_STREQ(describe(result), "failed");
        EXPECT_EQ(file.handle(), os::kNoHandle);
    }
    BackendFile reading;
    EXPECT_EQ(os::openForReading(readOnly.c_str(), reading.handle()), OpenStatus::ok);
    reading.close();
    ::SetFileAttributesW(wide(readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readBytes(readOnly), "kept\n");
}

TEST_F(Win32SharingTest, NamesAreUtf8) {
    const std::string name = utf8Path("Relat\xC3\xB3rio \xE2\x82\xAC.txt");  // Relatório €.txt
    BackendFile file;
    ASSERT_EQ(os::openForUpdate(name.c_str(), file.handle()), OpenStatus::ok);
    ASSERT_TRUE(os::writeAll(file.handle(), "x", 1));
    file.close();
    const std::wstring expected = dir_.wstring() + L"\\Relat\u00F3rio \u20AC.txt";
    const DWORD attributes = ::GetFileAttributesW(expected.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    BackendFile again;
    EXPECT_EQ(os::openForReading(name.c_str(), again.handle()), OpenStatus::ok);
}

}  // namespace
}  // namespace textio::win32_test
