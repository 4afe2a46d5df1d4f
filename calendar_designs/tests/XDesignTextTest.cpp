#include "DesignTestSupport.h"
#include "calendar_designs/XDesign.Text.h"
#include <gtest/gtest.h>

using namespace DesignTesting;

namespace {

// The box of every pixel other than the page's white.
TRect InkBox(TBitmap* B)
{
    TRect R = Rect(B->Width(), B->Height(), -1, -1);
    for (Integer Y = 0; Y < B->Height(); ++Y)
        for (Integer X = 0; X < B->Width(); ++X)
            if (At(B, X, Y) != 0xFFFFFF)
                R = Rect(std::min(R.Left, X), std::min(R.Top, Y), std::max(R.Right, X), std::max(R.Bottom, Y));
    return R;
}

TXDTextItem* AddText(TXPageObject* Page, const String& Text)
{
    return AddItem<TXDTextItem>(Page, [&](TXDTextItem* I) {
        I->Font()->SetHeight(-20);
        I->SetStrProp(100, Text);
        I->SetAutoSize(true);
    });
}

TEST(DesignText, MeasuresFitsAndStretches)
{
    auto Page = NewPage(400, 100);
    TXDTextItem* T = AddText(Page.get(), u"Calendar");
    Page->LayoutPage(0, 0);
    const TSize S = T->MeasureText();
    EXPECT_GT(S.cx, 40);
    EXPECT_EQ(T->Width(), S.cx);
    EXPECT_EQ(T->Height(), S.cy);
    EXPECT_DOUBLE_EQ(T->GetFloatProp(100), 1.0);

    // A new text is fitted on the next layout pass.
    T->SetStrProp(100, u"Calendar Calendar");
    Page->LayoutNeeded = true;
    Page->LayoutPage(0, 0);
    EXPECT_GT(T->Width(), S.cx * 3 / 2);

    // An empty text measures 0 x 0 and leaves the size alone.
    T->SetStrProp(100, u"");
    EXPECT_EQ(T->MeasureText(), TSize {});
    const Integer Before = T->Width();
    T->FitToText(1);
    EXPECT_EQ(T->Width(), Before);

    // A line break is still one line.
    T->SetStrProp(100, u"Ab\r\nCd");
    const TSize Broken = T->MeasureText();
    T->SetStrProp(100, u"AbCd");
    EXPECT_EQ(Broken.cy, T->MeasureText().cy);

    // Not auto-sized, a box twice the size draws the text twice as large.
    // (Text replays scale with the box's height; a box of another shape
    // keeps the font's proportions.)
    T->SetStrProp(100, u"Calendar");
    T->SetAutoSize(false);
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    Page->RenderPage(B.get(), true);
    const TRect Small = InkBox(B.get());
    T->SetIntProp(dipWidth, S.cx * 2);
    T->SetIntProp(dipHeight, S.cy * 2);
    Page->RenderPage(B.get(), true);
    SaveDesignPicture(B.get(), "text-twice.png");
    const TRect Large = InkBox(B.get());
    EXPECT_NEAR(double(Large.Width()), 2.0 * Small.Width(), 6.0);
    EXPECT_NEAR(double(Large.Height()), 2.0 * Small.Height(), 4.0);
}

TEST(DesignText, ShadowsAndEmbossing)
{
    auto Page = NewPage(300, 120);
    Page->GetBgItem()->SetColorProp(100, 0x808080);
    const TXDTextStyle Styles[] = { tsFlat, tsFlat, tsBlendRaised, tsBlendLowered };
    TXDTextItem* Items[4];
    for (Integer K = 0; K < 4; ++K)
        Items[K] = AddItem<TXDTextItem>(Page.get(), [&](TXDTextItem* I) {
            I->Font()->SetHeight(-24);
            I->Font()->SetStyle(StyleBit(fsBold));
            I->SetStrProp(100, u"Mar 2019");
            I->SetAutoSize(true);
            I->SetTextStyle(Styles[K]);
            I->SetColorProp(100, 0xFFFFFF);
            I->SetByteProp(100, 100);
            I->SetColorProp(50, 0);
            I->SetIntProp(50, K == 1 ? 2 : 0);
            I->SetIntProp(51, K == 1 ? 2 : 0);
            I->SetIntProp(dipLeft, 10 + (K % 2) * 140);
            I->SetIntProp(dipTop, 10 + (K / 2) * 55);
        });
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    Page->RenderPage(B.get(), true);
    SaveDesignPicture(B.get(), "text-styles.png");
    auto Count = [&](Integer K, TColor C) {
        Integer N = 0;
        const TRect R = Items[K]->GetBoundsRect();
        for (Integer Y = R.Top; Y < R.Bottom; ++Y)
            for (Integer X = R.Left; X < R.Right; ++X)
                N += At(B.get(), X, Y) == C;
        return N;
    };
    EXPECT_EQ(Count(0, 0), 0); // no offsets, no shadow
    EXPECT_GT(Count(0, 0xFFFFFF), 20);
    EXPECT_GT(Count(1, 0), 20);
    // Embossed text lifts and sinks the grey page.
    for (Integer K : { 2, 3 }) {
        Integer Lighter = 0, Darker = 0;
        const TRect R = Items[K]->GetBoundsRect();
        for (Integer Y = R.Top; Y < R.Bottom; ++Y)
            for (Integer X = R.Left; X < R.Right; ++X) {
                const Integer G = At(B.get(), X, Y) & 0xFF;
                Lighter += G > 0x90;
                Darker += G < 0x70;
            }
        EXPECT_GT(Lighter, 20);
        EXPECT_GT(Darker, 20);
    }
}

TEST(DesignText, MonthTextFollowsTheDateDefault)
{
    auto Page = NewPage(400, 100);
    auto* M = AddItem<TXDMonthTextItem>(Page.get(), [](TXDMonthTextItem* I) { I->SetAutoSize(true); });
    Page->DefaultList()->SetDate(15, 3, 2019);
    Page->LayoutPage(0, 0);
    const TXFormatSettings& F = M->FormatSettings;
    EXPECT_EQ(M->Text(), F.LongMonthNames[2] + u" 2019");
    EXPECT_FALSE(F.LongMonthNames[2].empty());
    M->SetIntProp(150, 101);
    Page->DefaultList()->Changed = true;
    Page->LayoutPage(0, 0);
    EXPECT_EQ(M->Text(), F.LongMonthNames[3] + u" 2019");
    M->SetIntProp(150, 110);
    Page->DefaultList()->Changed = true;
    Page->LayoutPage(0, 0);
    EXPECT_EQ(M->Text(), F.LongMonthNames[0] + u" 2020");
}

}
