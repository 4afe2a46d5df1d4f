#include "win/ShellExecute.h"
#include "rtl/testing/Testing.h"
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;

namespace {

using TArgs = Testing::TRecorder::TArgs;

class StartingPrograms : public testing::Test {
protected:
    TTempFolder Bin;
    TTempFolder Work;
    fs::path Record = Work / "record";
    Testing::TRecorder Opener { Bin / "xdg-open", Record };
    TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
};

}

TEST(CommandLines, SplitByTheWindowsRules)
{
    struct {
        const char16_t* Line;
        std::vector<String> Args;
    } Cases[] = {
        { u"", {} },
        { u"  a  b\tc ", { u"a", u"b", u"c" } },
        { u"\"two words\" x", { u"two words", u"x" } },
        { u"a\\\\b \\\"q \"\" \"x\"\"y\"", { u"a\\\\b", u"\"q", u"", u"x\"y" } },
        { u"\"c:\\dir\\\\\" next", { u"c:\\dir\\", u"next" } },
        { u"ab\"c d\"e", { u"abc de" } },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(CommandLineToArgv(C.Line), C.Args) << StringToUTF8(C.Line);
}

TEST_F(StartingPrograms, DocumentNamesReachXdgOpenAsOneArgument)
{
    const std::string Cwd = fs::current_path().string();
    const std::vector<std::string> Names = { "with blank.jpg", "quote\"d 'x'.png", "semi;colon", "$(touch x)", "-n",
        "--help" };
    for (const std::string& Name : Names)
        EXPECT_GT(ShellExecute(nullptr, u"open", UTF8ToString(Name), u"ignored", Work.File(""), SW_SHOWNORMAL), 32);
    // Absolute names and links stay as they are; a picture marked
    // executable (as on a FAT mount) is opened, not run.
    EXPECT_GT(ShellExecute(nullptr, u"", Work.File("doc x.pdf"), u"", u"", SW_SHOWNORMAL), 32);
    Testing::WriteFileBytes(Work / "photo.jpg", { 0xFF, 0xD8, 0xFF, 0xE0 });
    fs::permissions(Work / "photo.jpg", fs::perms::owner_all);
    EXPECT_GT(ShellExecute(nullptr, u"open", Work.File("photo.jpg"), u"", u"", SW_SHOWNORMAL), 32);
    EXPECT_GT(ShellExecute(nullptr, u"explore", u"https://example.com/a b?q=$(touch x)", u"", u"", 1), 32);
    EXPECT_GT(ShellExecute(nullptr, u"open", u"mailto:ann@example.com", u"", u"", 1), 32);
    WaitForStartedPrograms();

    std::vector<TArgs> Expected;
    for (const std::string& Name : Names)
        Expected.push_back({ Cwd + "/" + Name });
    Expected.push_back({ (Work / "doc x.pdf").string() });
    Expected.push_back({ (Work / "photo.jpg").string() });
    Expected.push_back({ "https://example.com/a b?q=$(touch x)" });
    Expected.push_back({ "mailto:ann@example.com" });
    auto Runs = Opener.Runs();
    std::sort(Runs.begin(), Runs.end());
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Runs, Expected);
    EXPECT_FALSE(fs::exists(Work / "x"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "x"));
    EXPECT_EQ(Testing::ZombieChildren(), 0);
}

TEST_F(StartingPrograms, AProgramGetsItsExactVectorAndNoneOfOurDescriptors)
{
    // A descriptor without close-on-exec, at a number the program checks.
    const int Fd = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(::dup2(Fd, 50), 0);
    ::close(Fd);
    const fs::path Program = Work / "my program";
    Testing::TRecorder Recorder(Program, Record,
        "if [ -e /proc/$$/fd/50 ]; then printf 'leaked\\0' >> '" + Record.string() +
            "'; fi\n"
            "pwd > '" +
            (Work / "cwd").string() + "'\n");
    TTempFolder Elsewhere;

    EXPECT_GT(ShellExecute(nullptr, u"open", UTF8ToString("\"" + Program.string() + "\""),
                  u"/a \"two words\" back\\slash \"say \\\"hi\\\"\" $(touch x) ;", Elsewhere.File(""), 1),
        32);
    WaitForStartedPrograms();
    ::close(50);
    EXPECT_EQ(Recorder.Runs(),
        (std::vector<TArgs> { { "/a", "two words", "back\\slash", "say \"hi\"", "$(touch", "x)", ";" } }));
    EXPECT_FALSE(fs::exists(Elsewhere / "x"));
    const auto Cwd = Testing::ReadFileBytes(Work / "cwd");
    EXPECT_EQ(std::string(Cwd.begin(), Cwd.end()), Elsewhere.Path().string() + "\n");
    EXPECT_EQ(Testing::ZombieChildren(), 0);
}

TEST_F(StartingPrograms, OtherVerbsAndMissingOpenersFail)
{
    EXPECT_EQ(ShellExecute(nullptr, u"print", Work.File("a.txt"), u"", u"", 1), SE_ERR_NOASSOC);
    EXPECT_EQ(ShellExecute(nullptr, u"install", Work.File("a.inf"), u"", u"", 1), SE_ERR_NOASSOC);
    EXPECT_LE(ShellExecute(nullptr, u"open", u"", u"", u"", 1), 32);
    {
        TScopedEnv NoOpener("PATH", Work.Path().string());
        EXPECT_LE(ShellExecute(nullptr, u"open", Work.File("a.txt"), u"", u"", 1), 32);
    }
    WaitForStartedPrograms();
    EXPECT_FALSE(fs::exists(Record));
}
