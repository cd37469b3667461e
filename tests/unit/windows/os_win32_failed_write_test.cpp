// Writes the system refuses are reported. (A write that fails part-way is made by a full volume in
// the fault suite, which runs this backend under Wine too; Wine does not enforce another program's
// byte-range locks on writes, so a lock cannot make one here.)
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../temp_dir.h"
#include "textio/os_file.h"
#include "textio/text_file.h"
#include "win32_handle.h"

namespace textio::win32_test {
namespace {

class Win32FailedWriteTest : public TempDirTest {};

TEST_F(Win32FailedWriteTest, RefusedWriteIsReported) {
    const std::string name = writeBytes("list.txt", "0123456789");
    BackendFile file;
    ASSERT_EQ(os::openForReading(name.c_str(), file.handle()), OpenStatus::ok);
    EXPECT_FALSE(os::writeAll(file.handle(), "x", 1));
    // Through the text layer: the refused bytes make the flush fail.
    TextFile text;
    ASSERT_EQ(openRead(text, name.c_str()), OpenStatus::ok);
    std::string line;
    readLine(text, line);
    EXPECT_EQ(line, "0123456789");
    writeText(text, "lost");
    EXPECT_FALSE(flushFile(text));
    closeFile(text);
    file.close();
    EXPECT_EQ(readBytes(name), "0123456789");
}

}  // namespace
}  // namespace textio::win32_test
