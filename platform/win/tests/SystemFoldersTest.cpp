#include "win/SystemFolders.h"
#include "rtl/testing/Testing.h"
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;

namespace {

// A home of the test's own, with the XDG variables cleared.
class SystemFolders : public testing::Test {
protected:
    String Folder(Integer Csidl, bool Create = true)
    {
        String Path;
        SHGetSpecialFolderPath(Csidl, Path, Create);
        return Path;
    }
    String InHome(const std::string& Rest) { return UTF8ToString(Home.Path().string() + "/" + Rest); }
    void WriteUserDirs(const std::string& Text)
    {
        fs::create_directories(Home / ".config");
        const std::string Bytes = Text;
        Testing::WriteFileBytes(Home / ".config/user-dirs.dirs", Testing::Bytes(Bytes.begin(), Bytes.end()));
    }

    TTempFolder Home;
    TScopedEnv HomeVar { "HOME", Home.Path().string() };
    TScopedEnv Config { "XDG_CONFIG_HOME", std::nullopt };
    TScopedEnv Data { "XDG_DATA_HOME", std::nullopt };
    TScopedEnv Tmp { "TMPDIR", std::nullopt };
};

}

TEST_F(SystemFolders, WithoutUserDirsTheUsualNamesAreMade)
{
    EXPECT_EQ(Folder(CSIDL_DESKTOP), InHome("Desktop/"));
    EXPECT_EQ(Folder(CSIDL_PERSONAL), InHome("Documents/"));
    EXPECT_EQ(Folder(CSIDL_MYMUSIC), InHome("Music/"));
    EXPECT_EQ(Folder(CSIDL_MYPICTURES), InHome("Pictures/"));
    EXPECT_TRUE(fs::is_directory(Home / "Pictures"));
    EXPECT_EQ(GetAppDataDirectory(), InHome(".local/share/"));
    EXPECT_EQ(GetConfigDirectory(), InHome(".config/"));
    EXPECT_EQ(GetHomeDirectory(), InHome(""));
    EXPECT_EQ(GetTempPath(), u"/tmp/");

    // Not made: the lookup fails.
    fs::remove(Home / "Desktop");
    String Path = u"x";
    EXPECT_FALSE(SHGetSpecialFolderPath(CSIDL_DESKTOP, Path, false));
    EXPECT_EQ(Path, u"");
    EXPECT_FALSE(SHGetSpecialFolderPath(0x7777, Path, true));
}

TEST_F(SystemFolders, UserDirsGiveAbsoluteAndHomeValuesOnly)
{
    TTempFolder Elsewhere;
    WriteUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_DOCUMENTS_DIR=\"" +
        Elsewhere.Path().string() +
        "/Docs\"\n"
        "XDG_MUSIC_DIR=\"$OTHER/Music\"\n"
        "XDG_PICTURES_DIR=\"relative/Pics\"\n");
    EXPECT_EQ(Folder(CSIDL_DESKTOP), InHome("Schreibtisch/"));
    EXPECT_EQ(Folder(CSIDL_PERSONAL), UTF8ToString(Elsewhere.Path().string() + "/Docs/"));
    EXPECT_TRUE(fs::is_directory(Elsewhere / "Docs"));
    EXPECT_EQ(Folder(CSIDL_MYMUSIC), InHome("Music/"));
    EXPECT_EQ(Folder(CSIDL_MYPICTURES), InHome("Pictures/"));

    // XDG_CONFIG_HOME moves the file; relative XDG values are ignored.
    TTempFolder Config;
    TScopedEnv ConfigVar("XDG_CONFIG_HOME", Config.Path().string());
    TScopedEnv DataVar("XDG_DATA_HOME", "relative/data");
    TScopedEnv TmpVar("TMPDIR", Config.Path().string());
    EXPECT_EQ(Folder(CSIDL_DESKTOP), InHome("Desktop/"));
    EXPECT_EQ(GetAppDataDirectory(), InHome(".local/share/"));
    EXPECT_EQ(GetTempPath(), UTF8ToString(Config.Path().string() + "/"));
}

TEST_F(SystemFolders, FixedFoldersAndNames)
{
    for (const String& F : { GetWindowsDirectory(), GetSystemDirectory(), GetProgramFilesDirectory() }) {
        ASSERT_FALSE(F.empty());
        EXPECT_EQ(F.front(), u'/');
        EXPECT_EQ(F.back(), u'/');
    }
    EXPECT_FALSE(GetComputerName().empty());
    EXPECT_EQ(GetComputerName().find(u'/'), String::npos);
    EXPECT_FALSE(GetUserName().empty());
}
