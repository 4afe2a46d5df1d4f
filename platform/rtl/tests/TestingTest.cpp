#include "rtl/Exceptions.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <fstream>

using namespace Testing;
namespace fs = std::filesystem;

TEST(TestingHelpers, ToolsGetTheirExactArgumentsAndNoShell)
{
    TTempFolder Dir;
    const TToolResult R = RunTool({ "printf", "[%s]", "a b", "$(touch x)", "-n", "'q'" }, Dir.Path());
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Output, "[a b][$(touch x)][-n]['q']");
    EXPECT_FALSE(fs::exists(Dir / "x"));
    EXPECT_EQ(RunTool({ "sh", "-c", "exit 3" }).ExitCode, 3);
    EXPECT_EQ(RunTool({ "cat" }, {}, "input").Output, "input");
    EXPECT_EQ(RunTool({ "pwd" }, Dir.Path()).Output, Dir.Path().string() + "\n");
    EXPECT_EQ(RunTool({ "no-such-tool-here" }).ExitCode, 127);
    EXPECT_TRUE(HaveTool("sh"));
    EXPECT_FALSE(HaveTool("no-such-tool-here"));
}

TEST(TestingHelpers, ToolsInSbinAreFoundWithoutItOnThePath)
{
    const std::string Saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", "/usr/bin:/bin", 1);
    const std::string Mkfs = FindTool("mkfs.fat");
    const TToolResult Sh = RunTool({ "sh", "-c", "exit 4" });
    ::setenv("PATH", Saved.c_str(), 1);
    EXPECT_EQ(Sh.ExitCode, 4);
    if (fs::exists("/usr/sbin/mkfs.fat"))
        EXPECT_EQ(Mkfs, "/usr/sbin/mkfs.fat");
    EXPECT_EQ(FindTool("/bin/sh"), "/bin/sh");
    EXPECT_EQ(FindTool("no-such-tool-here"), "");
}

TEST(TestingHelpers, TempFolderGoesWithoutFollowingLinks)
{
    TTempFolder Outside;
    WriteFileBytes(Outside / "keep", { 1, 2, 3 });
    fs::path Inner;
    {
        TTempFolder Dir;
        Inner = Dir.Path();
        fs::create_directory_symlink(Outside.Path(), Dir / "link");
        WriteFileBytes(Dir / "file", { 4 });
    }
    EXPECT_FALSE(fs::exists(Inner));
    EXPECT_EQ(ReadFileBytes(Outside / "keep"), (Bytes { 1, 2, 3 }));
}

TEST(TestingHelpers, RaisedCodeReadsTheCodeFromTheMessage)
{
    EXPECT_EQ(RaisedCode([] {}), 0);
    EXPECT_EQ(RaisedCode([] { throw Exception(u"44"); }), 44);
    EXPECT_EQ(RaisedCode([] { throw Exception(u"not a code"); }), -1);
    EXPECT_EQ(RaisedCode([] { throw 1; }), -1);
}
