// Anchored layout, bevels, progress bars and what the desktop shows of a
// form beyond its picture: opacity, icon and the monitor it is placed on.
#include "ControlTestSupport.h"
#include "vcl/ComCtrls.h"
#include "vcl/ExtCtrls.h"
#include "rtl/Streams.h"
#include "win/WindowDecor.h"
#include <gtest/gtest.h>

using namespace ControlTests;

namespace {

class Anchors : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Parent = Add<TProbePanel>(Form, { 0, 0, 200, 100 }, 0xC0C0C0);
    }
    TProbeShape* Child(TAnchors Which, TRect R = { 150, 70, 190, 90 })
    {
        TProbeShape* C = Add<TProbeShape>(Parent, R, 0x0000FF);
        C->SetAnchors(Which);
        return C;
    }
    TProbePanel* Parent = nullptr;
};

}

TEST_F(Anchors, ChildrenKeepTheirDistanceToTheAnchoredEdges)
{
    struct TCase {
        const char* Name;
        TAnchors Which;
        TRect After; // the parent grown from 200 x 100 to 300 x 160
    };
    const TCase Cases[] = {
        { "left top", { akLeft, akTop }, { 150, 70, 190, 90 } },
        { "right bottom", { akRight, akBottom }, { 250, 130, 290, 150 } },
        { "left right", { akLeft, akRight, akTop }, { 150, 70, 290, 90 } },
        { "top bottom", { akLeft, akTop, akBottom }, { 150, 70, 190, 150 } },
        // Centre 170 of 200 stays at 85 %: 255 of 300; 80 of 100 at 128.
        { "none", {}, { 235, 118, 275, 138 } },
    };
    for (const TCase& C : Cases) {
        Parent->SetBounds(0, 0, 200, 100);
        TProbeShape* Shape = Child(C.Which);
        Parent->SetBounds(0, 0, 300, 160);
        EXPECT_EQ(Shape->BoundsRect(), C.After) << C.Name;
        // Back to the first size: back to the first place, no drift.
        Parent->SetBounds(0, 0, 200, 100);
        EXPECT_EQ(Shape->BoundsRect(), Rect(150, 70, 190, 90)) << C.Name;
        Shape->Free();
    }
}

TEST_F(Anchors, APlaceGivenByTheProgramIsWhereTheAnchorsMeasureFrom)
{
    TProbeShape* Shape = Child({ akRight, akTop });
    Parent->SetWidth(260);
    EXPECT_EQ(Shape->Left(), 210);
    Shape->SetLeft(20);
    Parent->SetWidth(300);
    EXPECT_EQ(Shape->Left(), 60);

    // Shrinking below the control's own width leaves it no width, not less.
    TProbeShape* Stretched = Child({ akLeft, akRight }, { 10, 10, 190, 20 });
    Parent->SetWidth(100);
    EXPECT_EQ(Stretched->Width(), 0);

    // An aligned control follows its alignment, whatever its anchors say.
    TProbeShape* Bottom = Child({ akRight, akBottom }, { 0, 0, 10, 12 });
    Bottom->SetAlign(alBottom);
    Parent->SetBounds(0, 0, 300, 200);
    EXPECT_EQ(Bottom->BoundsRect(), Rect(0, 188, 300, 200));
}

TEST_F(Anchors, ScalingMovesAnAnchoredChildOnceOnly)
{
    TProbeShape* Shape = Child({ akRight, akBottom });
    Parent->ScaleBy(3, 2);
    EXPECT_EQ(Parent->BoundsRect(), Rect(0, 0, 300, 150));
    EXPECT_EQ(Shape->BoundsRect(), Rect(225, 105, 285, 135));
    // And its anchors measure from there.
    Parent->SetBounds(0, 0, 310, 150);
    EXPECT_EQ(Shape->Left(), 235);
}

TEST_F(Anchors, AResizeHandlerMayFreeASibling)
{
    TProbeShape* First = Child({ akLeft, akRight });
    TProbeShape* Second = Child({ akRight });
    First->OnResize = [&](TObject*) { FreeAndNil(Second); };
    Parent->SetWidth(250);
    EXPECT_EQ(Second, nullptr);
    EXPECT_EQ(First->Width(), 90);
}

namespace {

class Bevels : public TFormFixture { };

}

TEST_F(Bevels, LinesAndBoxesDrawShadowAndHighlightWhereTheShapeSays)
{
    const TColor Shadow = ColorToRGB(clBtnShadow), Light = ColorToRGB(clBtnHighlight);
    struct TCase {
        TBevelShape Shape;
        TBevelStyle Style;
        TPoint Where;
        TColor Want;
    };
    // The bevel lies at (20, 20) 100 x 40 on a white form.
    const TCase Cases[] = {
        { bsTopLine, TBevelStyle::bsLowered, { 60, 20 }, Shadow },
        { bsTopLine, TBevelStyle::bsLowered, { 60, 21 }, Light },
        { bsTopLine, TBevelStyle::bsLowered, { 60, 22 }, 0xFFFFFF },
        { bsTopLine, TBevelStyle::bsRaised, { 60, 20 }, Light },
        { bsBottomLine, TBevelStyle::bsLowered, { 60, 58 }, Shadow },
        { bsBottomLine, TBevelStyle::bsLowered, { 60, 59 }, Light },
        { bsLeftLine, TBevelStyle::bsLowered, { 20, 40 }, Shadow },
        { bsRightLine, TBevelStyle::bsRaised, { 119, 40 }, Shadow },
        { bsBox, TBevelStyle::bsLowered, { 20, 40 }, Shadow },
        { bsBox, TBevelStyle::bsLowered, { 119, 40 }, Light },
        { bsBox, TBevelStyle::bsRaised, { 60, 20 }, Light },
        { bsBox, TBevelStyle::bsRaised, { 60, 50 }, 0xFFFFFF },
        { bsFrame, TBevelStyle::bsLowered, { 20, 40 }, Shadow },
        { bsFrame, TBevelStyle::bsLowered, { 21, 40 }, Light },
        { bsSpacer, TBevelStyle::bsLowered, { 20, 20 }, 0xFFFFFF },
    };
    Form->Show();
    TBevel* Bevel = New<TBevel>(Form);
    Bevel->SetBounds(20, 20, 100, 40);
    Bevel->SetParent(Form);
    for (const TCase& C : Cases) {
        Bevel->SetShape(C.Shape);
        Bevel->SetStyle(C.Style);
        Pump();
        EXPECT_EQ(PixelAt(C.Where), C.Want) << int(C.Shape) << " " << int(C.Style) << " at " << C.Where.X << ","
                                            << C.Where.Y;
    }
}

namespace {

class ProgressBars : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Form->Show();
        Bar = Add<TProgressBar>(Form, { 10, 10, 212, 30 }, clBtnFace);
        Pump();
    }
    bool Filled(TPoint P) { return PixelAt(P) == ColorToRGB(clHighlight); }
    // Whether each pixel of the bar's inside along its middle is filled.
    std::vector<bool> Row()
    {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        GetWindowBitmap(Form->Handle(), Bmp.get());
        std::vector<bool> R;
        for (Integer X = 11; X < 211; ++X)
            R.push_back(Bmp->Pixel(X, 20) == ColorToRGB(clHighlight));
        return R;
    }
    static Integer Count(const std::vector<bool>& R) { return Integer(std::count(R.begin(), R.end(), true)); }
    TProgressBar* Bar = nullptr;
};

}

TEST_F(ProgressBars, PositionStaysInTheRangeAndFillsItsShare)
{
    struct TCase {
        Integer Min, Max, Position, WantPosition;
    };
    const TCase Cases[] = {
        { 0, 100, 50, 50 },
        { 0, 100, 150, 100 },
        { 0, 100, -5, 0 },
        { 10, 10, 30, 10 },
        { -2147483647 - 1, 2147483647, 0, 0 },
    };
    for (const TCase& C : Cases) {
        Bar->SetRange(C.Min, C.Max);
        Bar->SetPosition(C.Position);
        EXPECT_EQ(Bar->Position(), C.WantPosition) << C.Min << ".." << C.Max;
    }
    // Steps stop at the ends, even from the far end of the integers.
    Bar->SetRange(-2147483647 - 1, 2147483647);
    Bar->SetPosition(2147483647);
    Bar->StepBy(2147483647);
    EXPECT_EQ(Bar->Position(), 2147483647);

    Bar->SetRange(0, 200);
    Bar->SetPosition(100);
    Pump();
    // The inside is 200 pixels wide from x = 11: half of it is filled.
    EXPECT_TRUE(Filled({ 12, 20 }));
    EXPECT_TRUE(Filled({ 110, 20 }));
    EXPECT_FALSE(Filled({ 111, 20 }));
    EXPECT_EQ(PixelAt({ 10, 10 }), ColorToRGB(clBtnShadow));
    SavePicture(Form->Handle(), "progress-bar-half.png");

    // Upright, the bar fills from the bottom.
    Bar->SetBounds(10, 40, 20, 102);
    Bar->SetOrientation(pbVertical);
    Pump();
    EXPECT_TRUE(Filled({ 20, 140 }));
    EXPECT_TRUE(Filled({ 20, 91 }));
    EXPECT_FALSE(Filled({ 20, 89 }));
}

TEST_F(ProgressBars, TheMarqueeBlockWalksOnTheClockAndStopsWithTheStyle)
{
    Bar->SetMarqueeInterval(50);
    Bar->SetStyle(pbstMarquee);
    Pump();
    const std::vector<bool> Start = Row();
    // A fifth of the 200-pixel inside, from its start.
    EXPECT_EQ(Count(Start), 40);
    EXPECT_TRUE(Start[0]);

    Clock.Advance(49);
    Pump();
    EXPECT_EQ(Bar->MarqueeOffset(), 0);
    Clock.Advance(1);
    Pump();
    EXPECT_EQ(Bar->MarqueeOffset(), 1);
    const std::vector<bool> Moved = Row();
    EXPECT_FALSE(Moved[0]);
    EXPECT_TRUE(Moved[40]);

    // At the far end the block comes back in at the start.
    for (int I = 0; I < 199; ++I) {
        Clock.Advance(50);
        Pump();
    }
    EXPECT_LT(Bar->MarqueeOffset(), 0);
    EXPECT_TRUE(Row()[0]);

    // Hidden, it waits; the normal style stops it and shows the position.
    const Integer Offset = Bar->MarqueeOffset();
    Bar->Hide();
    Clock.Advance(500);
    Pump();
    EXPECT_EQ(Bar->MarqueeOffset(), Offset);
    Bar->Show();
    Bar->SetStyle(pbstNormal);
    Clock.Advance(500);
    Pump();
    EXPECT_EQ(Bar->MarqueeOffset(), 0);
    EXPECT_EQ(Count(Row()), 0);
}

namespace {

class FormLook : public TFormFixture { };

}

TEST_F(FormLook, AlphaBlendMakesTheFormLayeredAtItsValue)
{
    Form->SetAlphaBlendValue(128);
    Form->SetAlphaBlend(true);
    Form->Show();
    Pump();
    EXPECT_EQ(Presenter.Opacity(Form->Handle()), 128);
    Byte Alpha = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(Form->Handle(), nullptr, &Alpha, nullptr));
    EXPECT_EQ(Alpha, 128);
    Form->SetAlphaBlendValue(200);
    EXPECT_EQ(Presenter.Opacity(Form->Handle()), 200);

    // A colour key is not something this desktop can show.
    EXPECT_FALSE(SetLayeredWindowAttributes(Form->Handle(), 0xFF00FF, 0, LWA_COLORKEY));

    Form->SetAlphaBlend(false);
    EXPECT_EQ(Presenter.Opacity(Form->Handle()), 255);
    EXPECT_FALSE(GetWindowLongPtr(Form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_FALSE(SetLayeredWindowAttributes(Form->Handle(), 0, 10, LWA_ALPHA));

    // Set again on a window made anew.
    Form->SetAlphaBlend(true);
    Form->SetBorderStyle(bsDialog);
    Pump();
    EXPECT_EQ(Presenter.Opacity(Form->Handle()), 200);
}

TEST_F(FormLook, TheFormsIconReachesTheDesktopWithItsOpacity)
{
    if (!Testing::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is missing";
    Testing::TTempFolder Folder("form-icon");
    // A red square with a clear corner, at 16 and 32 pixels.
    ASSERT_EQ(Testing::RunTool({ "convert", "-size", "32x32", "xc:red", "-alpha", "on", "-fill", "none", "-draw",
                                   "color 0,0 point", "-define", "icon:auto-resize=16,32", "x.ico" },
                  Folder.Path())
                  .ExitCode,
        0);
    const auto Data = Testing::ReadFileBytes(Folder / "x.ico");
    TOwnedPtr<TMemoryStream> Stream(MakeOwned<TMemoryStream>());
    Stream->WriteBuffer(Data.data(), Data.size());
    Stream->SetPosition(0);
    TOwnedPtr<TIcon> Icon(MakeOwned<TIcon>());
    Icon->LoadFromStream(Stream.get());
    Form->SetIcon(Icon.get());
    Form->Show();
    Pump();
    TPixelBuffer Shown = Presenter.Icon(Form->Handle());
    ASSERT_EQ(Shown.Width(), 32);
    EXPECT_EQ(Shown.Pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(Shown.Pixel(0, 0) >> 24, 0u);

    // Taken away again.
    Form->SetIcon(nullptr);
    EXPECT_EQ(Presenter.Icon(Form->Handle()).Width(), 0);
}

TEST_F(FormLook, DefaultMonitorChoosesWhereAFormIsPlaced)
{
    const TMonitorDesc A { { 0, 0, 1280, 1024 }, { 0, 0, 1280, 1000 }, 96, 96, true, u"A", 0, u"Card" };
    const TMonitorDesc B { { 1280, 0, 3200, 1200 }, { 1280, 0, 3200, 1160 }, 96, 96, false, u"B", 0, u"Card" };
    Presenter.SetMonitors({ A, B });
    // The main form and the active one lie on B.
    Form->SetBounds(1400, 100, 400, 300);
    Form->Show();
    Application->SetMainForm(Form);
    SetForegroundWindow(Form->Handle());
    Pump();

    struct TCase {
        TPosition Position;
        TDefaultMonitor Monitor;
        TRect Want; // a 200 x 100 form designed at (100, 50)
    };
    const TCase Cases[] = {
        { poScreenCenter, dmActiveForm, { 2140, 530, 2340, 630 } },
        { poScreenCenter, dmMainForm, { 2140, 530, 2340, 630 } },
        { poScreenCenter, dmPrimary, { 540, 450, 740, 550 } },
        { poScreenCenter, dmDesktop, { 540, 450, 740, 550 } },
        { poDesigned, dmActiveForm, { 1380, 50, 1580, 150 } },
        { poDesigned, dmPrimary, { 100, 50, 300, 150 } },
        { poDesigned, dmDesktop, { 100, 50, 300, 150 } },
    };
    for (const TCase& C : Cases) {
        TForm* Other = New<TForm>(nullptr);
        Other->SetBounds(100, 50, 200, 100);
        Other->SetPosition(C.Position);
        Other->SetDefaultMonitor(C.Monitor);
        Other->Show();
        EXPECT_EQ(Other->BoundsRect(), C.Want) << int(C.Position) << " " << int(C.Monitor);
        Other->Free();
        SetForegroundWindow(Form->Handle());
        Pump();
    }
    Application->SetMainForm(nullptr);
}
