#include "core/XCore.IO.h"
#include "core/XCore.System.h"
#include "rtl/testing/Testing.h"
#include "vcl/ImgList.h"
#include "win/ShellExecute.h"
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Testing::TScopedEnv;
using Testing::TTempFolder;
using TArgs = Testing::TRecorder::TArgs;

namespace {

class SystemObject : public testing::Test {
protected:
    String InHome(const std::string& Rest) { return UTF8ToString(Home.Path().string() + "/" + Rest); }

    TTempFolder Home;
    TScopedEnv HomeVar { "HOME", Home.Path().string() };
    TTempFolder Bin;
    fs::path Record = Bin / "record";
    Testing::TRecorder Opener { Bin / "xdg-open", Record };
    TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
};

}

TEST_F(SystemObject, FoldersAreFoundOnceAndExpandAsMacros)
{
    fs::create_directories(Home / ".config");
    const std::string Dirs = "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    Testing::WriteFileBytes(Home / ".config/user-dirs.dirs", Testing::Bytes(Dirs.begin(), Dirs.end()));
    TOwnedPtr<TXQVSystem> Sys(New<TXQVSystem>());

    EXPECT_EQ(Sys->Folder(TXQVSystem::sfHome), InHome(""));
    EXPECT_EQ(Sys->Folder(TXQVSystem::sfUserPrograms), InHome("Programs/"));
    EXPECT_EQ(Sys->Folder(TXQVSystem::sfDocuments), InHome("Documents/"));
    EXPECT_EQ(Sys->Folder(TXQVSystem::sfPictures), InHome("Bilder/"));
    EXPECT_EQ(Sys->Folder(TXQVSystem::sfAppData), InHome(".local/share/"));
    EXPECT_TRUE(fs::is_directory(Home / "Bilder"));
    for (Integer I = 0; I < TXQVSystem::sfCount; ++I) {
        const String& F = Sys->Folder(TXQVSystem::TFolder(I));
        ASSERT_FALSE(F.empty()) << I;
        if (I == TXQVSystem::sfComputerName || I == TXQVSystem::sfUserName)
            EXPECT_NE(F.back(), u'/');
        else
            EXPECT_EQ(F.back(), u'/');
    }

    EXPECT_EQ(Sys->ExpandMacros(u"<mypictures>x <mypictures>"), InHome("Bilder/x ") + InHome("Bilder/"));
    EXPECT_EQ(Sys->ExpandMacros(u"<MyPictures>"), u"<MyPictures>");
    // The process's own object expands through the macro registry.
    EXPECT_EQ(ExpandPathMacros(u"<home>Recovered\\<user>"),
        QVSystem()->Folder(TXQVSystem::sfHome) + u"Recovered/" + QVSystem()->Folder(TXQVSystem::sfUserName));

    // Freed, it has left the registry (a sanitizer build would see a call
    // into the freed object).
    Sys.reset();
    EXPECT_EQ(ExpandPathMacros(u"<mypictures>"), QVSystem()->Folder(TXQVSystem::sfPictures));
}

TEST_F(SystemObject, OpensFilesLinksAndMailThroughTheShell)
{
    TXQVSystem* Sys = QVSystem();
    EXPECT_TRUE(Sys->ShellOpen(u"https://example.com/"));
    EXPECT_TRUE(Sys->MailTo(u"ann@example.com"));
    EXPECT_TRUE(Sys->MailTo(u"mailto:bob@example.com"));
    EXPECT_TRUE(Sys->MailTo(u"MAILTO:eve@example.com"));
    // Not at the start: the prefix still goes before it.
    EXPECT_TRUE(Sys->MailTo(u"x?subject=mailto:"));
    EXPECT_FALSE(Sys->ShellExecute(xsvPrint, u"/etc/hostname", {}, {}));
    EXPECT_FALSE(Sys->ShellExecute(xsvInstall, u"/etc/hostname", {}, {}));
    EXPECT_FALSE(Sys->ShellExecute(7, u"/etc/hostname", {}, {}));
    EXPECT_TRUE(Sys->ShellExecute(xsvExplore, u"/etc", {}, {}));
    WaitForStartedPrograms();
    auto Runs = Opener.Runs();
    std::sort(Runs.begin(), Runs.end());
    std::vector<TArgs> Expected = { { "https://example.com/" }, { "mailto:ann@example.com" },
        { "mailto:bob@example.com" }, { "MAILTO:eve@example.com" }, { "mailto:x?subject=mailto:" }, { "/etc" } };
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Runs, Expected);
}

TEST(SystemImages, SharedListsExistEmpty)
{
    for (TCustomImageList* List : { SystemImagesLarge(), SystemImagesSmall() }) {
        ASSERT_NE(List, nullptr);
        EXPECT_TRUE(List->ShareImages());
        EXPECT_EQ(List->ColorDepth(), cd32Bit);
        EXPECT_EQ(List->Count(), 0);
    }
    EXPECT_EQ(SystemImagesLarge()->Width(), 32);
    EXPECT_EQ(SystemImagesSmall()->Width(), 16);
    EXPECT_EQ(GetSpecialFolderPath(0x7777), u"");
}
