#include "core/XCore.IO.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include "win/Time.h"
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using Testing::TTempFolder;

namespace {

// An expander of the test's own: "<tst>" is a folder with capitals and a
// backslash in its name, which no case or delimiter rule may touch.
class TTestExpander : public TObject {
public:
    Integer Calls = 0;
    String Expand(const String& S)
    {
        ++Calls;
        return StringReplace(S, u"<tst>", u"/Mixed/Case\\Dir/", { rfReplaceAll });
    }
    TXPathExpander Method() { return TXPathExpander::Of<&TTestExpander::Expand>(this); }
};

class PathMacros : public testing::Test {
protected:
    void SetUp() override { RegisterPathExpander(Expander.Method()); }
    void TearDown() override { UnregisterPathExpander(Expander.Method()); }

    TManualClock Clock { EncodeDateTime(2024, 6, 30, 18, 0, 0, 0) };
    TTestExpander Expander;
    TTempFolder Temp;
};

std::vector<String> Sorted(TStrings* List)
{
    std::vector<String> Out;
    for (Integer I = 0; I < List->Count(); ++I)
        Out.push_back(List->Strings(I));
    std::sort(Out.begin(), Out.end());
    return Out;
}

}

TEST_F(PathMacros, ExpandsBuiltInsAfterTheExpanders)
{
    const String Existing = Temp.File("there");
    fs::create_directory(Temp / "there");
    const String Today = IntToStr(Integer(EncodeDate(2024, 6, 30)));
    struct {
        String Text;
        String Expected;
    } Cases[] = {
        { u"<low>ABC", u"abc" },
        { u"Name<up>x", u"NAMEX" },
        { u"Key: <reg> a/b c ", u"Key: a_b c" },
        { u"no macro C:\\x\\y", u"no macro C:/x/y" },
        { u"<tst>A\\B<low>", u"/Mixed/Case\\Dir/a/b" },
        { u"<up><tst>file", u"/Mixed/Case\\Dir/FILE" },
        { u"<tst><now>.jpg", u"/Mixed/Case\\Dir/" + Today + u".7500.jpg" },
        { u"<reg>..", u"__" },
        { u"<reg> . ", u"_" },
        { u"first\r\nKey: <reg> x\\y\nlast", u"first\r\nKey: x_y\r\nlast" },
        { u"  <short>" + Existing + u"  ", Existing },
        { u"<short>" + Existing + u"-missing", u"" },
        { u"<unknown> stays", u"<unknown> stays" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(StringToUTF8(ExpandPathMacros(C.Text)), StringToUTF8(C.Expected)) << StringToUTF8(C.Text);
}

TEST_F(PathMacros, AnExpanderIsListedOnceAndRunsInRegistrationOrder)
{
    const Integer First = RegisterPathExpander(Expander.Method());
    EXPECT_EQ(RegisterPathExpander(Expander.Method()), First);
    TTestExpander Second;
    // The second sees the first one's result, so it finds no "<tst>".
    RegisterPathExpander(Second.Method());
    ExpandPathMacros(u"<tst>");
    EXPECT_EQ(Expander.Calls, 1);
    EXPECT_EQ(Second.Calls, 1);
    UnregisterPathExpander(Second.Method());
    ExpandPathMacros(u"x");
    EXPECT_EQ(Second.Calls, 1);
}

TEST_F(PathMacros, UniqueNamesNumberBeforeTheExtension)
{
    Testing::WriteFileBytes(Temp / "a.txt", {});
    Testing::WriteFileBytes(Temp / "a1.txt", {});
    Testing::WriteFileBytes(Temp / "x", {});
    EXPECT_EQ(UniqueFileName(Temp.File("a.txt")), Temp.File("a2.txt"));
    EXPECT_EQ(UniqueFileName(Temp.File("x")), Temp.File("x1"));
    EXPECT_EQ(UniqueFileName(Temp.File("free.txt")), Temp.File("free.txt"));
    // The folder is forced.
    EXPECT_EQ(UniqueFileName(Temp.File("new/b.txt")), Temp.File("new/b.txt"));
    EXPECT_TRUE(fs::is_directory(Temp / "new"));

    Testing::WriteFileBytes(Temp / "New", {});
    EXPECT_EQ(CreateUniqueFolder(Temp.File(""), u"New"), Temp.File("New1"));
    EXPECT_TRUE(fs::is_directory(Temp / "New1"));
    EXPECT_EQ(CreateUniqueFolder(Temp.File("x"), u"Sub"), u""); // below a file
}

TEST_F(PathMacros, DeletesAnswerAtOnceForMissingNamesAndRetryOnFailure)
{
    const UInt64 Start = TimeSource().TickCount();
    EXPECT_TRUE(DeleteFileRetry(Temp.File("missing")));
    EXPECT_TRUE(RemoveFolder(Temp.File("missing"), true));
    EXPECT_TRUE(DeleteFileForced(Temp.File("missing")));
    EXPECT_EQ(TimeSource().TickCount(), Start);

    // A folder cannot be deleted as a file: 101 attempts, 100 ms apart.
    fs::create_directory(Temp / "dir");
    EXPECT_FALSE(DeleteFileRetry(Temp.File("dir")));
    EXPECT_EQ(TimeSource().TickCount() - Start, 101u * 100u);
    EXPECT_FALSE(DeleteFileForced(Temp.File("dir")));

    Testing::WriteFileBytes(Temp / "f", { 1 });
    EXPECT_TRUE(DeleteFileForced(Temp.File("f")));
    EXPECT_FALSE(fs::exists(Temp / "f"));
}

TEST_F(PathMacros, RemovingAFolderNeverFollowsALink)
{
    TTempFolder Outside;
    Testing::WriteFileBytes(Outside / "keep.txt", { 7 });
    fs::create_directories(Temp / "gone/deep/er");
    Testing::WriteFileBytes(Temp / "gone/deep/er/file", { 1 });
    fs::create_directory_symlink(Outside.Path(), Temp / "gone/deep/outside");

    const UInt64 Start = TimeSource().TickCount();
    EXPECT_TRUE(RemoveFolder(Temp.File("gone"), true));
    EXPECT_EQ(TimeSource().TickCount() - Start, 100u);
    EXPECT_FALSE(fs::exists(Temp / "gone"));
    EXPECT_EQ(Testing::ReadFileBytes(Outside / "keep.txt"), Testing::Bytes { 7 });

    // Not recursive: a folder with contents stays; a file is no folder.
    fs::create_directories(Temp / "full/sub");
    EXPECT_FALSE(RemoveFolder(Temp.File("full"), false));
    EXPECT_TRUE(RemoveFolder(Temp.File("full/sub"), false));
    Testing::WriteFileBytes(Temp / "file", { 1 });
    EXPECT_FALSE(RemoveFolder(Temp.File("file"), true));
    EXPECT_TRUE(fs::exists(Temp / "file"));
}

TEST_F(PathMacros, WritableProbeIsOursAlone)
{
    EXPECT_TRUE(IsFolderWritable(Temp.File("made/here")));
    EXPECT_TRUE(fs::is_directory(Temp / "made/here"));
    EXPECT_TRUE(fs::is_empty(Temp / "made/here"));

    // Someone else's tmp.tmp is left alone; the probe takes another name.
    Testing::WriteFileBytes(Temp / "made/tmp.tmp", { 9 });
    EXPECT_TRUE(IsFolderWritable(Temp.File("made")));
    EXPECT_EQ(Testing::ReadFileBytes(Temp / "made/tmp.tmp"), Testing::Bytes { 9 });
    EXPECT_FALSE(fs::exists(Temp / "made/tmp1.tmp"));

    Testing::WriteFileBytes(Temp / "plain", { 1 });
    EXPECT_FALSE(IsFolderWritable(Temp.File("plain/below")));
    EXPECT_FALSE(IsFolderWritable(Temp.File("plain")));
}

TEST_F(PathMacros, ListingsTakeFilesByMaskAndSkipLinkedFolders)
{
    fs::create_directories(Temp / "top/sub/deeper");
    Testing::WriteFileBytes(Temp / "top/A.JPG", {});
    Testing::WriteFileBytes(Temp / "top/noext", {});
    Testing::WriteFileBytes(Temp / "top/sub/b.jpg", {});
    Testing::WriteFileBytes(Temp / "top/sub/deeper/c.Jpg", {});
    Testing::WriteFileBytes(Temp / "top/sub/deeper/d.png", {});
    // A loop back to the top and a link to a file.
    fs::create_directory_symlink(Temp / "top", Temp / "top/sub/deeper/loop");
    fs::create_symlink(Temp / "top/A.JPG", Temp / "top/sub/linked.jpg");
    ASSERT_EQ(::mkfifo((Temp / "top/pipe.jpg").c_str(), 0600), 0);

    TOwnedPtr<TStringList> List(New<TStringList>());
    List->Add(u"old");
    ListFiles(Temp.File("top"), u"*.jpg", List.get(), true);
    const std::vector<String> Expected = { Temp.File("top/A.JPG"), Temp.File("top/sub/b.jpg"),
        Temp.File("top/sub/deeper/c.Jpg"), Temp.File("top/sub/linked.jpg") };
    EXPECT_EQ(Sorted(List.get()), Expected);

    ListFiles(Temp.File("top"), u"*.*", List.get(), false);
    EXPECT_EQ(Sorted(List.get()), (std::vector<String> { Temp.File("top/A.JPG"), Temp.File("top/noext") }));
    ListFiles(Temp.File("top/"), u"?.jp?", List.get(), false);
    EXPECT_EQ(List->Count(), 1);
    ListFiles(Temp.File("nowhere"), u"*", List.get(), true);
    EXPECT_EQ(List->Count(), 0);

    // The caller's own folder may be a link.
    fs::create_directory_symlink(Temp / "top/sub", Temp / "via-link");
    ListFiles(Temp.File("via-link"), u"*.jpg", List.get(), false);
    EXPECT_EQ(Sorted(List.get()),
        (std::vector<String> { Temp.File("via-link/b.jpg"), Temp.File("via-link/linked.jpg") }));

    ListSubFolders(Temp.File("top/sub/deeper"), List.get());
    EXPECT_EQ(List->Count(), 0);
    ListSubFolders(Temp.File("top"), List.get());
    EXPECT_EQ(Sorted(List.get()), std::vector<String> { u"sub/" });
}

TEST(FileNames, RoutinesOnNames)
{
    EXPECT_TRUE(IsSameFileName(u"/a/B", u"/a/B"));
    EXPECT_FALSE(IsSameFileName(u"/a/B", u"/a/b"));
    EXPECT_EQ(IncludePathDelimiter(u"/a"), u"/a/");
    EXPECT_EQ(FilePathOf(u"/a/b.txt"), u"/a/");
    EXPECT_EQ(MakeDialogFilter(u"Pictures", u"*.jpg"), u"Pictures (*.jpg)|*.jpg");
    EXPECT_EQ(MakeDialogFilterOf(u"Pictures", { u"*.jpg", u"*.png" }), u"Pictures (*.jpg;*.png)|*.jpg;*.png");
    EXPECT_TRUE(MatchesFileMask(u"IMG_0001.JPG", u"img_*.jpg"));
    EXPECT_FALSE(MatchesFileMask(u"IMG_0001.JPEG", u"*.jpg"));
    EXPECT_TRUE(MatchesFileMask(u"abc", u"a*c*"));
}
