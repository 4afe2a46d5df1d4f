#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.ScreenMetrics.h"
#include "graphics/XSpark.VCL.Panels.h"

using namespace ControlTests;

namespace {

class GroupBoxes : public TFormFixture {
protected:
    TXGroupBox* AddGroup(TRect R, const String& Caption, TXFrameStyle Style)
    {
        auto* G = New<TXGroupBox>(Form);
        G->SetParent(Form);
        G->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        G->SetColor(clBtnFace);
        G->SetCaption(Caption);
        G->SetFrameStyle(Style);
        return G;
    }
    Integer ZeroHeight(TControl* C)
    {
        TOwnedPtr<TCanvas> Measure(MakeOwned<TCanvas>());
        Measure->SetFont(C->Font());
        return Measure->TextHeight(u"0");
    }
};

}

TEST_F(GroupBoxes, ChildrenAlignInsideTheFrameOfEachStyle)
{
    auto* G = AddGroup({ 10, 10, 210, 110 }, u"Caption", xfsGroupBox);
    EXPECT_EQ(G->Width(), 200);
    auto* Child = Add<TProbePanel>(G, { 0, 0, 5, 5 }, clWhite);
    Child->SetAlign(alClient);
    const Integer H = ZeroHeight(G);
    struct TCase {
        TXFrameStyle Style;
        bool Transparent;
        String Caption;
        TRect Expected;
    };
    const TCase Cases[] = {
        { xfsGroupBox, false, u"Caption", { 2, H + 2, 198, 98 } },
        { xfsGroupBox, true, u"", { 2, H + 2, 198, 98 } }, // the band stays without a caption
        { xfsDivider, false, u"Caption", { 0, H + 1, 200, 100 } },
        { xfsDivider, true, u"", { 0, H + 1, 200, 100 } },
        { xfsNone, false, u"Caption", { 0, 0, 200, 100 } },
        { xfsNone, true, u"", { 0, 0, 200, 100 } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(int(C.Style));
        G->SetFrameStyle(C.Style);
        G->SetTransparent(C.Transparent);
        G->SetCaption(C.Caption);
        EXPECT_EQ(Child->BoundsRect(), C.Expected);
        EXPECT_EQ(G->ControlStyle().Contains(csParentBackground), C.Transparent);
        EXPECT_EQ((GetWindowLongPtr(G->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0, C.Transparent);
    }
    // Too small for its frame: an empty area, never a negative one.
    G->SetFrameStyle(xfsGroupBox);
    G->SetBounds(10, 10, 3, 3);
    EXPECT_GE(Child->Width(), 0);
    EXPECT_GE(Child->Height(), 0);
}

TEST_F(GroupBoxes, FramesDividersAndCaptionsAsDrawn)
{
    Form->SetColor(clBtnFace);
    Form->SetBounds(100, 100, 440, 240);
    auto* Framed = AddGroup({ 10, 10, 210, 110 }, u"Pictures", xfsGroupBox);
    auto* Gapless = AddGroup({ 220, 10, 420, 110 }, u"", xfsGroupBox);
    auto* Divided = AddGroup({ 10, 120, 210, 160 }, u"Options", xfsDivider);
    auto* Bare = AddGroup({ 220, 120, 420, 220 }, u"None", xfsNone);
    auto* Disabled = AddGroup({ 10, 170, 210, 220 }, u"Disabled", xfsGroupBox);
    Disabled->SetEnabled(false);
    Form->Show();
    Pump();
    SavePicture(Form->Handle(), "group-boxes.png");
    TOwnedPtr<TBitmap> P(MakeOwned<TBitmap>());
    ASSERT_TRUE(GetWindowBitmap(Form->Handle(), P.get()));
    const TColor Shadow = ColorToRGB(clBtnShadow);
    const Integer Top = Framed->Font()->Metrics().Height() / 2;
    // The shadow edge runs left of the caption, breaks under it, goes on.
    EXPECT_EQ(P->Pixel(10 + 4, 10 + Top), Shadow);
    EXPECT_NE(P->Pixel(10 + 12, 10 + Top), Shadow);
    EXPECT_EQ(P->Pixel(10 + 190, 10 + Top), Shadow);
    // Without a caption: no gap.
    EXPECT_EQ(P->Pixel(220 + 12, 10 + Gapless->Font()->Metrics().Height() / 2), Shadow);
    // The divider begins six pixels after the caption.
    TOwnedPtr<TCanvas> Measure(MakeOwned<TCanvas>());
    Measure->SetFont(Divided->Font());
    const TSize Caption = Measure->TextExtent(u"Options");
    const Integer Line = 120 + (Caption.cy - 2) / 2;
    EXPECT_EQ(P->Pixel(10 + 8 + Caption.cx + 3, Line), ColorToRGB(clBtnFace));
    EXPECT_NE(P->Pixel(10 + 8 + Caption.cx + ScaledSizes[6] + 2, Line), ColorToRGB(clBtnFace));
    // xfsNone fills its area with the window colour.
    EXPECT_EQ(P->Pixel(220 + 100, 120 + 50), ColorToRGB(clWindow));
    (void)Bare;
}
