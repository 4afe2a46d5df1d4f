#include "rtl/SafeSave.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {
Testing::Bytes BytesOf(const std::string& Text)
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
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "data.bin"), BytesOf("new content"));
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "old-link"), BytesOf("old"));

    try {
        SaveBytesToFileSafely(Dir.File("missing-dir/x.bin"), "x");
        ADD_FAILURE() << "save into a missing folder succeeded";
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.ErrorCode, ENOENT);
    }
}

// A file written in steps replaces its target only on Commit; freed before,
// it leaves the target and no temporary file behind.
TEST(SafeSave, ReplacementFileStreamTakesThePlaceOnlyWhenCommitted)
{
    Testing::TTempFolder Dir;
    const std::string Target = (Dir / "data.bin").string();
    String Name = UTF8ToString(Target);
    SaveBytesToFileSafely(Name, "old");
    ASSERT_EQ(::chmod(Target.c_str(), 0640), 0);
    const std::string Link = (Dir / "link.bin").string();
    ASSERT_EQ(::symlink(Target.c_str(), Link.c_str()), 0);
    auto Entries = [&] {
        std::vector<std::string> Names;
        for (const auto& E : std::filesystem::directory_iterator(Dir.Path()))
            Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    };
    auto Content = [](const std::string& Path) {
        const Testing::Bytes B = Testing::ReadFileBytes(Path);
        return std::string(B.begin(), B.end());
    };
    const std::vector<std::string> Before = { "data.bin", "link.bin" };

    {
        auto File = MakeOwned<TReplacementFileStream>(UTF8ToString(Link));
        File->WriteBuffer("new ", 4);
        File->WriteBuffer("content", 7);
        EXPECT_EQ(Content(Target), "old");
    }
    EXPECT_EQ(Content(Target), "old");
    EXPECT_EQ(Entries(), Before);

    auto File = MakeOwned<TReplacementFileStream>(UTF8ToString(Link));
    File->WriteBuffer("new content", 11);
    File->SetPosition(4);
    char Back[7] {};
    File->ReadBuffer(Back, 7);
    EXPECT_EQ(std::string(Back, 7), "content");
    File->Commit();
    EXPECT_TRUE(File->Committed());
    File.reset();
    EXPECT_EQ(Content(Target), "new content");
    EXPECT_EQ(Entries(), Before);
    EXPECT_TRUE(std::filesystem::is_symlink(Link));
    struct stat St { };
    ASSERT_EQ(::stat(Target.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 0777, 0640u);

    // A memory stream's save goes the same way.
    auto M = MakeOwned<TMemoryStream>();
    M->WriteBuffer("memory", 6);
    M->SaveToFile(Name);
    EXPECT_EQ(Content(Target), "memory");
    EXPECT_THROW(M->SaveToFile(Dir.File("missing/x.bin")), EFCreateError);
    EXPECT_EQ(Entries(), Before);
}

// CommitNew never replaces: a taken name answers false and keeps the file
// for the next name; a failure other than a taken name raises and leaves
// no temporary file.
TEST(SafeSave, CommitNewTakesOnlyAFreeName)
{
    Testing::TTempFolder Dir;
    SaveBytesToFileSafely(Dir.File("taken.bin"), "old");
    auto Names = [&] {
        std::vector<std::string> Out;
        for (const auto& E : std::filesystem::directory_iterator(Dir.Path()))
            Out.push_back(E.path().filename().string());
        std::sort(Out.begin(), Out.end());
        return Out;
    };
    auto File = MakeOwned<TReplacementFileStream>(Dir.File("taken.bin"));
    File->WriteBuffer("new", 3);
    EXPECT_FALSE(File->CommitNew(Dir.File("taken.bin")));
    EXPECT_FALSE(File->Committed());
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "taken.bin"), BytesOf("old"));
    EXPECT_TRUE(File->CommitNew(Dir.File("free.bin")));
    EXPECT_TRUE(File->Committed());
    EXPECT_FALSE(File->CommitNew(Dir.File("other.bin"))) << "committed twice";
    EXPECT_EQ(Testing::ReadFileBytes(Dir / "free.bin"), BytesOf("new"));
    EXPECT_EQ(Names(), (std::vector<std::string> { "free.bin", "taken.bin" }));

    auto Lost = MakeOwned<TReplacementFileStream>(Dir.File("lost.bin"));
    try {
        Lost->CommitNew(Dir.File("missing-dir/lost.bin"));
        ADD_FAILURE() << "committed into a missing folder";
    } catch (const EFCreateError& E) {
        EXPECT_EQ(E.ErrorCode, ENOENT);
    }
    EXPECT_EQ(Names(), (std::vector<std::string> { "free.bin", "taken.bin" }));
}
