#include "rtl/TypInfo.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Interfaces.h"
#include "core/XCore.Strings.h"
#include "core/XCore.Types.h"
#include <gtest/gtest.h>

namespace {

std::string U8(const String& S) { return StringToUTF8(S); }

TEST(XStrXml, EscapeAndUnescapeInOneWalk)
{
    const struct {
        const char16_t *Plain, *Escaped;
    } Cases[] = {
        { u"<a>&'\"", u"&lt;a&gt;&amp;&apos;&quot;" },
        { u"A&B", u"A&amp;B" },
        { u"&lt;", u"&amp;lt;" },   // escaped once, never twice
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

TEST(XByteArrays, CopiesAreIndependent)
{
    TXByteArrays List;
    AppendBytes({ 0xFF, 0xD8 }, List);
    AppendBytes("<xml>", 5, List);
    ASSERT_EQ(List.size(), 2u);
    EXPECT_EQ(List[1], TXByteArray({ '<', 'x', 'm', 'l', '>' }));
    TXByteArray Copy;
    CopyBytes(List[0], Copy);
    List[0][0] = 0;
    EXPECT_EQ(Copy, TXByteArray({ 0xFF, 0xD8 }));
}

TEST(XErrorData, TextCodeSetsAndCopies)
{
    TXErrorData E = TXErrorData::Create(44, 21, {});
    EXPECT_EQ(U8(E.ToText()), "44 21 ");
    EXPECT_EQ(U8(TXErrorData::Create(4, -1, u"x").ToText()), "4 4294967295 x");
    EXPECT_EQ(TXErrorData::Init(7).Code, 7);

    ClearXError();
    TXErrorData Sets;
    Sets.RaiseSet = XErrorCodeBit(11);
    SetXErrorCodeSets(Sets);
    SetXError(12, 0, u"kept", false);
    CheckXError();      // 12 does not raise
    SetXError(11, 2, {}, false);
    EXPECT_THROW(CheckXError(), EXError);
    TXErrorData Copy = GetXErrorData();
    EXPECT_EQ(Copy.Code, 11);
    EXPECT_EQ(Copy.SubCode, 2);
    EXPECT_TRUE(Copy.SeenSet & XErrorCodeBit(12));
    SetXErrorCodeSets(TXErrorData {});
    ClearXError();
}

class TPropProbe : public TXManagedPersistent {
    X_CLASS(TPropProbe, TXManagedPersistent)
public:
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { FVisible = V; }

private:
    String FCaption;
    Integer FWidth = 0;
    bool FVisible = false;
};
X_REGISTER_CLASS(TPropProbe)
X_PUBLISHED(TPropProbe)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(Width, Width, SetWidth);
    X_PROP(Visible, Visible, SetVisible);
}

TEST(XPropsByName, ReadAndWriteAsText)
{
    TPropProbe* P = NewManaged<TPropProbe>(0);
    EXPECT_EQ(P->CountMode(), 0);
    String Text;
    EXPECT_TRUE(SetPropText(P, u"Width", u"42"));
    EXPECT_TRUE(GetPropText(P, u"Width", Text));
    EXPECT_EQ(U8(Text), "42");
    EXPECT_TRUE(SetPropText(P, u"Caption", u"A&B"));
    EXPECT_EQ(U8(P->Caption()), "A&B");
    bool Visible = false;
    EXPECT_TRUE(SetPropText(P, u"Visible", u"True"));
    EXPECT_TRUE(GetPropBool(P, u"Visible", Visible));
    EXPECT_TRUE(Visible);
    // Unknown names and bad text answer false; nothing raises.
    EXPECT_FALSE(GetPropText(P, u"Missing", Text));
    EXPECT_TRUE(Text.empty());
    EXPECT_FALSE(SetPropText(P, u"Width", u"wide"));
    EXPECT_EQ(P->Width(), 42);
    EXPECT_FALSE(GetPropText(nullptr, u"Width", Text));
    P->Free();
}

TEST(XManagedPersistent, CreateManagedCountsInTheGivenMode)
{
    TPropProbe* P = NewManaged<TPropProbe>(2);
    EXPECT_EQ(P->CountMode(), 2);
    {
        IPtr<IXSerializable> Ref(P);
        EXPECT_EQ(P->RefCount(), 1);
    }   // the last release frees it
}

}
