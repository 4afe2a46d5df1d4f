#include "vcl/tests/ControlTestSupport.h"
#include "ScopedDpi.h"
#include "graphics/XExtCtrls.FlowPanel.h"
#include "graphics/XSpark.VCL.Controls.h"
#include "win/Metrics.h"

using namespace ControlTests;

namespace {

// A panel that counts how often it lays its controls out.
class TAlignCounter : public TProbePanel {
    X_CLASS_TEMPLATE(TAlignCounter, TProbePanel, u"TAlignCounter")
public:
    Integer Aligns = 0;
    void AlignControls(TControl* AControl, TRect& Rect) override
    {
        ++Aligns;
        inherited::AlignControls(AControl, Rect);
    }
};

class Spacers : public TFormFixture { };

} // namespace

TEST_F(Spacers, AWrapChangeLaysTheParentOutAndNothingShowsAtRunTime)
{
    auto* Host = Add<TAlignCounter>(Form, { 0, 0, 200, 100 }, clWhite);
    auto* Gap = New<TXSpacer>(Form);
    EXPECT_EQ(Gap->BoundsRect(), Rect(0, 0, 8, 23));
    EXPECT_FALSE(Gap->Wrap());
    Gap->SetBounds(10, 10, 30, 30);
    Gap->SetParent(Host);
    const Integer Before = Host->Aligns;
    Gap->SetWrap(true);
    EXPECT_EQ(Host->Aligns, Before + 1);
    Gap->SetWrap(true); // no change, no layout
    EXPECT_EQ(Host->Aligns, Before + 1);
    Gap->SetWrap(false);
    EXPECT_EQ(Host->Aligns, Before + 2);
    Form->Show();
    Pump();
    EXPECT_EQ(PixelAt({ 10, 10 }) & 0xFFFFFF, ColorToRGB(clWhite));
    EXPECT_EQ(PixelAt({ 25, 25 }) & 0xFFFFFF, ColorToRGB(clWhite));
    // At design time its outline shows where the gap is.
    Gap->SetComponentStateItem(csDesigning, true);
    Gap->Invalidate();
    Pump();
    EXPECT_NE(PixelAt({ 10, 10 }) & 0xFFFFFF, ColorToRGB(clWhite));
    EXPECT_EQ(PixelAt({ 25, 25 }) & 0xFFFFFF, ColorToRGB(clWhite));
    // Without a parent a change lays nothing out.
    Gap->SetParent(nullptr);
    Gap->SetWrap(true);
    EXPECT_TRUE(Gap->Wrap());
}

namespace {

// One child of a flow panel: its size and Tag; Wrap makes it a wrapping
// spacer, Hidden an invisible control.
struct TChild {
    Integer W, H;
    NativeInt Tag = 0;
    bool Wrap = false;
    bool Hidden = false;
};

class FlowPanels : public TFormFixture {
protected:
    TXFlowPanel* AddFlow(Integer Width, Integer Margin = 6, Integer HorzSpacing = 6, Integer VertSpacing = 6)
    {
        auto* Flow = New<TXFlowPanel>(Form);
        Flow->SetBounds(0, 0, Width, 300);
        for (Integer Side = 0; Side < 4; ++Side)
            Flow->Padding()->SetWidth(Side, Word(Margin));
        Flow->SetHorzSpacing(HorzSpacing);
        Flow->SetVertSpacing(VertSpacing);
        Flow->SetParent(Form);
        return Flow;
    }
    TControl* AddChild(TXFlowPanel* Flow, const TChild& C)
    {
        TControl* Made;
        if (C.Wrap) {
            auto* Spacer = New<TXSpacer>(Form);
            Spacer->SetWrap(true);
            Made = Spacer;
        } else
            Made = New<TProbeShape>(Form);
        Made->SetBounds(0, 0, C.W, C.H);
        Made->SetTag(C.Tag);
        Made->SetVisible(!C.Hidden);
        Made->SetParent(Flow);
        return Made;
    }
};

} // namespace

TEST_F(FlowPanels, RowsOfEdgeCasesAsATable)
{
    struct TCase {
        const char* What;
        Integer Width, Margin, HorzSpacing;
        std::vector<TChild> Children;
        std::vector<TPoint> Expected; // each child's top-left, in insertion order
        Integer ClientHeight;
    } const Cases[] = {
        { "one row, centred vertically", 100, 6, 6, { { 20, 10 }, { 20, 20 } }, { { 6, 11 }, { 32, 6 } }, 32 },
        { "the third does not fit", 60, 6, 6, { { 20, 10 }, { 20, 10 }, { 20, 10 } },
            { { 6, 6 }, { 32, 6 }, { 6, 22 } }, 38 },
        { "a control wider than the panel stays on its empty row", 50, 6, 6, { { 100, 10 }, { 10, 10 } },
            { { 6, 6 }, { 6, 22 } }, 38 },
        { "a wide control after another starts a row of its own", 50, 6, 6, { { 10, 10 }, { 100, 10 }, { 10, 10 } },
            { { 6, 6 }, { 6, 22 }, { 6, 38 } }, 54 },
        { "a left margin wider than the spacing starts no empty row", 50, 10, 2, { { 100, 10 }, { 10, 10 } },
            { { 10, 10 }, { 10, 26 } }, 42 },
        { "a wrapping spacer ends the row though the next would fit", 200, 6, 6,
            { { 20, 10 }, { 8, 23, 0, true }, { 20, 10 } }, { { 6, 12 }, { 32, 6 }, { 6, 35 } }, 51 },
        { "an invisible control takes no place", 100, 6, 6, { { 20, 10 }, { 30, 30, 0, false, true }, { 20, 10 } },
            { { 6, 6 }, { 0, 0 }, { 32, 6 } }, 22 },
        { "ordered by Tag, equal Tags in the order they came", 200, 6, 6,
            { { 10, 10, 3 }, { 11, 10, 1 }, { 12, 10, 2 }, { 13, 10, 1 } },
            { { 60, 6 }, { 6, 6 }, { 42, 6 }, { 23, 6 } }, 22 },
        { "empty: the margins and one spacing", 100, 6, 6, {}, {}, 12 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        TXFlowPanel* Flow = AddFlow(C.Width, C.Margin, C.HorzSpacing);
        std::vector<TControl*> Made;
        for (const TChild& Child : C.Children)
            Made.push_back(AddChild(Flow, Child));
        for (size_t I = 0; I < Made.size(); ++I)
            EXPECT_EQ(Point(Made[I]->Left(), Made[I]->Top()), C.Expected[I]) << "child " << I;
        EXPECT_EQ(Flow->ClientHeight(), C.ClientHeight);
        Flow->Free();
    }
}

TEST_F(FlowPanels, ListOrderFollowsInsertionsLoadingAndDepartures)
{
    TXFlowPanel* Flow = AddFlow(300);
    TControl* A = AddChild(Flow, { 10, 10, 2 });
    TControl* B = AddChild(Flow, { 10, 10, 1 });
    EXPECT_LT(B->Left(), A->Left());
    // A new Tag counts at the next insertion.
    A->SetTag(0);
    EXPECT_LT(B->Left(), A->Left());
    TControl* C = AddChild(Flow, { 10, 10, 5 });
    EXPECT_LT(A->Left(), B->Left());
    EXPECT_LT(B->Left(), C->Left());
    // ... or at the end of loading.
    C->SetTag(-1);
    Flow->Loaded();
    EXPECT_EQ(Flow->FlowList()->Items(0), C);
    // A control that goes to another parent, or is freed, leaves the list
    // and the rest close up.
    auto* Other = Add<TProbePanel>(Form, { 0, 200, 100, 250 }, clWhite);
    A->SetParent(Other);
    A->SetBounds(50, 5, 10, 10);
    Flow->Realign();
    EXPECT_EQ(A->BoundsRect(), Rect(50, 5, 60, 15));
    EXPECT_EQ(Flow->FlowList()->Count(), 2);
    C->Free();
    EXPECT_EQ(Flow->FlowList()->Count(), 1);
    EXPECT_EQ(B->Left(), 6);
    // A spacing change lays the rows out again.
    AddChild(Flow, { 10, 10, 9 });
    Flow->SetHorzSpacing(20);
    EXPECT_EQ(static_cast<TControl*>(Flow->FlowList()->Items(1))->Left(), 6 + 10 + 20);
}

TEST_F(FlowPanels, AChildSizedOrHiddenReflowsTheRows)
{
    TXFlowPanel* Flow = AddFlow(80);
    TControl* A = AddChild(Flow, { 20, 10 });
    TControl* B = AddChild(Flow, { 20, 10 });
    TControl* C = AddChild(Flow, { 20, 10 });
    EXPECT_EQ(C->Top(), 22); // the third wraps
    A->SetVisible(false);
    EXPECT_EQ(Point(B->Left(), B->Top()), Point(6, 6));
    EXPECT_EQ(Point(C->Left(), C->Top()), Point(32, 6));
    B->SetWidth(70);
    EXPECT_EQ(Point(C->Left(), C->Top()), Point(6, 22));
    B->SetBounds(0, 0, 20, 30); // moved by hand: put back in its row
    EXPECT_EQ(Point(B->Left(), B->Top()), Point(6, 6));
    EXPECT_EQ(Point(C->Left(), C->Top()), Point(32, 16)); // centred in the higher row
}

TEST_F(FlowPanels, AClientAlignedPanelSizesItsParentToTheRows)
{
    auto* Host = Add<TProbePanel>(Form, { 10, 10, 110, 400 }, clWhite);
    auto* Flow = New<TXFlowPanel>(Form);
    Flow->SetParent(Host);
    Flow->SetAlign(alClient);
    for (Integer I = 0; I < 5; ++I)
        AddChild(Flow, { 40, 20 });
    // Two a row in 100 pixels: three rows of 20, four spacings.
    EXPECT_EQ(Flow->ClientHeight(), 6 + 3 * 26);
    EXPECT_EQ(Host->ClientHeight(), 6 + 3 * 26);
}

TEST_F(FlowPanels, GalleryOfAFlowPanelAt96And144Dpi)
{
    const TColor Colors[] = { 0x3050D0, 0x40A040, 0xC07020, 0x8040A0, 0x2090C0, 0x606060, 0xD04080 };
    for (Integer Dpi : { 96, 144 }) {
        TScopedDpi Scaled(Dpi);
        ::Screen->SetPixelsPerInch(Dpi);
        Form->SetBounds(100, 100, MulDiv(260, Dpi, 96), MulDiv(200, Dpi, 96));
        Form->SetColor(clBtnFace);
        auto* Flow = New<TXFlowPanel>(Form);
        Flow->SetBounds(0, 0, MulDiv(240, Dpi, 96), 10);
        Flow->SetParent(Form);
        Flow->SetColor(clWindow);
        std::vector<TControl*> Shown;
        for (Integer I = 0; I < 7; ++I) {
            const bool Wrap = I == 2;
            TControl* C = AddChild(Flow, { MulDiv(Wrap ? 8 : 30 + 12 * (I % 3), Dpi, 96),
                MulDiv(Wrap ? 23 : 16 + 8 * (I % 4), Dpi, 96), I, Wrap });
            C->SetColor(Colors[I]);
            Shown.push_back(C);
        }
        Form->Show();
        Pump();
        SavePicture(Form->Handle(), "flow-panel-" + std::to_string(Dpi) + ".png");
        // The spacer broke the row: the fourth control starts the second.
        EXPECT_EQ(Shown[3]->Left(), 6);
        EXPECT_GT(Shown[3]->Top(), Shown[0]->Top() + Shown[0]->Height());
        Flow->Free();
    }
    ::Screen->SetPixelsPerInch(96);
}
