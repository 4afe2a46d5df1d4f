#include "rtl/CodePages.h"
#include "rtl/Exceptions.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <sstream>

// Windows-1252 judged by python's codec; the five bytes it leaves undefined
// stand for the control characters of the same code.
TEST(CodePages, Windows1252MatchesPythonsCodec)
{
    const Testing::TToolResult Python = Testing::RunTool({ "python3", "-c",
        "for b in range(256):\n"
        "    try: c = bytes([b]).decode('cp1252')\n"
        "    except UnicodeDecodeError: c = chr(b)\n"
        "    print(ord(c))\n" });
    ASSERT_EQ(Python.ExitCode, 0);
    std::istringstream Codes(Python.Output);
    std::string AllBytes;
    String Expected;
    unsigned Code;
    for (int B = 0; B < 256 && Codes >> Code; ++B) {
        AllBytes.push_back(char(B));
        Expected.push_back(Char(Code));
    }
    ASSERT_EQ(Expected.size(), 256u);
    EXPECT_EQ(AnsiToString(AllBytes), Expected);
    AnsiString Back = StringToAnsi(Expected);
    EXPECT_EQ(Back.CodePage, CP_1252);
    EXPECT_EQ(Back.Bytes, AllBytes);
}

TEST(CodePages, UnmappableAndOtherPages)
{
    EXPECT_EQ(StringToAnsi(u"\u20AC\u2713\U0001F600\u0100x").Bytes,
        "\x80??"
        "?x");
    EXPECT_EQ(StringToAnsi(u"\xD800").Bytes, "?"); // a lone surrogate
    TCodePageString U = ToCodePage(u"\u00E9\u20AC", CP_UTF8);
    EXPECT_EQ(U.CodePage, CP_UTF8);
    EXPECT_EQ(U.Bytes, "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(FromCodePage(U), u"\u00E9\u20AC");
    EXPECT_EQ(FromCodePage(ToCodePage(u"\u00E9", CP_1252)), u"\u00E9");
    EXPECT_EQ(AnsiToString(AnsiString { "\xE9", CP_1252 }), u"\u00E9");
    EXPECT_THROW(ToCodePage(u"a", 437), EConvertError);
    EXPECT_THROW(FromCodePage("a", 932), EConvertError);
}
