#include "vcl/tests/ControlTestSupport.h"
#include "graphics/XExtCtrls.h"
#include "graphics/XSkin.h"
#include "graphics/XSpark.VCL.h"
#include "win/WindowTree.h"

using namespace ControlTests;

namespace {

// Counts the skin-changed broadcasts a control hears.
class TSkinProbe : public TCustomControl {
    X_CLASS_TEMPLATE(TSkinProbe, TCustomControl, u"TXExtCtrlsTestSkinProbe")
public:
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == XM_SKINCHANGED)
            ++Heard;
        inherited::WndProc(Message);
    }
    Integer Heard = 0;
};

class TApplyProbe : public TXSkinComponent {
    X_CLASS_TEMPLATE(TApplyProbe, TXSkinComponent, u"TXExtCtrlsTestApplyProbe")
public:
    void ApplySkin() override { ++Applied; }
    Integer Applied = 0;
};

class SkinPanels : public TFormFixture {
protected:
    TXSkinPanel* AddPanel(TRect R, TColor Color)
    {
        auto* P = New<TXSkinPanel>(Form);
        P->SetBounds(R.Left, R.Top, R.Width(), R.Height());
        P->SetColor(Color);
        P->SetParent(Form);
        return P;
    }
    // The panel's own picture.
    TOwnedPtr<TBitmap> Picture(TWinControl* C)
    {
        Form->Show();
        Pump();
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        EXPECT_TRUE(GetWindowBitmap(C->Handle(), Bmp.get()));
        return Bmp;
    }
};

constexpr TColor Grey = 0x808080;

}

TEST_F(SkinPanels, StartsAsTheFrameworkPanelAndSwitchesTransparency)
{
    auto* P = AddPanel({ 10, 10, 110, 60 }, Grey);
    EXPECT_EQ(P->RgnType(), rgnControls);
    EXPECT_EQ(P->BevelStyle(), bvLowered);
    EXPECT_EQ(P->BevelShape(), bsBox);
    EXPECT_FALSE(P->Transparent());
    EXPECT_FALSE(P->ParentColor());
    EXPECT_EQ(P->TitleBorder()->GetRect(10, 10), Rect(0, 0, 10, 10));
    for (bool On : { true, false, true }) {
        P->SetTransparent(On);
        EXPECT_EQ(P->ControlStyle().Contains(csParentBackground), On);
        EXPECT_EQ(P->ControlStyle().Contains(csOpaque), !On);
        EXPECT_EQ((GetWindowLongPtr(P->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0, On);
    }
    // The published properties are the ones the text form stores.
    for (const char16_t* Name : { u"RgnType", u"BevelStyle", u"BevelShape", u"Transparent", u"TitleBorder" })
        EXPECT_NE(GetPropInfo(P, Name), nullptr) << StringToUTF8(Name);
    EXPECT_EQ(GetEnumProp(P, GetPropInfo(P, u"BevelShape")), u"bsBox");
}

TEST_F(SkinPanels, BevelLinesInShadowAndHighlightOfTheColour)
{
    const TColor Shadow = GetShadowColor(Grey, -50);
    const TColor Light = GetHighLightColor(Grey, 19);
    ASSERT_NE(Shadow, Light);
    struct {
        TBevelShape Shape;
        TBevelCut Cut;
        TPoint First, Second; // where the first and the second line lie
        TColor FirstColor;
    } const Cases[] = {
        { bsTopLine, bvLowered, { 20, 0 }, { 20, 1 }, Shadow },
        { bsTopLine, bvRaised, { 20, 0 }, { 20, 1 }, Light },
        { bsTopLine, bvSpace, { 20, 0 }, { 20, 1 }, Light }, // every other cut as raised
        { bsBottomLine, bvLowered, { 20, 28 }, { 20, 29 }, Shadow },
        { bsLeftLine, bvLowered, { 0, 15 }, { 1, 15 }, Shadow },
        { bsRightLine, bvRaised, { 58, 15 }, { 59, 15 }, Light },
        // A box is a panel frame: the outer bevel (raised at creation) by
        // its own cut, whatever BevelStyle says.
        { bsBox, bvLowered, { 0, 15 }, { 59, 15 }, Light },
        { bsFrame, bvRaised, { 20, 0 }, { 20, 29 }, Light },
    };
    auto* P = AddPanel({ 10, 10, 70, 40 }, Grey);
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << int(C.Shape) << "/" << int(C.Cut));
        P->SetBevelShape(C.Shape);
        P->SetBevelStyle(C.Cut);
        TOwnedPtr<TBitmap> Bmp = Picture(P);
        const TColor Other = C.FirstColor == Shadow ? Light : Shadow;
        EXPECT_EQ(Bmp->Pixel(C.First.X, C.First.Y), C.FirstColor);
        EXPECT_EQ(Bmp->Pixel(C.Second.X, C.Second.Y), Other);
        EXPECT_EQ(Bmp->Pixel(30, 15), Grey); // the erase fills the rest
    }
}

TEST_F(SkinPanels, CaptionSitsInsideTheTitleBorder)
{
    auto* P = AddPanel({ 10, 10, 210, 70 }, clWhite);
    P->SetBevelOuter(bvNone);
    P->SetCaption(u"Wallpapers");
    P->Font()->SetColor(clBlack);
    struct {
        TAlignment Align;
        std::array<Word, 4> Border;
    } const Cases[] = {
        { taLeftJustify, { 0, 0, 0, 0 } },
        { taLeftJustify, { 30, 0, 0, 0 } },
        { taRightJustify, { 0, 0, 40, 0 } },
        { taCenter, { 0, 30, 0, 0 } },
        { taCenter, { 0, 0, 0, 30 } },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << int(C.Align) << " " << C.Border[0] << "," << C.Border[1] << ","
                                        << C.Border[2] << "," << C.Border[3]);
        P->SetAlignment(C.Align);
        for (Integer I = 0; I < 4; ++I)
            P->TitleBorder()->SetWidth(I, C.Border[I]);
        P->Invalidate();
        TOwnedPtr<TBitmap> Bmp = Picture(P);
        TRect Ink { 1000, 1000, -1, -1 };
        for (Integer Y = 0; Y < 60; ++Y)
            for (Integer X = 0; X < 200; ++X)
                if (Bmp->Pixel(X, Y) != clWhite)
                    Ink = { std::min(Ink.Left, X), std::min(Ink.Top, Y), std::max(Ink.Right, X + 1),
                        std::max(Ink.Bottom, Y + 1) };
        ASSERT_GT(Ink.Right, Ink.Left);
        const TRect Band = P->TitleBorder()->GetRect(200, 60);
        EXPECT_GE(Ink.Left, Band.Left);
        EXPECT_LE(Ink.Right, Band.Right);
        const Integer Middle = (Ink.Top + Ink.Bottom) / 2;
        EXPECT_NEAR(Middle, (Band.Top + Band.Bottom) / 2, 3);
        if (C.Align == taLeftJustify)
            EXPECT_NEAR(Ink.Left, Band.Left, 3);
        if (C.Align == taRightJustify)
            EXPECT_NEAR(Ink.Right, Band.Right, 3);
        if (C.Align == taCenter)
            EXPECT_NEAR((Ink.Left + Ink.Right) / 2, 100, 3);
    }
}

TEST_F(SkinPanels, TransparentShowsTheParentAndItsWindowlessControls)
{
    Form->SetColor(0x0000C0);
    auto* Shape = Add<TProbeShape>(Form, { 0, 0, 40, 200 }, 0x00C000);
    auto* P = AddPanel({ 20, 20, 120, 80 }, clWhite);
    P->SetBevelOuter(bvNone);
    (void)Shape;
    struct {
        bool Transparent;
        TColor Left, Right; // at x 5 (over the shape) and x 60
    } const Cases[] = {
        { false, clWhite, clWhite },
        { true, 0x00C000, 0x0000C0 },
        { false, clWhite, clWhite },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Transparent);
        P->SetTransparent(C.Transparent);
        P->Invalidate();
        TOwnedPtr<TBitmap> Bmp = Picture(P);
        EXPECT_EQ(Bmp->Pixel(5, 30), C.Left);
        EXPECT_EQ(Bmp->Pixel(60, 30), C.Right);
    }
}

TEST_F(SkinPanels, SkinChangeReachesOwnedSkinComponentsAndChildren)
{
    auto* P = AddPanel({ 0, 0, 100, 100 }, Grey);
    auto* Applier = New<TApplyProbe>(P);
    auto* Child = New<TSkinProbe>(Form);
    Child->SetParent(P);
    P->Perform(XM_SKINCHANGED);
    EXPECT_EQ(Applier->Applied, 1);
    EXPECT_EQ(Child->Heard, 1);
}

TEST_F(SkinPanels, Gallery)
{
    Form->SetColor(clBtnFace);
    Form->SetBounds(100, 100, 460, 200);
    const TBevelShape Shapes[] = { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine };
    const char16_t* Names[] = { u"Box", u"Frame", u"Top line", u"Bottom line", u"Left line", u"Right line" };
    for (Integer I = 0; I < 6; ++I)
        for (Integer Row = 0; Row < 2; ++Row) {
            auto* P = AddPanel({ 10 + I * 72, 10 + Row * 80, 76 + I * 72, 80 + Row * 80 }, clBtnFace);
            P->SetBevelShape(Shapes[I]);
            P->SetBevelStyle(Row == 0 ? bvLowered : bvRaised);
            P->SetCaption(Names[I]);
        }
    Form->Show();
    Pump();
    SavePicture(Form->Handle(), "skin-panels.png");
}

TEST(RollGlyphs, UpAndDownArrowsOnTheSeeThroughColour)
{
    struct {
        TBitmap* Glyph;
        Integer InkRow, ClearRow; // a row the arrow covers at its middle, and one it leaves clear
        const char* Name;
    } const Cases[] = {
        { XUArrowBitmap(), 5, 1, "roll-up-glyph.png" },
        { XDArrowBitmap(), 3, 7, "roll-down-glyph.png" },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        ASSERT_NE(C.Glyph, nullptr);
        EXPECT_EQ(C.Glyph->Width(), 9);
        EXPECT_EQ(C.Glyph->Height(), 9);
        // Ink in the middle of the wide end; magenta, the button's
        // see-through colour, in the corners and the bottom-left pixel.
        const Integer Bytes = C.Glyph->PixelFormat() == pf32bit ? 4 : 3; // BGR(A)
        const Byte* Ink = C.Glyph->ScanLine(C.InkRow) + 4 * Bytes;
        EXPECT_LT(Ink[2], 100);
        EXPECT_LT(Ink[0], 100);
        for (const Byte* P : { C.Glyph->ScanLine(C.ClearRow), C.Glyph->ScanLine(8) }) {
            EXPECT_EQ(P[2], 255);
            EXPECT_EQ(P[1], 0);
            EXPECT_EQ(P[0], 255);
        }
        // Enlarged, to look at.
        TOwnedPtr<TBitmap> Big(MakeOwned<TBitmap>());
        Big->SetSize(96, 96);
        Big->Canvas()->Brush()->SetColor(clWhite);
        Big->Canvas()->FillRect(Rect(0, 0, 96, 96));
        Big->Canvas()->StretchDraw(Rect(0, 0, 96, 96), C.Glyph);
        TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
        Png->Assign(Big.get());
        Png->SaveToFile(S(Testing::TestPicturePath(C.Name).string()));
    }
}
