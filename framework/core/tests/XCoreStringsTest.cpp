#include "core/XCore.Strings.h"
#include "rtl/StringList.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using Testing::U8;

namespace {

TCodePageString A(std::string Bytes)
{
    return { std::move(Bytes), CP_1252 };
}

TEST(XStrSearch, PosFromIsOneBasedAndFindsAfterPartialMatches)
{
    const struct {
        const char16_t *Sub, *Text;
        Integer Start, Expected;
    } Cases[] = {
        { u"b", u"abc", 0, 2 },
        { u"b", u"abc", -7, 2 },
        { u"", u"abc", 1, 0 },
        { u"a", u"", 1, 0 },
        { u"ab", u"aab", 1, 2 },
        { u"aab", u"aaab", 1, 2 },
        { u"a", u"aba", 2, 3 },
        { u"a", u"aba", 3, 3 },
        { u"a", u"aba", 4, 0 },
        { u"abc", u"ab", 1, 0 },
        { u"B", u"abc", 1, 0 },
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(xStr::PosFrom(C.Sub, C.Text, C.Start), C.Expected) << U8(C.Sub) << " in " << U8(C.Text);
        EXPECT_EQ(xStr::PosFromA(A(U8(C.Sub)), A(U8(C.Text)), C.Start), C.Expected) << U8(C.Sub);
    }
}

TEST(XStrSearch, PosFromIgnoreCaseFoldsAsciiLettersOnly)
{
    const struct {
        const char16_t *Sub, *Text;
        Integer Start, Expected;
    } Cases[] = {
        { u"AB", u"xaB", 1, 2 },
        { u"ab", u"XAB", 0, 2 },
        { u"aB", u"aaB", 1, 2 },
        { u"b", u"BbB", 2, 2 },
        { u"\u00e4", u"\u00c4", 1, 0 },
        { u"", u"a", 1, 0 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(xStr::PosFromIgnoreCase(C.Sub, C.Text, C.Start), C.Expected) << U8(C.Sub) << " in " << U8(C.Text);
}

TEST(XStrSearch, ReplaceBetweenContinuesAfterTheReplacedBlock)
{
    const struct {
        bool Inclusive;
        const char16_t *Opener, *Closer, *NewText, *Text;
        Integer From;
        const char16_t* Expected;
    } Cases[] = {
        { false, u"[", u"]", u"x", u"a[1]b[22]c", 1, u"a[x]b[x]c" },
        { false, u"[", u"]", u"x", u"[1][2]", 4, u"[1][x]" },
        { false, u"[", u"]", u"[]", u"[1][2]", 1, u"[[]][[]]" },
        { false, u"<<", u">>", u"", u"<<a>><<b>>", 0, u"<<>><<>>" },
        { false, u"[", u"]", u"x", u"a[1", 1, u"a[1" },
        { false, u"", u"]", u"x", u"a]", 1, u"a]" },
        { true, u"<", u">", u"", u"a<b>c<d>e", 1, u"ace" },
        { true, u"<", u">", u"<x>", u"<a><b>", 1, u"<x><x>" },
        { true, u"<", u">", u"", u"<<a>>", 1, u">" },
        { true, u"<", u">", u"-", u"<a>b<c", 1, u"-b<c" },
    };
    for (const auto& C : Cases) {
        String Got = C.Inclusive ? xStr::ReplaceBetweenInclusive(C.Opener, C.Closer, C.NewText, C.Text, C.From)
                                 : xStr::ReplaceBetween(C.Opener, C.Closer, C.NewText, C.Text, C.From);
        EXPECT_EQ(U8(Got), U8(C.Expected)) << U8(C.Text);
    }
}

TEST(XStrSearch, ReplaceAllAndSplitting)
{
    EXPECT_EQ(xStr::ReplaceAll(u"ab", u"x", u"abAbab"), u"xAbx");
    EXPECT_EQ(xStr::ReplaceAllIgnoreCase(u"ab", u"x", u"abAbab"), u"xxx");
    EXPECT_EQ(xStr::ReplaceAll(u"", u"x", u"ab"), u"ab");

    const struct {
        const char16_t *Text, *Sep, *Left, *Right;
    } Cases[] = {
        { u"key=value=x", u"=", u"key", u"value=x" },
        { u"plain", u"=", u"plain", u"" },
        { u"=x", u"=", u"", u"x" },
        { u"a::b", u"::", u"a", u"b" },
        { u"a", u"", u"a", u"" },
    };
    for (const auto& C : Cases) {
        String Left = u"old", Right = u"old";
        xStr::SplitAtFirst(C.Text, Left, Right, C.Sep);
        EXPECT_EQ(Left, C.Left) << U8(C.Text);
        EXPECT_EQ(Right, C.Right) << U8(C.Text);
        EXPECT_EQ(xStr::TextBefore(C.Text, C.Sep), C.Left);
        EXPECT_EQ(xStr::TextAfter(C.Text, C.Sep), C.Right);
    }
}

TEST(XStrSearch, TextBetweenAndTagTexts)
{
    const char16_t* Reply = u"<n>12</n><s>x</s><n> 7</n><bad>1x</bad>";
    EXPECT_EQ(xStr::TextBetween(u"<s>", u"</s>", Reply), u"x");
    EXPECT_EQ(xStr::TextBetween(u"<s>", u"</n>", Reply), u"x</s><n> 7");
    EXPECT_EQ(xStr::TextBetween(u"<s>", u"</q>", Reply), u"");
    EXPECT_EQ(xStr::TextBetweenIgnoreCase(u"<S>", u"</S>", Reply), u"x");
    EXPECT_EQ(xStr::TextBetween(u"<", u">", u"<>"), u"");

    EXPECT_EQ(xStr::OpenTag(u"n"), u"<n>");
    EXPECT_EQ(xStr::CloseTag(u"n"), u"</n>");
    EXPECT_EQ(xStr::TagText(u"n", Reply), u"12");
    EXPECT_EQ(xStr::TagText(u"n", Reply, 2), u" 7");
    EXPECT_EQ(xStr::TagInt(u"n", Reply, 2), 7);
    EXPECT_EQ(xStr::TagInt(u"bad", Reply), 0);
    EXPECT_EQ(xStr::TagIntDef(u"bad", Reply, -1), -1);
    EXPECT_EQ(xStr::TagIntDef(u"none", Reply, -1), -1);
}

TEST(XStrText, QuotingSafeTextAndPadding)
{
    EXPECT_EQ(xStr::EnsureQuoted(u"", u'"'), u"");
    EXPECT_EQ(xStr::EnsureQuoted(u"\"a", u'"'), u"\"a");
    EXPECT_EQ(xStr::EnsureQuoted(u"a\"b", u'"'), u"\"a\"\"b\"");
    EXPECT_EQ(xStr::Dequoted(u"\"a\"\"b\"", u'"'), u"a\"b");
    EXPECT_EQ(xStr::Dequoted(u"ab", u'"'), u"ab");

    EXPECT_EQ(xStr::ToSafeText(u" a/b "), u"a_b");
    EXPECT_EQ(xStr::ToSafeText(u"Az09 !#*-.:_"), u"Az09 !#*-.:_");
    EXPECT_EQ(xStr::ToSafeText(u"\u00e9\u20ac\"$"), u"____");

    EXPECT_EQ(xStr::FormatSafe(u"%d%%", {}), u"%d%%");
    EXPECT_EQ(xStr::FormatSafe(u"%d%%", { 5 }), u"5%");
    EXPECT_EQ(xStr::FormatSafe(u"%s", { 5 }), u"%s");

    EXPECT_EQ(xStr::RepeatChar(u'-', 3), u"---");
    EXPECT_EQ(xStr::RepeatChar(u'-', -1), u"");
    EXPECT_EQ(xStr::ZeroPadInt(5, 3), u"005");
    EXPECT_EQ(xStr::PadInt(1234, u' ', 2), u"1234");
    EXPECT_EQ(xStr::RepeatCharA('x', 2), A("xx"));
    EXPECT_EQ(xStr::PadLeftA(A("7"), ' ', 3), A("  7"));

    TOwnedPtr<TStringList> Lines(New<TStringList>());
    Lines->SetText(u"a\n\nb\n");
    EXPECT_EQ(xStr::JoinStrings(u", ", Lines.get()), u"a, b");
    EXPECT_EQ(xStr::JoinStrings(u", ", nullptr), u"");

    String Guid = xStr::NewGUIDText();
    ASSERT_EQ(Guid.size(), 36u);
    EXPECT_EQ(Guid[8], u'-');
    EXPECT_NE(Guid, xStr::NewGUIDText());
}

TEST(XStrText, StreamReadsTakeAllOrNothing)
{
    TOwnedPtr<TXRawStringStream> Stream(New<TXRawStringStream>(A("ab\xE9\x80")));
    Stream->SetPosition(2);
    EXPECT_EQ(xStr::StreamToStr(Stream.get(), -1), u"\u00e9\u20ac");
    Stream->SetPosition(1);
    EXPECT_EQ(xStr::StreamToStr(Stream.get(), 2), u"b\u00e9");
    EXPECT_EQ(xStr::StreamToStr(Stream.get(), 0), u"");
    EXPECT_EQ(xStr::StreamToStr(Stream.get(), 5), u"");
    EXPECT_EQ(xStr::StreamToStr(Stream.get(), -2), u"");
    EXPECT_EQ(xStr::StreamToStr(nullptr, -1), u"");

    Stream->SetPosition(0);
    TCodePageString Utf8 = xStr::StreamToUTF8(Stream.get(), 2);
    EXPECT_EQ(Utf8, (TCodePageString { "ab", CP_UTF8 }));
    EXPECT_EQ(xStr::StreamToUTF8(Stream.get(), -1).Bytes, "\xE9\x80");
    EXPECT_EQ(xStr::StreamToUTF8(Stream.get(), 0), (TCodePageString { "", CP_UTF8 }));
    EXPECT_THROW(xStr::StreamToUTF8(Stream.get(), 1), EReadError);

    TOwnedPtr<TXRawStringStream> Out(New<TXRawStringStream>());
    xStr::WriteToStreamA(Out.get(), A("xy"));
    xStr::WriteToStreamA(Out.get(), A(""));
    EXPECT_EQ(Out->Data().Bytes, "xy");
}

TEST(XStrBytes, LastPosAStaysWithinTheLimit)
{
    const struct {
        const char *Sub, *Text;
        Integer Limit, Expected;
    } Cases[] = {
        { "ab", "abab", -1, 3 },
        { "ab", "abab", 4, 3 },
        { "ab", "abab", 3, 1 },
        { "ab", "abab", 1, 0 },
        { "ab", "abab", 0, 0 },
        { "ab", "abab", 100, 3 },
        { "ab", "abab", -2, 0 },
        { "", "abab", -1, 0 },
        { "aa", "aaa", -1, 2 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(xStr::LastPosA(A(C.Sub), A(C.Text), C.Limit), C.Expected) << C.Sub << " limit " << C.Limit;
}

TEST(XStrBytes, TagTextsKeepTheCodePage)
{
    TCodePageString Doc { "<a>x</a><a>y</a>", CP_UTF8 };
    EXPECT_EQ(xStr::TagTextA(A("a"), Doc), (TCodePageString { "x", CP_UTF8 }));
    EXPECT_EQ(xStr::TagTextA(A("a"), Doc, 2).Bytes, "y");
    EXPECT_EQ(xStr::TagTextToLastA(A("a"), Doc).Bytes, "x</a><a>y");
    EXPECT_EQ(xStr::TextBetweenToLastA(A("]"), A("["), A("[a]b")).Bytes, "");
    EXPECT_EQ(xStr::TextBetweenA(A("<"), A(">"), A("a<b")).Bytes, "");

    EXPECT_EQ(xStr::OpenTagNamedA(A("item"), A("")).Bytes, "<item>");
    EXPECT_EQ(xStr::OpenTagNamedA(A("item"), A("n1")).Bytes, "<item name=\"n1\">");
    EXPECT_EQ(xStr::WrapTagA(A("t"), A("c")).Bytes, "<t>\r\nc\r\n</t>");
    EXPECT_EQ(xStr::WrapTagNamedA(A("t"), A("n"), A("c")).Bytes, "<t name=\"n\">\r\nc\r\n</t>");
}

TEST(XStrBytes, ReplaceManyTakesTheFirstMatchingPatternInOneWalk)
{
    const struct {
        std::vector<TCodePageString> Patterns, Replacements;
        const char *Text, *Expected;
    } Cases[] = {
        { { A("a"), A("ab") }, { A("1"), A("2") }, "abab", "1b1b" },
        { { A("ab"), A("a") }, { A("2"), A("1") }, "abaa", "211" },
        { { A("a") }, { A("aa") }, "aa", "aaaa" },
        { { A(""), A("b") }, { A("x"), A("y") }, "ab", "ay" },
        { {}, {}, "ab", "ab" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(xStr::ReplaceManyA(A(C.Text), C.Patterns, C.Replacements).Bytes, C.Expected) << C.Text;
    EXPECT_THROW(xStr::ReplaceManyA(A("a"), { A("a") }, {}), EArgumentException);

    EXPECT_EQ(xStr::DecodeXMLEntitiesA(A("a&lt;b&amp;amp;")).Bytes, "a<b&amp;");
    EXPECT_EQ(xStr::DecodeXMLEntitiesA(A("&quot;&apos;&gt;&x;")).Bytes, "\"'>&x;");
}

TEST(XStrDigits, IntToDigitsAndWidths)
{
    const struct {
        Cardinal Value;
        Integer Base, Width;
        const char16_t* Expected;
    } Cases[] = {
        { 255, 16, 2, u"FF" },
        { 0, 10, 0, u"0" },
        { 0, 10, 4, u"0000" },
        { 35, 36, 0, u"Y" },
        { 33, 36, 0, u"Z" },
        { 32, 36, 0, u"W" },
        { 34, 36, 0, u"X" },
        { 4294967295u, 16, 0, u"FFFFFFFF" },
        { 5, 2, 4, u"0101" },
        { 1000, 10, 2, u"1000" },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(xStr::IntToDigits(C.Value, C.Base, C.Width), C.Expected) << C.Value << " base " << C.Base;

    const std::pair<Integer, Integer> Widths[] = { { 2, 16 }, { 3, 11 }, { 8, 4 }, { 10, 4 }, { 15, 3 }, { 16, 2 },
        { 36, 2 } };
    for (auto [Base, Width] : Widths)
        EXPECT_EQ(xStr::DigitWidth(Base), Width) << Base;
}

TEST(XStrDigits, DigitsToIntCountsUnknownCharactersAsMinusOne)
{
    const struct {
        const char16_t* Digits;
        Integer Base, Expected;
    } Cases[] = {
        { u"1f", 16, 15 },
        { u"1F", 16, 31 },
        { u"ff", 16, -17 },
        { u"Y", 36, 35 },
        { u"Z", 36, 33 },
        { u"0041", 8, 33 },
        { u"", 10, 0 },
        { u"FFFFFFFF", 16, -1 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(xStr::DigitsToInt(C.Digits, C.Base), C.Expected) << U8(C.Digits);
}

TEST(XStrDigits, EncodeDecodeRoundTripOverEveryBaseAndByte)
{
    std::string All;
    for (int B = 0; B < 256; ++B)
        All += char(B);
    for (Integer Base = 2; Base <= 36; ++Base) {
        TCodePageString Coded = xStr::EncodeDigits(A(All), Base);
        ASSERT_EQ(Coded.Bytes.size(), All.size() * size_t(xStr::DigitWidth(Base))) << Base;
        EXPECT_EQ(Coded.Bytes.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << Base;
        EXPECT_EQ(xStr::DecodeDigits(Coded, Base).Bytes, All) << Base;
    }
    EXPECT_EQ(xStr::EncodeDigits(A("A"), 16).Bytes, "41");
    EXPECT_EQ(xStr::DecodeOctal(xStr::EncodeDigits(A("\x01\xFF"), 8)).Bytes, "\x01\xFF");
}

TEST(XStrDigits, DecodeDigitsGroups)
{
    const struct {
        const char* Digits;
        Integer Base;
        std::string Expected;
    } Cases[] = {
        { "4142", 16, "AB" },
        { "41", 8, "\x21" },
        { "414", 16, "A" }, // a group starting at the last character is not read
        { "4", 16, "" },
        { "", 16, "" },
        { "004101", 8, "\x21\x01" },
        { "ff", 16, "\xEF" },
    };
    for (const auto& C : Cases) {
        TCodePageString Got = xStr::DecodeDigits({ C.Digits, CP_UTF8 }, C.Base);
        EXPECT_EQ(Got.Bytes, C.Expected) << C.Digits;
        EXPECT_EQ(Got.CodePage, CP_UTF8);
    }
}

TEST(XStrDigits, MixedAndStreamDecoding)
{
    TCodePageString Mixed = xStr::DecodeDigitsMixed(A("41 42\r\n\bE9"), 16);
    EXPECT_EQ(Mixed, (TCodePageString { "A B\r\n\b\xC3\xA9", CP_UTF8 }));
    EXPECT_EQ(xStr::DecodeDigitsMixed(A("4"), 16).Bytes, "\x04");
    // Two 16-digit groups forming a surrogate pair give one character.
    EXPECT_EQ(xStr::DecodeDigitsMixed(A("11011000001111011101111000000000"), 2).Bytes, "\xF0\x9F\x98\x80");

    TOwnedPtr<TXRawStringStream> Out(New<TXRawStringStream>());
    xStr::DecodeDigitsToStream(A("41\n42 \r\n43 4"), Out.get(), 16);
    EXPECT_EQ(Out->Data().Bytes, "ABC\x04");
}

TEST(XStrDigits, BasesOutsideTheTableAreRefused)
{
    for (Integer Base : { -1, 0, 1, 37 }) {
        EXPECT_THROW(xStr::DigitWidth(Base), EArgumentOutOfRangeException) << Base;
        EXPECT_THROW(xStr::IntToDigits(5, Base, 0), EArgumentOutOfRangeException) << Base;
        EXPECT_THROW(xStr::DigitsToInt(u"1", Base), EArgumentOutOfRangeException) << Base;
        EXPECT_THROW(xStr::DecodeDigits(A("11"), Base), EArgumentOutOfRangeException) << Base;
        EXPECT_THROW(xStr::DecodeDigitsMixed(A("11"), Base), EArgumentOutOfRangeException) << Base;
    }
}

TEST(XStrFields, ItemsAndSplitting)
{
    TXStrFields F;
    EXPECT_EQ(F.GetItem(0), u"");
    F.SetItem(2, u"c");
    F.SetItem(-1, u"ignored");
    EXPECT_EQ(F.Fields, (std::vector<String> { u"", u"", u"c" }));
    EXPECT_EQ(F.GetItem(2), u"c");
    EXPECT_EQ(F.GetItem(3), u"");
    EXPECT_EQ(F.GetItem(-1), u"");

    const struct {
        const char16_t *Text, *Separators;
        std::vector<String> Expected;
    } Cases[] = {
        { u"a,b;;c", u",;", { u"a", u"b", u"", u"c" } },
        { u"a,", u",", { u"a", u"" } },
        { u",", u",", { u"", u"" } },
        { u"", u",", {} },
        { u"abc", u"", { u"abc" } },
    };
    for (const auto& C : Cases) {
        F.Split(C.Text, C.Separators);
        EXPECT_EQ(F.Fields, C.Expected) << U8(C.Text);
    }

    F.SplitFixed(u"abcde", 2);
    EXPECT_EQ(F.Fields, (std::vector<String> { u"ab", u"cd", u"e" }));
    F.SplitFixed(u"abcde", 0);
    EXPECT_TRUE(F.Fields.empty());
    F.SplitFixed(u"", 3);
    EXPECT_TRUE(F.Fields.empty());
}

TEST(XRawStringStream, WriteCutsTheTailAndSeekFromEndGoesBack)
{
    TOwnedPtr<TXRawStringStream> S(New<TXRawStringStream>(A("abcdef")));
    EXPECT_EQ(S->Data().CodePage, CP_1252);
    S->SetPosition(2);
    EXPECT_EQ(S->Write("X", 1), 1);
    EXPECT_EQ(S->Data().Bytes, "abX");
    EXPECT_EQ(S->Position(), 3);
    EXPECT_EQ(S->Seek(1, soEnd), 2);

    S->SetPosition(3);
    EXPECT_EQ(S->Write("yz", 2), 2);
    EXPECT_EQ(S->Data().Bytes, "abXyz");
    EXPECT_EQ(S->Write("", 0), 0);
    EXPECT_EQ(S->Data().Bytes, "abXyz");

    const struct {
        Int64 Start, Offset;
        TSeekOrigin Origin;
        Int64 Expected;
    } Seeks[] = {
        { 0, 3, soBeginning, 3 },
        { 0, 9, soBeginning, 5 },
        { 4, -3, soBeginning, 0 },
        { 1, 2, soCurrent, 3 },
        { 1, -2, soCurrent, 0 },
        { 1, 0, soEnd, 5 },
        { 1, 5, soEnd, 0 },
        { 1, -2, soEnd, 5 },
        { 0, 0x100000002LL, soBeginning, 2 },
    };
    for (const auto& C : Seeks) {
        S->SetPosition(C.Start);
        EXPECT_EQ(S->Seek(C.Offset, C.Origin), C.Expected) << C.Offset << " origin " << C.Origin;
        EXPECT_EQ(S->Position(), C.Expected);
    }

    char Buf[8] = {};
    S->SetPosition(3);
    EXPECT_EQ(S->Read(Buf, 8), 2);
    EXPECT_EQ(std::string(Buf, 2), "yz");
    EXPECT_EQ(S->Read(Buf, 8), 0);
}

TEST(XRawStringStream, SizeAndClear)
{
    TOwnedPtr<TXRawStringStream> S(New<TXRawStringStream>());
    EXPECT_EQ(S->Data(), (TCodePageString { "", CP_UTF8 }));
    S->WriteBuffer("abcdef", 6);
    S->SetSize(2);
    EXPECT_EQ(S->Position(), 2);
    EXPECT_EQ(S->Data().Bytes, "ab");
    S->SetSize(4);
    EXPECT_EQ(S->Position(), 2);
    EXPECT_EQ(S->Data().Bytes, std::string("ab\0\0", 4));
    EXPECT_THROW(S->SetSize(-1), EStreamError);
    EXPECT_THROW(S->SetSize(Int64(1) << 31), EStreamError);

    TOwnedPtr<TXRawStringStream> T(New<TXRawStringStream>(A("xyz")));
    T->SetPosition(2);
    T->Clear();
    EXPECT_EQ(T->Data(), (TCodePageString { "", CP_UTF8 }));
    EXPECT_EQ(T->Position(), 0);
}

}
