#include "RichTestSupport.h"
#include "gdi/Metafile.h"
#include "richedit/RichLayout.h"
#include <cstring>

using namespace RichTesting;

namespace {

TRichDocument Paragraphs(Integer Count)
{
    TRichDocument Doc;
    TRichCharFormat F;
    for (Integer I = 0; I < Count; ++I) {
        F.Height = 160 + (I % 5) * 60;
        F.Effects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR | (I % 3 ? 0 : CFE_BOLD);
        Doc.Append(u"Paragraph " + S(std::to_string(I)) + u" holds words enough to wrap onto a second line here.", F);
        if (I + 1 < Count)
            Doc.Append(u"\r", F);
    }
    return Doc;
}

}

TEST(RichLayout, PagesTakeEveryLineOnceAndStopAtTheirBottom)
{
    const TRichDocument Doc = Paragraphs(40);
    const TRect Rect { 100, 200, 100 + 3 * 1440, 200 + 2 * 1440 };
    Integer Next = 0, Pages = 0;
    while (Next < Doc.Length()) {
        const TRichPage Page = FormatRange(Doc, Next, Rect);
        ASSERT_FALSE(Page.Lines.empty()) << "page " << Pages;
        EXPECT_EQ(Page.Lines.front().Start, Next);
        for (size_t I = 0; I < Page.Lines.size(); ++I) {
            const TRichLine& L = Page.Lines[I];
            EXPECT_LT(L.Start, L.End);
            EXPECT_GE(L.Top, Rect.Top);
            EXPECT_LE(L.Top + L.Height, Rect.Bottom);
            if (I > 0) {
                EXPECT_EQ(L.Start, Page.Lines[I - 1].End); // nothing lost or doubled
                EXPECT_GE(L.Top, Page.Lines[I - 1].Top + Page.Lines[I - 1].Height);
            }
            for (const TRichLine::TPiece& P : L.Pieces) {
                EXPECT_GE(P.X, Rect.Left - 1);
                EXPECT_LE(P.X + P.Width, Rect.Right + 20);
            }
        }
        EXPECT_EQ(Page.Bottom, Page.Lines.back().Top + Page.Lines.back().Height);
        EXPECT_EQ(Page.Next, Page.Lines.back().End);
        Next = Page.Next;
        ASSERT_LT(++Pages, 100);
    }
    EXPECT_GT(Pages, 3);
    // A page as wide as the text needs takes it all, each paragraph one line.
    const TRichPage Wide = FormatRange(Doc, 0, TRect { 0, 0, 20 * 1440, 30 * 1440 });
    EXPECT_EQ(Wide.Next, Doc.Length());
    EXPECT_EQ(Wide.Lines.size(), Doc.Paras().size());
}

TEST(RichLayout, EdgesOfARange)
{
    const TRect Page { 0, 0, 4 * 1440, 1000 };
    TRichDocument Empty;
    const TRichPage None = FormatRange(Empty, 0, Page);
    EXPECT_TRUE(None.Lines.empty());
    EXPECT_EQ(None.Next, 0);
    EXPECT_EQ(None.Bottom, 0);

    // A line taller than the page: nothing fits, unless the pass must take
    // a line (a printer's), which then takes it cut.
    TRichDocument Tall;
    TRichCharFormat Big;
    Big.Height = 200 * 20;
    Tall.Append(u"T\rsmall", Big);
    EXPECT_EQ(FormatRange(Tall, 0, Page).Next, 0);
    const TRichPage Taken = FormatRange(Tall, 0, Page, true);
    ASSERT_EQ(Taken.Lines.size(), 1u);
    EXPECT_EQ(Taken.Next, 2);

    // Alignment, indents and tab stops place the pieces.
    TRichDocument Doc;
    Doc.Append(u"left\rright\rcentre\rindented\ra\tb", TRichCharFormat());
    TRichParaFormat P;
    P.Alignment = PFA_RIGHT;
    Doc.SetParaFormat(5, 5, P, PFM_ALIGNMENT);
    P.Alignment = PFA_CENTER;
    Doc.SetParaFormat(11, 11, P, PFM_ALIGNMENT);
    P.StartIndent = 1440;
    Doc.SetParaFormat(18, 18, P, PFM_STARTINDENT);
    P.TabCount = 1;
    P.Tabs[0] = 2000;
    Doc.SetParaFormat(27, 27, P, PFM_TABSTOPS);
    const TRichPage Laid = FormatRange(Doc, 0, TRect { 100, 0, 100 + 4 * 1440, 5000 });
    ASSERT_EQ(Laid.Lines.size(), 5u);
    const auto& L = Laid.Lines;
    EXPECT_NEAR(L[0].Pieces[0].X, 100, 2);
    EXPECT_NEAR(L[1].Pieces[0].X + L[1].Pieces[0].Width, 100 + 4 * 1440, 20);
    EXPECT_NEAR(L[2].Pieces[0].X + L[2].Pieces[0].Width / 2, 100 + 2 * 1440, 20);
    EXPECT_NEAR(L[3].Pieces[0].X, 100 + 1440, 2);
    ASSERT_EQ(L[4].Pieces.size(), 3u); // "a", the tab, "b"
    EXPECT_NEAR(L[4].Pieces[2].X, 100 + 2000, 2);
}

// A window's bitmap and a metafile replayed share one drawing path: the
// same page gives the same pixels both ways.
TEST(RichLayout, AMetafileReplaysTheBitmapsPixels)
{
    TRichDocument Doc = Paragraphs(6);
    TRichCharFormat Red;
    Red.TextColor = 0x0000FF;
    Red.Effects = CFE_UNDERLINE | CFE_AUTOBACKCOLOR;
    Doc.SetCharFormat(10, 30, Red, CFM_COLOR | CFM_UNDERLINE);
    TRichParaFormat Bullet;
    Bullet.Numbering = PFN_BULLET;
    Bullet.StartIndent = 360;
    Doc.SetParaFormat(Doc.Paras()[2].Start, Doc.Paras()[2].Start, Bullet, PFM_NUMBERING | PFM_STARTINDENT);
    const TRichPage Page = FormatRange(Doc, 0, TRect { 150, 150, 3 * 1440, 4 * 1440 });
    const Integer W = 3 * 96, H = TwipsToPixels(Page.Bottom + 150, 96);

    auto Blank = [&] {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        Bmp->SetPixelFormat(pf24bit);
        Bmp->SetSize(W, H);
        Bmp->Canvas()->Brush()->SetColor(clWhite);
        Bmp->Canvas()->FillRect(Rect(0, 0, W, H));
        return Bmp;
    };
    TOwnedPtr<TBitmap> Direct = Blank();
    DrawRange(Direct->Canvas(), Doc, Page, 96, 96);
    TOwnedPtr<TMetafile> Mf(MakeOwned<TMetafile>());
    Mf->SetSize(W, H);
    {
        TOwnedPtr<TMetafileCanvas> C(New<TMetafileCanvas>(Mf.get()));
        DrawRange(C.get(), Doc, Page, 96, 96);
    }
    TOwnedPtr<TBitmap> Replayed = Blank();
    Mf->Draw(Replayed.get(), Rect(0, 0, W, H));
    SaveRendering(Direct.get(), "richedit-layout-96.png");
    EXPECT_GT(CountNear(Direct.get(), 255, 0, 0, 60), 20);
    Integer Differ = 0;
    for (Integer Y = 0; Y < H; ++Y)
        Differ += std::memcmp(Direct->ScanLine(Y), Replayed->ScanLine(Y), size_t(W) * 3) != 0;
    EXPECT_EQ(Differ, 0);
}
