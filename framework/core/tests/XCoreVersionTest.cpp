#include "core/XCore.Version.h"
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
TXVersionRec V(Integer Major, Integer Minor, Integer Release, Integer Build)
{
    return { Major, Minor, Release, Build };
}
}

TEST(Version, Parse)
{
    const struct {
        const char16_t* Text;
        TXVersionRec Expected;
    } Cases[] = {
        { u"1.2.3.4", V(1, 2, 3, 4) },
        { u"1.2", V(1, 2, 0, 0) },
        { u"1.x.3.4", V(1, 0, 3, 4) },
        { u"", V(0, 0, 0, 0) },
        { u"7", V(7, 0, 0, 0) },
        { u"1..3", V(1, 0, 3, 0) },
        { u"1.2.3.4.5", V(1, 2, 3, 4) },
        { u"-1.+2.3 .4", V(-1, 2, 0, 4) },
        { u"2147483647.2147483648.-2147483648.99999999999", V(2147483647, 0, -2147483648, 0) },
        { u"1.2.3.4\u0661", V(1, 2, 3, 0) },
    };
    for (const auto& Case : Cases) {
        TXVersionRec Got = TXVersionRec::Parse(Case.Text);
        EXPECT_EQ(Got.ToString(), Case.Expected.ToString()) << StringToUTF8(Case.Text);
    }
    EXPECT_EQ(V(1, -2, 30, 400).ToString(), u"1.-2.30.400");
    EXPECT_TRUE(TXVersionRec::Parse(u"0.0.0.0").IsEmpty());
    TXVersionRec R = V(1, 0, 0, 0);
    R.Clear();
    EXPECT_TRUE(R.IsEmpty());
}

TEST(Version, CompareDecidesByBuildFirst)
{
    const struct {
        const char16_t *Left, *Right;
        Integer Expected;
    } Cases[] = {
        { u"1.2.3.4", u"1.2.3.4", 0 },
        { u"1.0.0.5", u"2.0.0.4", 1 },
        { u"6.5.8.680", u"7.0.0.100", 1 },
        { u"1.0.0.1", u"1.0.0.2", -1 },
        { u"2.0.0.1", u"1.9.9.1", 1 },
        { u"1.2.0.1", u"1.3.0.1", -1 },
        { u"1.2.4.1", u"1.2.3.1", 1 },
        { u"1.0.0.-2147483648", u"1.0.0.2147483647", -1 },
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(StringToUTF8(Case.Left) + " vs " + StringToUTF8(Case.Right));
        TXVersionRec L = TXVersionRec::Parse(Case.Left), R = TXVersionRec::Parse(Case.Right);
        EXPECT_EQ(L.Compare(R), Case.Expected);
        EXPECT_EQ(R.Compare(L), -Case.Expected);
        EXPECT_EQ(L.IsAtLeast(R), Case.Expected >= 0);
        EXPECT_EQ(L.IsAtMost(R), Case.Expected <= 0);
    }
}

TEST(Version, RangeContains)
{
    const struct {
        const char16_t *Start, *Ends, *Version;
        bool Expected;
    } Cases[] = {
        { u"0.0.0.0", u"1.0.0.10", u"1.0.0.9", true },
        { u"0.0.0.0", u"1.0.0.10", u"1.0.0.11", false },
        { u"0.0.0.0", u"1.0.0.10", u"1.0.0.10", true },
        { u"0.0.0.0", u"0.0.0.0", u"99.0.0.99", true },
        { u"1.0.0.5", u"0.0.0.0", u"1.0.0.5", true },
        { u"1.0.0.5", u"0.0.0.0", u"9.0.0.4", false },
        { u"1.0.0.5", u"1.0.0.8", u"1.0.0.6", true },
        { u"1.0.0.5", u"1.0.0.8", u"1.0.0.9", false },
        { u"1.0.0.5", u"1.0.0.8", u"1.0.0.4", false },
    };
    for (const auto& Case : Cases) {
        TXVersionRangeRec Range { TXVersionRec::Parse(Case.Start), TXVersionRec::Parse(Case.Ends) };
        EXPECT_EQ(Range.Contains(TXVersionRec::Parse(Case.Version)), Case.Expected)
            << StringToUTF8(Case.Start) << ".." << StringToUTF8(Case.Ends) << " " << StringToUTF8(Case.Version);
    }
    TXVersionRangeRec Range { V(1, 0, 0, 5), V(1, 0, 0, 8) };
    Range.Clear();
    EXPECT_TRUE(Range.Contains(V(5, 0, 0, 0)));
}

TEST(Version, OnlyTheRunningProgramHasAFileVersion)
{
    TXQVVersion* Reader = QVVersion();
    ASSERT_NE(Reader, nullptr);
    TXVersionRec Saved = Reader->ProgramVersion();
    Reader->SetProgramVersion(V(3, 1, 4, 159));

    TXVersionRec Got = V(9, 9, 9, 9);
    EXPECT_TRUE(Reader->GetFileVersion(u"/proc/self/exe", Got));
    EXPECT_EQ(Got.ToString(), u"3.1.4.159");

    char Self[4096] = {};
    ssize_t N = ::readlink("/proc/self/exe", Self, sizeof Self - 1);
    ASSERT_GT(N, 0);
    EXPECT_EQ(Reader->GetFileVersionText(UTF8ToString(Self)), u"3.1.4.159");

    for (const char16_t* Other : { u"/bin/sh", u"", u"/no/such/file", u"/proc/self" }) {
        Got = V(9, 9, 9, 9);
        EXPECT_FALSE(Reader->GetFileVersion(Other, Got)) << StringToUTF8(Other);
        EXPECT_TRUE(Got.IsEmpty());
        EXPECT_EQ(Reader->GetFileVersionText(Other), u"0.0.0.0");
    }

    Reader->SetProgramVersion({});
    EXPECT_FALSE(Reader->GetFileVersion(u"/proc/self/exe", Got));
    EXPECT_EQ(Reader->GetFileVersionText(u"/proc/self/exe"), u"0.0.0.0");
    Reader->SetProgramVersion(Saved);
}
