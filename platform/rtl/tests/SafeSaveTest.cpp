#include "rtl/SafeSave.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <cerrno>
#include <unistd.h>

namespace {
Testing::Bytes Bytes(const std::string& Text)
{
    return Testing::Bytes(Text.begin(), Text.end());
}
}

// A save replaces the file through a new inode; a reader holding the old
// file keeps the old bytes, and a failed save leaves the old file alone.
TEST(SafeSave, ReplacesWithoutTouchingTheOldFile)
{
    Testing::TTempFolder Dir;
    const String Name = Dir.File("data.bin");
    SaveBytesToFileSafely(Name, "old");
    ASSERT_EQ(::link(StringToUTF8(Name).c_str(), (Dir / "old-link").c_str()), 0);
    SaveBytesToFileSafely(Name, "new content");
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "data.bin"), Bytes("new content"));
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "old-link"), Bytes("old"));

    try {
        SaveBytesToFileSafely(Dir.File("missing-dir/x.bin"), "x");
        ADD_FAILURE() << "save into a missing folder succeeded";
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.ErrorCode, ENOENT);
    }
}
