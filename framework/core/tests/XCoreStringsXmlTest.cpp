#include "core/XCore.Strings.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

using Testing::U8;

namespace {


TEST(XStrXml, EscapeAndUnescapeInOneWalk)
{
    const struct {
        const char16_t *Plain, *Escaped;
    } Cases[] = {
        { u"<a>&'\"", u"&lt;a&gt;&amp;&apos;&quot;" },
        { u"A&B", u"A&amp;B" },
        { u"&lt;", u"&amp;lt;" }, // escaped once, never twice
        { u"", u"" },
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(U8(xStr::XmlEscape(C.Plain)), U8(C.Escaped));
        EXPECT_EQ(U8(xStr::XmlUnescape(C.Escaped)), U8(C.Plain));
    }
    // An escaped ampersand followed by "lt;" gives the entity text back.
    EXPECT_EQ(U8(xStr::XmlUnescape(u"&amp;lt;")), "&lt;");
}

TEST(XStrXml, ReplaceManyTakesTheFirstPatternAndDoesNotRescan)
{
    EXPECT_EQ(U8(xStr::ReplaceMany(u"abcab", { u"", u"ab", u"a" }, { u"X", u"b", u"Z" })), "bcb");
    EXPECT_THROW(xStr::ReplaceMany(u"a", { u"a" }, {}), EArgumentException);
}

TEST(XStrXml, TagElementsAndBlock)
{
    EXPECT_EQ(U8(xStr::TagElement(u"n", u"a<b")), "<n>a&lt;b</n>");
    EXPECT_EQ(U8(xStr::TagElementCardinal(u"s", 3000000000u)), "<s>3000000000</s>");
    EXPECT_EQ(U8(xStr::TagElementInt64(u"t", -5)), "<t>-5</t>");
    EXPECT_EQ(U8(xStr::TagBlock(u"xml", u"x")), "<xml>\r\nx\r\n</xml>");
    EXPECT_EQ(xStr::TagInt64(u"t", u"<t>8589934592</t>"), 8589934592LL);
    EXPECT_EQ(xStr::TagInt64(u"t", u"<t>12x</t>"), 0);
    EXPECT_EQ(U8(xStr::Parenthesize(u"a")), "(a)");
}

TEST(XStrSizes, ByteSizeTextPicksTheUnit)
{
    const struct {
        double Value;
        const char* Text;
    } Cases[] = {
        { 1023, "1023 bytes" },
        { 1024, "1.00 KB" },
        { 1048575, "1024.00 KB" },
        { 1073741823, "1024.00 MB" },
        { 1073741824, "1.00 GB" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(U8(xStr::ByteSizeText(C.Value)), C.Text) << C.Value;
    EXPECT_EQ(U8(xStr::QuotientText(4, 10)), "2.50");
}

TEST(XStrSizes, HexBytesEndWithTheSeparator)
{
    const Byte Bytes[] = { 0x0A, 0xFF };
    EXPECT_EQ(U8(xStr::HexBytes(Bytes, u" ")), "0A FF ");
    EXPECT_EQ(U8(xStr::HexBytes({}, u" ")), "");
}

}
