// The Win32 backend opens plain files only: a name that opens a device or a
// pipe counts as failed, since a read from it could block the run or never
// end. Each name is first opened directly, to show that the system does open
// it here and that the backend's check is what refuses it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "textio/os_file.h"
#include "win32_handle.h"

namespace textio::win32_test {
namespace {

// A named pipe; each client takes an instance of its own, so one is made
// waiting for every open.
class PipeServer {
  public:
    PipeServer()
        : name_("\\\\.\\pipe\\searchfilter-test-" + std::to_string(::GetCurrentProcessId())) {}
    const std::string& name() const { return name_; }
    bool addInstance() {
        instances_.emplace_back(::CreateNamedPipeW(wide(name_).c_str(), PIPE_ACCESS_DUPLEX,
                                                   PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 4096,
                                                   4096, 0, nullptr));
        return instances_.back().valid();
    }

  private:
    std::string name_;
    std::vector<Win32Handle> instances_;
};

TEST(Win32Devices, DevicesAndPipesCountAsFailed) {
    PipeServer pipe;
    struct Case {
        const char* what;
        std::string name;
    };
    const Case cases[] = {
        {"NUL", "NUL"},
        {"NUL under a folder", "C:\\nul"},
        {"named pipe", pipe.name()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const bool update : {false, true}) {
            SCOPED_TRACE(update ? "update" : "reading");
            const DWORD access = update ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
            ASSERT_TRUE(pipe.addInstance());
            {
                const Win32Handle direct =
                    openOther(c.name, access, FILE_SHARE_READ | FILE_SHARE_WRITE);
                ASSERT_TRUE(direct.valid()) << "the system does not open " << c.name << " here";
                EXPECT_NE(::GetFileType(direct.get()), static_cast<DWORD>(FILE_TYPE_DISK));
            }
            ASSERT_TRUE(pipe.addInstance());
            BackendFile file;
            const OpenStatus result = update ? os::openForUpdate(c.name.c_str(), file.handle())
                                             : os::openForReading(c.name.c_str(), file.handle());
            EXPECT_EQ(result, OpenStatus::failed);
            EXPECT_EQ(file.handle(), os::kNoHandle);
        }
    }
}

}  // namespace
}  // namespace textio::win32_test
