#include "RichTestSupport.h"
#include "richedit/RichEditor.h"
#include "richedit/RtfReader.h"

using namespace RichTesting;
using Testing::U8;

namespace {

void Type(TRichEditor& Ed, StringView Text)
{
    for (Char C : Text)
        Ed.KeyPress(C);
}

}

TEST(RichEditor, TypingAndKeys)
{
    TRichEditor Ed;
    Type(Ed, u"abc");
    Ed.KeyDown(VK_LEFT, false, false);
    Ed.KeyDown(VK_BACK, false, false);
    EXPECT_EQ(U8(Ed.Document().Text()), "ac");
    EXPECT_EQ(Ed.Caret(), 1);
    Ed.KeyDown(VK_RETURN, false, false);
    Type(Ed, u"x\U0001F600");
    EXPECT_EQ(U8(Ed.Document().Text()), "a\rx\U0001F600c");
    EXPECT_EQ(Ed.Document().Paras().size(), 2u);
    Ed.KeyDown(VK_BACK, false, false); // the pair goes as one character
    EXPECT_EQ(U8(Ed.Document().Text()), "a\rxc");
    Ed.KeyDown(VK_HOME, false, false);
    EXPECT_EQ(Ed.Caret(), 2);
    Ed.KeyDown(VK_END, true, false);
    EXPECT_EQ(U8(Ed.SelText()), "xc");
    Ed.KeyDown(VK_DELETE, false, false);
    EXPECT_EQ(U8(Ed.Document().Text()), "a\r");
    Ed.KeyDown(VK_BACK, false, false); // joins the paragraphs
    EXPECT_EQ(U8(Ed.Document().Text()), "a");
    EXPECT_EQ(Ed.Document().Paras().size(), 1u);
    EXPECT_TRUE(Ed.KeyDown('A', false, true));
    EXPECT_EQ(Ed.SelLength(), 1);
    EXPECT_FALSE(Ed.KeyDown('Q', false, false));
}

TEST(RichEditor, StyleKeysWorkFromTheRuns)
{
    TRichEditor Ed;
    Type(Ed, u"ab");
    Ed.SetSel(0, 1);
    Ed.KeyDown('I', false, true);
    Ed.SetSel(0, 2);
    Ed.KeyDown('B', false, true);
    const TRichDocument& D = Ed.Document();
    EXPECT_EQ(D.CharFormatAt(0).Effects & (CFE_BOLD | CFE_ITALIC), CFE_BOLD | CFE_ITALIC);
    EXPECT_EQ(D.CharFormatAt(1).Effects & (CFE_BOLD | CFE_ITALIC), CFE_BOLD);
    Ed.KeyDown('B', false, true);
    EXPECT_EQ(D.CharFormatAt(1).Effects & CFE_BOLD, 0u);
    EXPECT_TRUE(D.CharFormatAt(0).Effects & CFE_ITALIC);
    // With no selection the style goes to what is typed next.
    Ed.SetSel(2, 2);
    Ed.KeyDown('U', false, true);
    Type(Ed, u"c");
    EXPECT_TRUE(D.CharFormatAt(2).Effects & CFE_UNDERLINE);
    EXPECT_FALSE(D.CharFormatAt(1).Effects & CFE_UNDERLINE);
    // A million characters in ten thousand runs toggle at once.
    TRichDocument Big;
    TRichCharFormat F;
    for (Integer I = 0; I < 10000; ++I) {
        F.Height = 200 + (I % 2) * 20;
        Big.Append(String(100, u'x'), F);
    }
    TRichEditor Large;
    Large.SetDocument(std::move(Big));
    Large.SetSel(0, Large.Document().Length());
    Large.ToggleSelStyle(CFE_BOLD);
    EXPECT_EQ(Large.Document().Runs().size(), 10000u);
    EXPECT_TRUE(Large.Document().CharFormatAt(999999).Effects & CFE_BOLD);
}

TEST(RichEditor, UndoUpToItsLimit)
{
    TRichEditor Ed;
    Ed.SetUndoLimit(3);
    Type(Ed, u"abcde");
    Ed.SetSel(0, 2);
    Ed.ToggleSelStyle(CFE_BOLD);
    EXPECT_TRUE(Ed.Undo());
    EXPECT_FALSE(Ed.Document().CharFormatAt(0).Effects & CFE_BOLD);
    EXPECT_EQ(Ed.SelLength(), 2); // the selection comes back with it
    EXPECT_TRUE(Ed.Undo());
    EXPECT_TRUE(Ed.Undo());
    EXPECT_FALSE(Ed.CanUndo()); // the older steps are forgotten
    EXPECT_EQ(U8(Ed.Document().Text()), "abc");
    Ed.SetSel(3, 3);
    Ed.KeyDown(VK_RETURN, false, false);
    TRichParaFormat Centre;
    Centre.Alignment = PFA_CENTER;
    Ed.SetParaFormat(Centre, PFM_ALIGNMENT);
    Ed.KeyDown('Z', false, true);
    EXPECT_EQ(Ed.Document().Paras()[1].Format.Alignment, PFA_LEFT);
    Ed.KeyDown('Z', false, true);
    EXPECT_EQ(U8(Ed.Document().Text()), "abc");
    Ed.SetUndoLimit(0);
    Type(Ed, u"x");
    EXPECT_FALSE(Ed.CanUndo());
}

TEST(RichEditor, ProtectedTextAndLinks)
{
    TRichDocument Doc;
    ASSERT_EQ(ReadRtf(R"({\rtf1 open {\protect locked} end www.example.test. and )"
                      R"({\field{\*\fldinst HYPERLINK "https://one.test"}{\fldrslt one}} )"
                      R"({\field{\*\fldinst HYPERLINK "https://two.test"}{\fldrslt two}}})",
                  Doc),
        rrOk);
    TRichEditor Ed;
    Ed.SetDocument(Doc);
    const Integer Locked = Find(Ed.Document(), u"locked");
    // Refused without a handler; the handler is asked with the range.
    Ed.SetSel(Locked + 1, Locked + 3);
    EXPECT_FALSE(Ed.ReplaceSel(u"X"));
    Ed.SetSel(Locked + 2, Locked + 2);
    Ed.KeyPress(u'X');
    Ed.KeyDown(VK_BACK, false, false);
    EXPECT_EQ(Find(Ed.Document(), u"locked"), Locked);
    Integer AskedStart = -1, AskedEnd = -1;
    Ed.OnProtectChange = [&](Integer Start, Integer End, bool& Allow) {
        AskedStart = Start;
        AskedEnd = End;
        Allow = true;
    };
    Ed.SetSel(Locked + 1, Locked + 3);
    EXPECT_TRUE(Ed.ReplaceSel(u"X"));
    EXPECT_EQ(AskedStart, Locked + 1);
    EXPECT_EQ(AskedEnd, Locked + 3);
    Find(Ed.Document(), u"lXked");
    // Next to protected text typing is free.
    Ed.SetSel(Locked, Locked);
    AskedStart = -1;
    Ed.KeyPress(u'_');
    EXPECT_EQ(AskedStart, -1);

    // An address in the text is a link up to its last letter; an edit
    // that breaks it ends the link.
    const Integer Www = Find(Ed.Document(), u"www.");
    EXPECT_TRUE(Ed.Document().CharFormatAt(Www).Effects & CFE_LINK);
    EXPECT_TRUE(Ed.Document().CharFormatAt(Www + 15).Effects & CFE_LINK);
    EXPECT_FALSE(Ed.Document().CharFormatAt(Www + 16).Effects & CFE_LINK); // the full stop
    Ed.SetSel(Www + 3, Www + 4);
    Ed.ReplaceSel(u" ");
    EXPECT_FALSE(Ed.Document().CharFormatAt(Www).Effects & CFE_LINK);
    EXPECT_TRUE(Ed.Document().CharFormatAt(Find(Ed.Document(), u"one")).Effects & CFE_LINK);

    // A click is a press and a release on one link.
    std::vector<std::string> Clicks;
    Ed.OnURLClick = [&](const String& Url) { Clicks.push_back(U8(Url)); };
    const Integer One = Find(Ed.Document(), u"one"), Two = Find(Ed.Document(), u"two");
    Ed.MouseDown(One + 1);
    Ed.MouseUp(Two + 1);
    EXPECT_TRUE(Clicks.empty());
    Ed.MouseDown(Two);
    Ed.MouseUp(Two + 2);
    Ed.MouseDown(One + 1);
    Ed.MouseUp(One + 4); // released past it
    ASSERT_EQ(Clicks.size(), 1u);
    EXPECT_EQ(Clicks[0], "https://two.test");
}
