#include "richedit/RichPicture.h"
#include "richedit/RtfReader.h"
#include "richedit/RtfWriter.h"
#include "RichTestSupport.h"
#include <gtest/gtest.h>

using namespace RichTesting;
using Testing::U8;

namespace {

TRichDocument Read(std::string_view Rtf, TRtfReadResult Expected = rrOk)
{
    TRichDocument Doc;
    EXPECT_EQ(ReadRtf(Rtf, Doc), Expected) << Rtf;
    return Doc;
}

}

TEST(RtfReader, TextInTheCodePagesRichTextNames)
{
    struct TCase {
        const char* Rtf;
        const char16_t* Text;
    };
    const TCase Cases[] = {
        { R"({\rtf1\ansi caf\'e9 \'80})", u"caf\u00E9 \u20AC" },
        { R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8})", u"\u041F\u0440\u0438" },
        { R"({\rtf1\ansi{\fonttbl{\f0\fcharset0 A;}{\f1\fcharset161 G;}}\f1 \'e1\f0 \'e1})", u"\u03B1\u00E1" },
        { R"({\rtf1\ansi{\fonttbl{\f1\fcharset128 MS;}}\f1 \'82\'a0\'93\'fa})", u"\u3042\u65E5" },
        { R"({\rtf1\ansi{\fonttbl{\f1\fcharset134 S;}}\f1 \'d6\'d0})", u"\u4E2D" },
        // \u with its fallback of \uc characters, a pair of surrogates,
        // and a fallback cut short by the group's end.
        { R"({\rtf1\uc2\u1055\'3f\'3fa\uc1\u-10179?\u-8704?b{\uc3\u65?}c})", u"\u041Fa\U0001F600bAc" },
        { R"({\rtf1 a\~b\_c\emdash\tab\line\{\}\\})", u"a\u00A0b\u2011c\u2014\t\v{}\\" },
        // A bad \' escape is dropped, the text around it kept.
        { R"({\rtf1 x\'zzy\'4})", u"xzzy4" },
        // Destinations a reader does not know, and ones it knows it can skip.
        { R"({\rtf1 a{\*\unknown b{c}}d{\info{\title T}}e{\*\generator G;}f{\header H}g})", u"adefg" },
        // Bullet text the writer of the file put in for older readers.
        { R"({\rtf1{\pntext\'b7\tab}{\*\pn\pnlvlblt{\pntxtb\'b7}}x{\listtext 1.}y})", u"xy" },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(U8(Read(C.Rtf).Text()), U8(C.Text)) << C.Rtf;
}

TEST(RtfReader, CharacterAndParagraphFormats)
{
    const TRichDocument Doc = Read(R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern\fprq1 Courier New;}})"
                                   R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;})"
                                   R"(\pard\qc\li720\fi-360\ri100\sb60\sa120\tx1000\tqr\tx3000 )"
                                   R"(\b B\b0\i I\i0\ul U\ulnone\strike S\strike0\sub d\nosupersub\super u\nosupersub)"
                                   R"(\f1\fs36\cf1\highlight2 M\plain P\protect R\par)"
                                   R"(\pard{\*\pn\pnlvlblt\pnf0{\pntxtb\'b7}}bullet\par)"
                                   R"(\pard\qj\sl-300 last})");
    EXPECT_EQ(U8(Doc.Text()), "BIUSduMPR\rbullet\rlast");
    struct TExpect {
        const char16_t* At;
        Cardinal Effects;
    };
    for (const TExpect& E : { TExpect { u"B", CFE_BOLD }, { u"I", CFE_ITALIC }, { u"U", CFE_UNDERLINE },
             { u"S", CFE_STRIKEOUT }, { u"d", CFE_SUBSCRIPT }, { u"u", CFE_SUPERSCRIPT }, { u"P", 0 },
             { u"R", CFE_PROTECTED } })
        EXPECT_EQ(CharOf(Doc, E.At).Effects & ~(CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR), E.Effects) << U8(E.At);
    EXPECT_EQ(CharOf(Doc, u"B").Weight, 700);
    const TRichCharFormat& M = CharOf(Doc, u"M");
    EXPECT_EQ(U8(M.FaceName), "Courier New");
    EXPECT_EQ(M.PitchAndFamily, FIXED_PITCH);
    EXPECT_EQ(M.Height, 360);
    EXPECT_EQ(M.TextColor, TColor(0x0000FF));
    EXPECT_EQ(M.BackColor, TColor(0xFF0000));
    EXPECT_FALSE(M.Effects & (CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR));
    EXPECT_EQ(U8(CharOf(Doc, u"P").FaceName), "Arial");
    EXPECT_EQ(CharOf(Doc, u"P").Height, 240);

    const TRichParaFormat& First = ParaOf(Doc, u"B");
    EXPECT_EQ(First.Alignment, PFA_CENTER);
    EXPECT_EQ(First.StartIndent, 360);
    EXPECT_EQ(First.Offset, 360);
    EXPECT_EQ(First.RightIndent, 100);
    EXPECT_EQ(First.SpaceBefore, 60);
    EXPECT_EQ(First.SpaceAfter, 120);
    ASSERT_EQ(First.TabCount, 2);
    EXPECT_EQ(First.TabPosition(0), 1000);
    EXPECT_EQ(First.Tabs[1], (2 << 24) | 3000);
    EXPECT_EQ(ParaOf(Doc, u"bullet").Numbering, PFN_BULLET);
    EXPECT_EQ(ParaOf(Doc, u"last").Alignment, PFA_JUSTIFY);
    EXPECT_EQ(ParaOf(Doc, u"last").LineSpacingRule, 4);
    EXPECT_EQ(ParaOf(Doc, u"last").LineSpacing, 300);
}

TEST(RtfReader, LinksPicturesAndObjects)
{
    const RawBytes Png = SolidPng(2, 3, "blue");
    const std::string Hex = RichTesting::Hex(Png);
    const std::string Object = R"({\object\objemb{\*\objclass Paint.Picture}\objw10\objh10 not shown{\*\objdata 0102}{\result{\pict\pngblip\picwgoal300 )"
        + Hex + "}}}";
    const TRichDocument Doc = Read(R"({\rtf1 a{\field{\*\fldinst{HYPERLINK "https://x.test/p?q=1" }}{\fldrslt{\ul go}}}b)"
                                   R"({\field{\*\fldinst PAGE}{\fldrslt 7}})"
                                   R"({\field{\*\fldinst HYPERLINK \\l "part2"}{\fldrslt here}})"
                                   R"({\field{\*\fldinst HYPERLINK bare"quote}{\fldrslt !}})"
                                   R"({\*\shppict{\pict\pngblip\picw99\picwgoal600\pichgoal450 )"
                                   + Hex + R"(}}{\nonshppict{\pict\wmetafile8 0000}}{\pict\emfblip 00})" + Object + "c}");
    EXPECT_EQ(U8(Doc.Text()), "ago" "b7here!\uFFFC\uFFFCc");
    EXPECT_EQ(U8(CharOf(Doc, u"!").LinkTarget), "bare");
    EXPECT_TRUE(CharOf(Doc, u"go").Effects & CFE_LINK);
    EXPECT_TRUE(CharOf(Doc, u"go").Effects & CFE_UNDERLINE);
    EXPECT_EQ(U8(CharOf(Doc, u"go").LinkTarget), "https://x.test/p?q=1");
    EXPECT_FALSE(CharOf(Doc, u"b7").Effects & CFE_LINK);
    EXPECT_EQ(U8(CharOf(Doc, u"here").LinkTarget), "#part2");
    ASSERT_EQ(Doc.Objects().size(), 2u);
    const TRichPicture& P = Doc.Objects()[0].Picture;
    EXPECT_EQ(Doc.Objects()[0].Kind, rokPicture);
    EXPECT_EQ(P.Format, rpfPng);
    EXPECT_EQ(P.Data, Png);
    EXPECT_EQ(P.Width, 2); // from the picture itself, not \picw
    EXPECT_EQ(P.Height, 3);
    EXPECT_EQ(P.ShownWidth(), 600);
    EXPECT_EQ(Doc.Objects()[1].Kind, rokObject);
    EXPECT_EQ(Doc.Objects()[1].Source, Object);
    EXPECT_EQ(Doc.Objects()[1].Picture.Data, Png);

    // An object word inside another group's text is no object of its own.
    EXPECT_EQ(U8(Read(R"({\rtf1 a{b\object{\result{\pict\pngblip )" + Hex + "}}c}d}").Text()), "abd");

    TRtfReadOptions NoObjects;
    NoObjects.NoObjects = true;
    TRichDocument Plain;
    ReadRtf(R"({\rtf1 a{\pict\pngblip )" + Hex + "}" + Object + "b}", Plain, NoObjects);
    EXPECT_EQ(U8(Plain.Text()), "ab");
}

TEST(RtfReader, NotRtfAndDamage)
{
    TRichDocument Doc;
    EXPECT_EQ(ReadRtf("Hello", Doc), rrNotRtf);
    EXPECT_EQ(Doc.Length(), 0);
    // The text before damage stays, in its formats.
    const TRichDocument Open = Read(R"({\rtf1 kept {\b bold {\i deeper)", rrDamaged);
    EXPECT_EQ(U8(Open.Text()), "kept bold deeper");
    EXPECT_TRUE(CharOf(Open, u"deeper").Effects & CFE_ITALIC);
    // What follows the document's own group is not read.
    EXPECT_EQ(U8(Read(R"({\rtf1 in}out{\b more})").Text()), "in");
}

TEST(RtfWriter, WhatItWritesReadsBackTheSame)
{
    TRichDocument Doc;
    TRichCharFormat Plain;
    TRichCharFormat Fancy;
    Fancy.FaceName = u"Courier New";
    Fancy.PitchAndFamily = FIXED_PITCH;
    Fancy.Charset = 204;
    Fancy.Height = 280;
    Fancy.Effects = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE | CFE_STRIKEOUT | CFE_PROTECTED | CFE_AUTOBACKCOLOR;
    Fancy.Weight = 700;
    Fancy.TextColor = 0x123456;
    TRichCharFormat Sub = Plain;
    Sub.Effects |= CFE_SUBSCRIPT;
    Sub.Offset = -40;
    TRichCharFormat Link = Plain;
    Link.Effects |= CFE_LINK | CFE_UNDERLINE;
    Link.LinkTarget = u"https://x.test/\"q\"\\";
    Link.LinkTarget = u"https://x.test/%22q%22\\"; // a quote cannot go through a field
    TRichCharFormat Odd = Plain;
    Odd.FaceName = u"Semi;colon {brace} \u0428\t";
    Odd.BackColor = 0x00FF00;
    Odd.Effects &= ~CFE_AUTOBACKCOLOR;
    Odd.Effects |= CFE_HIDDEN;

    TRichObject Picture;
    Picture.Picture.Format = rpfPng;
    Picture.Picture.Data = SolidPng(2, 3, "blue");
    ReadPictureSize(Picture.Picture);
    Picture.Picture.GoalWidth = 500;
    Picture.Picture.ScaleY = 50;
    TRichDocument WithObject = Read(R"({\rtf1 {\object\objemb{\*\objdata 01}{\result{\pict\dibitmap0 )"
                                    R"(28000000010000000100000001001800000000000400000000000000000000000000000000000000ff000000}}}})");
    ASSERT_EQ(WithObject.Objects().size(), 1u);

    Doc.Append(u"Plain {\\} caf\u00E9 \u041F\u03B1\u65E5\U0001F600 tab\there\r", Plain);
    Doc.Append(u"Fancy", Fancy);
    Doc.Append(u" H", Plain);
    Doc.Append(u"2", Sub);
    Doc.Append(u"O ", Plain);
    Doc.Append(u"link", Link);
    Doc.Append(u"\uFFFC", Plain, { Picture });
    Doc.Append(u"odd\r", Odd);
    Doc.Append(u"\uFFFC", Plain, WithObject.Objects());
    Doc.Append(u"bullet\rlast", Plain);
    TRichParaFormat Para;
    Para.Alignment = PFA_CENTER;
    Para.StartIndent = 720;
    Para.Offset = -360;
    Para.RightIndent = 200;
    Para.SpaceBefore = 40;
    Para.SpaceAfter = 80;
    Para.LineSpacingRule = 5;
    Para.LineSpacing = 30;
    Para.TabCount = 2;
    Para.Tabs[0] = 500;
    Para.Tabs[1] = (3 << 24) | 2500;
    Doc.SetParaFormat(0, 1, Para, PFM_ALL2);
    TRichParaFormat Bullet;
    Bullet.Numbering = PFN_BULLET;
    Bullet.StartIndent = 360;
    Doc.SetParaFormat(Doc.Length() - 6, Doc.Length() - 6, Bullet, PFM_ALL2);
    TRichParaFormat Last;
    Last.Alignment = PFA_RIGHT;
    Last.LineSpacingRule = 4;
    Last.LineSpacing = 300;
    Doc.SetParaFormat(Doc.Length(), Doc.Length(), Last, PFM_ALL2);

    const RawBytes Rtf = WriteRtf(Doc);
    for (char C : Rtf)
        ASSERT_TRUE(Byte(C) < 0x80 && C != 0) << "not 7-bit: " << int(Byte(C));
    const TRichDocument Back = Read(Rtf);
    EXPECT_EQ(U8(Back.Text()), U8(Doc.Text()));
    EXPECT_EQ(Back.Paras(), Doc.Paras());
    EXPECT_EQ(Back.Objects(), Doc.Objects());
    ASSERT_EQ(Back.Runs().size(), Doc.Runs().size()) << Rtf;
    for (size_t I = 0; I < Doc.Runs().size(); ++I)
        EXPECT_TRUE(Back.Runs()[I] == Doc.Runs()[I]) << "run " << I << " at " << Doc.Runs()[I].Start;
    EXPECT_TRUE(Back == Doc);

    TRtfWriteOptions NoObjects;
    NoObjects.NoObjects = true;
    EXPECT_EQ(Read(WriteRtf(Doc, NoObjects)).Objects().size(), 0u);

    // A face name cut to its 31 characters where a space falls last.
    const TRichDocument Cut = Read(R"({\rtf1{\fonttbl{\f0 123456789012345678901234567890 tail;}}\f0 a})");
    EXPECT_EQ(U8(Cut.CharFormatAt(0).FaceName), "123456789012345678901234567890");
    EXPECT_TRUE(Read(WriteRtf(Cut)) == Cut);
}
