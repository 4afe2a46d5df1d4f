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

TEST_F(GroupBoxes, TheCaptionsAcceleratorFocusesTheFirstChild)
{
    auto* G = AddGroup({ 10, 10, 210, 110 }, u"&Pictures", xfsGroupBox);
    auto* First = Add<TProbePanel>(G, { 10, 30, 50, 50 }, clWhite);
    Add<TProbePanel>(G, { 60, 30, 100, 50 }, clWhite);
    auto* Outside = Add<TProbePanel>(Form, { 220, 10, 260, 50 }, clWhite);
    Form->Show();
    Pump();
    struct TCase {
        const char* Name;
        String Caption;
        Char Key;
        bool Enabled;
        LRESULT Taken;
    };
    const TCase Cases[] = {
        { "its letter", u"&Pictures", u'p', true, 1 },
        { "another letter", u"&Pictures", u'i', true, 0 },
        { "an ampersand shown", u"&&Pictures", u'p', true, 0 },
        { "a disabled box", u"&Pictures", u'p', false, 0 },
    };
    for (const TCase& C : Cases) {
        Outside->SetFocus();
        Pump();
        G->SetCaption(C.Caption);
        G->SetEnabled(C.Enabled);
        EXPECT_EQ(G->Perform(CM_DIALOGCHAR, C.Key), C.Taken) << C.Name;
        EXPECT_EQ(First->Focused(), C.Taken == 1) << C.Name;
        G->SetEnabled(true);
    }
    // From the keyboard: Alt and the letter.
    Outside->SetFocus();
    Pump();
    G->SetCaption(u"&Pictures");
    PostInput(TInputEvent::KeyEvent(VK_MENU, true));
    PostInput(TInputEvent::KeyEvent('P', true, U'p'));
    PostInput(TInputEvent::KeyEvent('P', false));
    PostInput(TInputEvent::KeyEvent(VK_MENU, false));
    Pump();
    EXPECT_TRUE(First->Focused());
}

TEST_F(GroupBoxes, AScrollBoxScrollsSmoothlyAndTellsOfItsAlignmentAndSize)
{
    auto* Box = New<TXScrollBox>(Form);
    Integer Aligned = 0, Sized = 0;
    Box->OnAdjustClientRect = [&](TObject*) { ++Aligned; };
    Box->OnSizeMessage = [&](TObject*) { ++Sized; };
    Box->SetParent(Form);
    Box->SetBounds(10, 10, 200, 100);
    Form->Show();
    Pump();
    for (TControlScrollBar* Bar : { Box->HorzScrollBar(), Box->VertScrollBar() }) {
        EXPECT_TRUE(Bar->Smooth());
        EXPECT_TRUE(Bar->Tracking());
    }
    Add<TProbePanel>(Box, { 0, 0, 100, 1000 }, clWhite);
    Pump();
    // Smooth: an arrow moves a tenth of the page.
    EXPECT_EQ(Box->VertScrollBar()->Increment(), Box->ClientHeight() / 10);
    const Integer AlignedBefore = Aligned, SizedBefore = Sized;
    Box->SetBounds(10, 10, 220, 120);
    Pump();
    EXPECT_GT(Aligned, AlignedBefore);
    EXPECT_GT(Sized, SizedBefore);
}

TEST_F(GroupBoxes, AScrollBarsWheelMovesItByTheDeltaWithinItsRange)
{
    auto* Bar = New<TXScrollBar>(Form);
    Bar->SetParent(Form);
    Bar->SetBounds(10, 10, 200, 17);
    Bar->SetParams(500, 0, 1000);
    Bar->SetPageSize(100);
    std::vector<std::pair<TScrollCode, Integer>> Scrolls;
    Bar->OnScroll = [&](TObject*, TScrollCode Code, Integer& Pos) {
        Scrolls.push_back({ Code, Pos });
        if (Pos == 140)
            Pos = 150; // the handler has the last word
    };
    Form->Show();
    Pump();
    struct TCase {
        Integer From, Delta, To;
    };
    const TCase Cases[] = {
        { 500, -WHEEL_DELTA, 620 },
        { 500, WHEEL_DELTA, 380 },
        { 500, -3 * WHEEL_DELTA, 860 },
        { 880, -WHEEL_DELTA, 901 }, // the last page ends at Max
        { 60, WHEEL_DELTA, 0 },
        { 260, WHEEL_DELTA, 150 },
    };
    for (const TCase& C : Cases) {
        Bar->SetPosition(C.From);
        Scrolls.clear();
        const TPoint S = Screen({ 50, 15 });
        PostInput(TInputEvent::WheelEvent({ S.X, S.Y }, C.Delta));
        Pump();
        EXPECT_EQ(Bar->Position(), C.To) << C.From << " " << C.Delta;
        ASSERT_EQ(Scrolls.size(), 1u);
        EXPECT_EQ(Scrolls[0].first, scPosition);
        EXPECT_EQ(Scrolls[0].second, C.From - C.Delta);
    }
}
