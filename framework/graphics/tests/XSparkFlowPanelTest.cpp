#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XSpark.VCL.Controls.h"

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
    EXPECT_EQ(Gap->BoundsRect(), TRect(0, 0, 8, 23));
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
