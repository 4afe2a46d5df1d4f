#include "core/XCore.Strings.Utils.h"
#include "rtl/Format.h"
#include "core/XCore.Strings.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <string>

using Testing::U8;

namespace {

namespace fs = std::filesystem;


TEST(XStringsUtils, FormatSizeKBMBLetsTheLimitChooseTheUnit)
{
    const struct {
        Int64 LimitKB;
        double Bytes;
        const char16_t* Expected;
    } Cases[] = {
        { 1024, 512, u"0.50 KB" },
        { 1, 2048, u"0.00 MB" },
        { 1, 1023, u"1.00 KB" },
        { 1, 1024, u"0.00 MB" },
        { 1024, 1048576, u"1.00 MB" },
        { 0, 0, u"0.00 MB" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(FormatSizeKBMB(C.LimitKB, C.Bytes), C.Expected) << C.LimitKB << " " << C.Bytes;

    TFormatSettings Saved = FormatSettings;
    FormatSettings.DecimalSeparator = u',';
    String Got = FormatSizeKBMB(1024, 512);
    FormatSettings = Saved;
    EXPECT_EQ(Got, u"0,50 KB");
}

TEST(XStringsUtils, FormatTimeSpanShowsEveryHour)
{
    const struct {
        Int64 Seconds;
        const char16_t* Expected;
    } Cases[] = {
        { 3725, u"1 h 2 min" },
        { 100000, u"27 h 46 min" },
        { 86400, u"24 h 0 min" },
        { 3 * 86400 + 61, u"72 h 1 min" },
        { 3600, u"1 h 0 min" },
        { 3599, u"59 min 59 s" },
        { 59, u"0 min 59 s" },
        { 0, u"0 min 0 s" },
        { -5, u"0 min 0 s" },
        { 36000000000LL, u"10000000 h 0 min" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(U8(FormatTimeSpan(u"h", u"min", u"s", C.Seconds)), U8(C.Expected)) << C.Seconds;
}

TEST(XStringsUtils, TextToBool)
{
    const struct {
        const char16_t* Text;
        bool Expected;
    } Cases[] = {
        { u"", false },
        { u"true", true },
        { u"T", true },
        { u"False", false },
        { u"f1", false },
        { u"0", false },
        { u"12", true },
        { u"-1", true },
        { u"yes", false },
        { u"1x", false },
        { u"99999999999", true },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(TextToBool(C.Text), C.Expected) << U8(C.Text);
    EXPECT_EQ(SizeToText(640, -480), u"640x-480");
}

TEST(XStringsUtils, ShuffleRoundTrip)
{
    EXPECT_EQ(ShuffleText(u"abcdef"), u"acefdb");
    EXPECT_EQ(ShuffleText(u"abcde"), u"acedb");
    EXPECT_EQ(UnshuffleText(u"acefdb"), u"abcdef");
    EXPECT_EQ(ShuffleText(u""), u"");
    EXPECT_EQ(UnshuffleText(u"x"), u"x");
    String Text;
    for (int N = 0; N <= 40; ++N) {
        String Shuffled = ShuffleText(Text);
        EXPECT_EQ(Shuffled.size(), Text.size());
        EXPECT_EQ(UnshuffleText(Shuffled), Text) << N;
        Text += Char(u'A' + N);
    }
}

class StringFiles : public ::testing::Test {
protected:
    String Path(const char* Name) const { return S((Dir / Name).string()); }
    static std::string ReadAll(const fs::path& Name)
    {
        const Testing::Bytes B = Testing::ReadFileBytes(Name);
        return std::string(B.begin(), B.end());
    }
    size_t Entries() const { return size_t(std::distance(fs::directory_iterator(Dir), {})); }

    Testing::TTempFolder Folder { "strings" };
    const fs::path& Dir = Folder.Path();
};

TEST_F(StringFiles, SaveWritesAnsiAndLoadReadsItBack)
{
    String Text = u"caf\u00e9 \u20ac\r\n\u4e2d";
    SaveStringToFile(Path("t.txt"), Text);
    EXPECT_EQ(ReadAll(Dir / "t.txt"), "caf\xE9 \x80\r\n?");
    EXPECT_EQ(LoadStringFromFile(Path("t.txt")), u"caf\u00e9 \u20ac\r\n?");

    SaveStringToFile(Path("empty.txt"), u"");
    EXPECT_TRUE(fs::exists(Dir / "empty.txt"));
    EXPECT_EQ(LoadStringFromFile(Path("empty.txt")), u"");
}

TEST_F(StringFiles, SaveReplacesTheFileWithoutTouchingTheOldContent)
{
    // A second link to the old file sees whether it was truncated in place.
    SaveStringToFile(Path("a.txt"), u"old");
    fs::create_hard_link(Dir / "a.txt", Dir / "keep.txt");
    SaveStringToFile(Path("a.txt"), u"new");
    EXPECT_EQ(ReadAll(Dir / "a.txt"), "new");
    EXPECT_EQ(ReadAll(Dir / "keep.txt"), "old");

    xStr::SaveToFileA(Path("a.txt"), { "\xC3\xA9", CP_UTF8 });
    EXPECT_EQ(ReadAll(Dir / "a.txt"), "\xC3\xA9");
    EXPECT_EQ(Entries(), 2u) << "temporary file left behind";
}

TEST_F(StringFiles, FailuresRaiseOnSaveAndGiveEmptyOnLoad)
{
    EXPECT_THROW(SaveStringToFile(Path("missing/a.txt"), u"x"), EFCreateError);
    EXPECT_THROW(SaveStringToFile(u"", u"x"), EFCreateError);
    fs::create_directory(Dir / "sub");
    EXPECT_THROW(xStr::SaveToFileA(Path("sub"), { "x" }), EFCreateError);
    EXPECT_TRUE(fs::is_directory(Dir / "sub"));
    EXPECT_EQ(Entries(), 1u) << "temporary file left behind";

    EXPECT_EQ(LoadStringFromFile(Path("none.txt")), u"");
    EXPECT_EQ(LoadStringFromFile(Path("sub")), u"");
    EXPECT_EQ(LoadStringFromFile(u""), u"");
}

}
