#include "richedit/RichCodePages.h"
#include "rtl/CodePages.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

// Every split point of each text gives the same characters as one read: a
// character cut between two reads is carried over, never doubled or lost.
TEST(RichCodePages, CharactersSplitBetweenReadsAreCarriedOver)
{
    struct TCase {
        Word CodePage;
        RawBytes Bytes;
        const char16_t* Text;
    };
    const TCase Cases[] = {
        { CP_UTF8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", u"a\u00E9\u20AC\U0001F600z" },
        { 932, "\x82\xA0x\x93\xFA", u"\u3042x\u65E5" },
        { 936, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587" },
        { CP_UTF16LE, RawBytes("A\0=\xD8\0\xDE", 6), u"A\U0001F600" },
        { CP_UTF16BE, RawBytes("\0A\xD8=\xDE\0", 6), u"A\U0001F600" },
        { 1251, "\xCF\xF0", u"\u041F\u0440" },
        { CP_1252, "\x80\xE9", u"\u20AC\u00E9" },
    };
    for (const TCase& C : Cases)
        for (size_t Cut = 0; Cut <= C.Bytes.size(); ++Cut) {
            TCodePageDecoder Decoder(C.CodePage);
            String Out;
            Decoder.Feed(std::string_view(C.Bytes).substr(0, Cut), Out);
            Decoder.Feed(std::string_view(C.Bytes).substr(Cut), Out);
            Decoder.Finish(Out);
            EXPECT_EQ(Testing::U8(Out), Testing::U8(C.Text)) << "page " << C.CodePage << " cut at " << Cut;
        }
    // Bytes that stand for nothing, and a character the text ends inside.
    EXPECT_EQ(Testing::U8(DecodeCodePage("a\xFF" "b\xE2\x82", CP_UTF8)), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(Testing::U8(DecodeCodePage("x\x82", 932)), "x\xEF\xBF\xBD");
    EXPECT_EQ(Testing::U8(DecodeCodePage("\xE9", 4321)), "\xC3\xA9"); // an unknown page reads as 1252
    EXPECT_EQ(CharsetCodePage(204), 1251);
    EXPECT_EQ(CharsetCodePage(1), 0);
}
