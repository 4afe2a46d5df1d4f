#include "rtl/StrUtils.h"
#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <limits>

TEST(StrUtils, PositionsAreOneBased)
{
    struct TCase {
        const char16_t* Sub;
        const char16_t* Text;
        Integer Offset;
        Integer Expected;
    };
    const TCase Cases[] = {
        { u"b", u"abcb", 1, 2 },
        { u"b", u"abcb", 3, 4 },
        { u"b", u"abcb", 4, 4 },
        { u"b", u"abcb", 5, 0 },
        { u"aab", u"aaab", 1, 2 }, // search goes on after a partial match
        { u"x", u"abc", 1, 0 },
        { u"", u"abc", 1, 0 },
        { u"a", u"", 1, 0 },
        { u"a", u"abc", 0, 0 },
        { u"a", u"abc", -5, 0 },
        { u"abcd", u"abc", 1, 0 },
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(PosEx(C.Sub, C.Text, C.Offset), C.Expected) << StringToUTF8(C.Sub) << " in " << StringToUTF8(C.Text);
        if (C.Offset == 1) {
            EXPECT_EQ(Pos(C.Sub, C.Text), C.Expected);
        }
    }
}

TEST(StrUtils, CopyClampsLikeTheClassLibrary)
{
    struct TCase {
        Integer Index, Count;
        const char16_t* Expected;
    };
    const TCase Cases[] = {
        { 1, 3, u"abc" },
        { 2, 2, u"bc" },
        { 0, 2, u"ab" },
        { -10, 2, u"ab" },
        { 4, 10, u"def" },
        { 6, 1, u"f" },
        { 7, 1, u"" },
        { 3, 0, u"" },
        { 3, -1, u"" },
        { 2, std::numeric_limits<Integer>::max(), u"bcdef" },
        { std::numeric_limits<Integer>::max(), 5, u"" },
        { std::numeric_limits<Integer>::min(), 1, u"a" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Copy(u"abcdef", C.Index, C.Count), C.Expected) << C.Index << "," << C.Count;
}

TEST(StrUtils, IntegerText)
{
    const std::pair<const char16_t*, Integer> Good[] = {
        { u"0", 0 },
        { u"-12", -12 },
        { u"+7", 7 },
        { u"  42", 42 },
        { u"$1F", 31 },
        { u"0x1f", 31 },
        { u"X10", 16 },
        { u"-$10", -16 },
        { u"2147483647", 2147483647 },
        { u"-2147483648", std::numeric_limits<Integer>::min() },
        { u"$FFFFFFFF", -1 },
        { u"$80000000", std::numeric_limits<Integer>::min() },
        { u"007", 7 },
    };
    for (auto [Text, V] : Good)
        EXPECT_EQ(StrToInt(Text), V) << StringToUTF8(Text);
    const char16_t* Bad[] = { u"", u" ", u"-", u"$", u"0x", u"12 ", u"1.0", u"2147483648", u"-2147483649",
        u"$100000000", u"1e3", u"--1", u"abc", u"\uFF11" };
    for (const char16_t* Text : Bad) {
        Integer V = 99;
        EXPECT_FALSE(TryStrToInt(Text, V)) << StringToUTF8(Text);
        EXPECT_EQ(V, 99);
        EXPECT_EQ(StrToIntDef(Text, -5), -5);
    }
    try {
        StrToInt(u"12a");
        ADD_FAILURE();
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message(), u"'12a' is not a valid integer value");
    }
    EXPECT_EQ(StrToInt64(u"-9223372036854775808"), std::numeric_limits<Int64>::min());
    EXPECT_EQ(StrToInt64(u"$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64Def(u"9223372036854775808", 1), 1);
    EXPECT_THROW(StrToInt64(u"x"), EConvertError);

    EXPECT_EQ(IntToStr(std::numeric_limits<Integer>::min()), u"-2147483648");
    EXPECT_EQ(IntToStr(std::numeric_limits<Int64>::min()), u"-9223372036854775808");
    EXPECT_EQ(UIntToStr(std::numeric_limits<UInt64>::max()), u"18446744073709551615");
    EXPECT_EQ(IntToHex(255, 4), u"00FF");
    EXPECT_EQ(IntToHex(-1, 2), u"FFFFFFFF");
    EXPECT_EQ(IntToHex(Int64(-1), 0), u"FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), u"0");
}

TEST(StrUtils, CaseAndComparison)
{
    EXPECT_EQ(UpperCase(u"abc\u00E9z"), u"ABC\u00E9Z");
    EXPECT_EQ(LowerCase(u"ABC\u00C9"), u"abc\u00C9");
    EXPECT_EQ(AnsiUpperCase(u"stra\u00DFe \u00E9\u03B1\u044F"), u"STRA\u00DFE \u00C9\u0391\u042F");
    EXPECT_EQ(AnsiLowerCase(u"\u00C9\u0391\u042F"), u"\u00E9\u03B1\u044F");
    // A surrogate pair is left whole.
    EXPECT_EQ(AnsiUpperCase(u"\U0001F600a"), u"\U0001F600A");

    struct TCase {
        const char16_t *L, *R;
        int Str, Text, AnsiText; // signs
    };
    const TCase Cases[] = {
        { u"abc", u"abc", 0, 0, 0 },
        { u"abc", u"ABC", 1, 0, 0 },
        { u"ab", u"abc", -1, -1, -1 },
        { u"_", u"a", -1, 1, -1 }, // ASCII folding makes it an upper-case "A"
        { u"\u00E9t\u00E9", u"\u00C9T\u00C9", 1, 1, 0 },
        { u"\u03C3", u"\u03C2", 1, 1, 0 }, // sigma and final sigma
        { u"b", u"A", 1, 1, 1 },
    };
    auto Sign = [](Integer V) { return V < 0 ? -1 : V > 0 ? 1 : 0; };
    for (const auto& C : Cases) {
        EXPECT_EQ(Sign(CompareStr(C.L, C.R)), C.Str) << StringToUTF8(C.L) << " " << StringToUTF8(C.R);
        EXPECT_EQ(Sign(CompareText(C.L, C.R)), C.Text) << StringToUTF8(C.L) << " " << StringToUTF8(C.R);
        EXPECT_EQ(Sign(AnsiCompareText(C.L, C.R)), C.AnsiText) << StringToUTF8(C.L) << " " << StringToUTF8(C.R);
        EXPECT_EQ(SameText(C.L, C.R), C.Text == 0);
        EXPECT_EQ(AnsiSameText(C.L, C.R), C.AnsiText == 0);
    }
    auto CI = TIStringComparer::Ordinal();
    auto CS = TStringComparer::Ordinal();
    EXPECT_EQ(CI->Compare(u"\u00C9cole", u"\u00E9COLE"), 0);
    EXPECT_NE(CS->Compare(u"a", u"A"), 0);
}

TEST(StrUtils, TrimReplaceQuote)
{
    EXPECT_EQ(Trim(u" \t\r\n a b \x01"), u"a b");
    EXPECT_EQ(TrimLeft(u"  a "), u"a ");
    EXPECT_EQ(TrimRight(u"  a \n"), u"  a");
    EXPECT_EQ(Trim(u"   "), u"");

    struct TCase {
        const char16_t *Text, *Old, *New;
        TReplaceFlags Flags;
        const char16_t* Expected;
    };
    const TCase Cases[] = {
        { u"aXbXc", u"X", u"--", {}, u"a--bXc" },
        { u"aXbXc", u"X", u"--", { rfReplaceAll }, u"a--b--c" },
        { u"axbXc", u"X", u"", { rfReplaceAll, rfIgnoreCase }, u"abc" },
        { u"aaa", u"aa", u"a", { rfReplaceAll }, u"aa" }, // no rescan of the new text
        { u"abc", u"", u"z", { rfReplaceAll }, u"abc" },
        { u"\u00E9t\u00E9", u"\u00C9", u"e", { rfReplaceAll, rfIgnoreCase }, u"ete" },
        { u"abc", u"abc", u"", {}, u"" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(StringReplace(C.Text, C.Old, C.New, C.Flags), C.Expected) << StringToUTF8(C.Text);

    EXPECT_EQ(QuotedStr(u"it's"), u"'it''s'");
    EXPECT_EQ(AnsiQuotedStr(u"a\"b", u'"'), u"\"a\"\"b\"");
    const std::pair<const char16_t*, const char16_t*> Dequote[] = {
        { u"'abc'", u"abc" },
        { u"'a''b'", u"a'b" },
        { u"abc", u"abc" },
        { u"'abc", u"'abc" },
        { u"'abc'def", u"abc" },
        { u"''", u"" },
        { u"", u"" },
        { u"'", u"" },
    };
    for (auto [In, Out] : Dequote)
        EXPECT_EQ(AnsiDequotedStr(In, u'\''), Out) << StringToUTF8(In);
    EXPECT_EQ(StringOfChar(u'*', 3), u"***");
    EXPECT_EQ(StringOfChar(u'*', -1), u"");
    EXPECT_EQ(BoolToStr(true), u"-1");
    EXPECT_EQ(BoolToStr(false, true), u"False");
}

TEST(StrUtils, FileNames)
{
    struct TCase {
        const char16_t *Name, *Path, *Dir, *File, *Ext, *Changed;
    };
    const TCase Cases[] = {
        { u"/a/b/c.txt", u"/a/b/", u"/a/b", u"c.txt", u".txt", u"/a/b/c.png" },
        { u"c.tar.gz", u"", u"", u"c.tar.gz", u".gz", u"c.tar.png" },
        { u"/a.d/file", u"/a.d/", u"/a.d", u"file", u"", u"/a.d/file.png" },
        { u"/file", u"/", u"/", u"file", u"", u"/file.png" },
        { u"dir/", u"dir/", u"dir", u"", u"", u"dir/.png" },
        { u".bashrc", u"", u"", u".bashrc", u".bashrc", u".png" },
        { u"a//b", u"a//", u"a//", u"b", u"", u"a//b.png" },
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ExtractFilePath(C.Name), C.Path) << StringToUTF8(C.Name);
        EXPECT_EQ(ExtractFileDir(C.Name), C.Dir) << StringToUTF8(C.Name);
        EXPECT_EQ(ExtractFileName(C.Name), C.File) << StringToUTF8(C.Name);
        EXPECT_EQ(ExtractFileExt(C.Name), C.Ext) << StringToUTF8(C.Name);
        EXPECT_EQ(ChangeFileExt(C.Name, u".png"), C.Changed) << StringToUTF8(C.Name);
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a"), u"/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(u"/a/"), u"/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(u""), u"/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/a/"), u"/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/a"), u"/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter(u"/"), u"/"); // the root stays the root
}

TEST(StrUtils, FloatTextReadsBackToTheSameDouble)
{
    const double Values[] = { 0.1, 1.0 / 3, 1e300, -5e-324, 123456789.125, 0.5, 2.0, -0.0, HUGE_VAL };
    for (double V : Values) {
        double Back = 0;
        ASSERT_TRUE(TryTextToFloat(FloatToText(V), Back)) << V;
        EXPECT_EQ(std::memcmp(&Back, &V, sizeof V), 0) << StringToUTF8(FloatToText(V));
    }
    EXPECT_EQ(FloatToText(0.5), u"0.5");
    double Nan = 0;
    EXPECT_TRUE(TryTextToFloat(FloatToText(std::nan("")), Nan) && std::isnan(Nan));
    double Ignored = 0;
    for (const char16_t* Text : { u"nan(1)", u"0x1p3", u"1.5.2", u"e5", u"1e" })
        EXPECT_FALSE(TryTextToFloat(Text, Ignored)) << StringToUTF8(Text);
}
