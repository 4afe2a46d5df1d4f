#include "ControlTestSupport.h"
#include "vcl/ExtCtrls.h"
#include "vcl/StdCtrls.h"

using namespace ControlTests;

namespace {

class DialogControls : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Ok = AddButton(u"OK", 20);
        Ok->SetDefault(true);
        Ok->SetModalResult(mrOk);
        Cancel = AddButton(u"Cancel", 110);
        Cancel->SetCancel(true);
        Check = New<TCheckBox>(Form);
        Check->SetParent(Form);
        Check->SetBounds(20, 60, 120, 17);
        Check->SetCaption(u"Remember");
        Check->OnClick = [this](TObject*) { Log += u"check "; };
        Form->Show();
        Pump();
    }
    TButton* AddButton(const String& Caption, Integer X)
    {
        auto* B = New<TButton>(Form);
        B->SetParent(Form);
        B->SetBounds(X, 20, 75, 25);
        B->SetCaption(Caption);
        B->OnClick = [this, Caption](TObject*) { Log += Caption + u" "; };
        return B;
    }

    TButton* Ok = nullptr;
    TButton* Cancel = nullptr;
    TCheckBox* Check = nullptr;
    String Log;
};

}

TEST_F(DialogControls, KeysGoThroughTheTabOrderTheDefaultAndTheCancelButton)
{
    struct TCase {
        const char* Name;
        TWinControl* Focus;
        UINT Vk;
        String Log;
        TModalResult Result;
    };
    const TCase Cases[] = {
        { "enter on the check box presses the default", Check, VK_RETURN, u"OK ", mrOk },
        { "escape presses cancel", Check, VK_ESCAPE, u"Cancel ", mrNone },
        { "enter on another button presses that one", Cancel, VK_RETURN, u"Cancel ", mrNone },
        { "space presses the focused button", Cancel, VK_SPACE, u"Cancel ", mrNone },
        { "space toggles the check box", Check, VK_SPACE, u"check ", mrNone },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Log.clear();
        Form->SetModalResult(mrNone);
        C.Focus->SetFocus();
        Pump();
        Key(C.Vk, C.Vk == VK_SPACE ? U' ' : 0);
        EXPECT_EQ(Log, C.Log);
        EXPECT_EQ(Form->ModalResult(), C.Result);
    }
    EXPECT_TRUE(Check->Checked());

    // Tab walks the creation order and wraps.
    Ok->SetFocus();
    Pump();
    Key(VK_TAB);
    EXPECT_TRUE(Cancel->Focused());
    Key(VK_TAB);
    EXPECT_TRUE(Check->Focused());
    Key(VK_TAB);
    EXPECT_TRUE(Ok->Focused());

    // A disabled default button takes no Enter.
    Ok->SetEnabled(false);
    Check->SetFocus();
    Log.clear();
    Key(VK_RETURN);
    EXPECT_EQ(Log, u"");
}

TEST_F(DialogControls, AClickIsAPressAndAReleaseOnTheControl)
{
    Click({ 30, 30 });
    EXPECT_EQ(Log, u"OK ");
    EXPECT_EQ(Form->ModalResult(), mrOk);
    // Dragged off before the release: no click.
    Log.clear();
    Press({ 30, 30 }, true);
    Move({ 300, 200 });
    Press({ 300, 200 }, false);
    EXPECT_EQ(Log, u"");

    // The check box runs through its states; grayed only when allowed.
    const TCheckBoxState Plain[] = { cbChecked, cbUnchecked, cbChecked };
    for (TCheckBoxState S : Plain) {
        Click({ 25, 68 });
        EXPECT_EQ(Check->State(), S);
    }
    Check->SetAllowGrayed(true);
    const TCheckBoxState Grayed[] = { cbUnchecked, cbGrayed, cbChecked, cbUnchecked };
    for (TCheckBoxState S : Grayed) {
        Click({ 25, 68 });
        EXPECT_EQ(Check->State(), S);
    }
    // Setting the state in code runs OnClick once, the same state not at all.
    Log.clear();
    Check->SetChecked(true);
    Check->SetChecked(true);
    EXPECT_EQ(Log, u"check ");
}

TEST_F(DialogControls, AButtonThatFreesItsFormOnClickEndsClean)
{
    TForm* Other = New<TForm>(nullptr);
    Other->SetBounds(50, 50, 200, 100);
    auto* B = New<TButton>(Other);
    B->SetParent(Other);
    B->SetBounds(10, 10, 75, 25);
    B->SetDefault(true);
    B->SetModalResult(mrOk);
    bool Freed = false;
    B->OnClick = [&](TObject*) {
        Other->Free();
        Freed = true;
    };
    Other->Show();
    Pump();
    B->SetFocus();
    Pump();
    Key(VK_RETURN);
    EXPECT_TRUE(Freed);
}

class Labels : public TFormFixture { };

TEST_F(Labels, AutoSizeFitsTheTextAndKeepsTheRightEdgeOfRightJustifiedLabels)
{
    auto* L = New<TLabel>(Form);
    L->SetParent(Form);
    L->SetBounds(200, 10, 100, 40);
    const Integer LineHeight = L->Font()->Metrics().Height();
    struct TCase {
        const char* Name;
        TAlignment Alignment;
        bool AutoSize;
        String Text;
        Integer Right; // -1: left edge stays at 200
        bool OneLine;
    };
    const TCase Cases[] = {
        { "left, auto", taLeftJustify, true, u"Some text", -1, true },
        { "right, auto, keeps the right edge", taRightJustify, true, u"Short", 300, true },
        { "right, auto, longer text", taRightJustify, true, u"A longer piece of text", 300, true },
        { "empty caption is a line high", taLeftJustify, true, u"", -1, true },
        { "two lines", taLeftJustify, true, u"one\ntwo", -1, false },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        L->SetAutoSize(false);
        L->SetBounds(200, 10, 100, 40);
        L->SetAlignment(C.Alignment);
        L->SetCaption(C.Text);
        L->SetAutoSize(C.AutoSize);
        if (C.Right < 0)
            EXPECT_EQ(L->Left(), 200);
        else
            EXPECT_EQ(L->Left() + L->Width(), C.Right);
        EXPECT_EQ(L->Height(), C.OneLine ? LineHeight : 2 * LineHeight);
        if (!C.Text.empty())
            EXPECT_GT(L->Width(), 0);
    }
    // Without AutoSize nothing moves.
    L->SetAutoSize(false);
    L->SetBounds(10, 10, 50, 50);
    L->SetCaption(u"A caption much wider than fifty pixels");
    EXPECT_EQ(L->BoundsRect(), TRect({ 10, 10, 60, 60 }));
}

TEST_F(Labels, AnOpaqueLabelFillsItsColourATransparentOneLeavesTheParent)
{
    auto* L = New<TLabel>(Form);
    L->SetParent(Form);
    L->SetBounds(10, 10, 100, 20);
    L->SetAutoSize(false);
    L->SetColor(0x00FF00);
    Form->Show();
    Pump();
    EXPECT_EQ(PixelAt({ 95, 25 }), TColor(0x00FF00));
    L->SetTransparent(true);
    Pump();
    EXPECT_EQ(PixelAt({ 95, 25 }), TColor(0xFFFFFF));
}

class Panels : public TFormFixture { };

TEST_F(Panels, ChildrenAlignInsideTheBevelsAndTheBorder)
{
    auto* P = New<TPanel>(Form);
    P->SetParent(Form);
    P->SetBounds(10, 10, 200, 100);
    auto* Child = Add<TProbePanel>(P, { 0, 0, 10, 10 }, 0x0000FF);
    Child->SetAlign(alClient);
    struct TCase {
        TBevelCut Outer, Inner;
        Integer BevelWidth, BorderWidth, Inset;
    };
    const TCase Cases[] = {
        { bvNone, bvNone, 1, 0, 0 },
        { bvRaised, bvNone, 1, 0, 1 },
        { bvRaised, bvLowered, 2, 0, 4 },
        { bvLowered, bvSpace, 1, 3, 5 },
        { bvNone, bvNone, 1, 7, 7 },
        { bvRaised, bvRaised, 60, 0, 120 }, // nothing left: an empty rectangle
    };
    for (const TCase& C : Cases) {
        P->SetBevelOuter(C.Outer);
        P->SetBevelInner(C.Inner);
        P->SetBevelWidth(C.BevelWidth);
        P->SetBorderWidth(C.BorderWidth);
        const Integer F = C.Inset;
        EXPECT_EQ(Child->BoundsRect(), TRect({ F, F, std::max(F, 200 - F), std::max(F, 100 - F) })) << F;
    }
}

TEST_F(Panels, TheGalleryOfButtonsCheckBoxesLabelsAndBevels)
{
    Form->SetColor(clBtnFace);
    Form->SetBounds(100, 100, 420, 260);
    Integer X = 10;
    for (TBevelCut Outer : { bvNone, bvRaised, bvLowered, bvSpace }) {
        auto* P = New<TPanel>(Form);
        P->SetParent(Form);
        P->SetBounds(X, 10, 90, 50);
        P->SetBevelOuter(Outer);
        P->SetBevelInner(Outer == bvRaised ? bvLowered : bvNone);
        P->SetBevelWidth(2);
        P->SetCaption(u"Panel");
        X += 100;
    }
    auto* B1 = New<TButton>(Form);
    B1->SetParent(Form);
    B1->SetBounds(10, 80, 90, 27);
    B1->SetCaption(u"Default");
    B1->SetDefault(true);
    auto* B2 = New<TButton>(Form);
    B2->SetParent(Form);
    B2->SetBounds(110, 80, 90, 27);
    B2->SetCaption(u"Disabled");
    B2->SetEnabled(false);
    for (Integer I = 0; I < 3; ++I) {
        auto* C = New<TCheckBox>(Form);
        C->SetParent(Form);
        C->SetBounds(10 + 130 * I, 120, 120, 20);
        C->SetAllowGrayed(true);
        C->SetCaption(I == 0 ? u"Unchecked" : I == 1 ? u"Checked" : u"Grayed");
        C->SetState(TCheckBoxState(I));
    }
    auto* L = New<TLabel>(Form);
    L->SetParent(Form);
    L->SetBounds(10, 150, 200, 40);
    L->SetCaption(u"A label that wraps onto a second line");
    L->SetWordWrap(true);
    L->SetAutoSize(false);
    auto* D = New<TLabel>(Form);
    D->SetParent(Form);
    D->SetBounds(220, 150, 180, 20);
    D->SetCaption(u"Disabled label");
    D->SetEnabled(false);
    Form->Show();
    Pump();
    SavePicture(Form->Handle(), "vcl-buttons-panels.png");
    // The default button's dark outer frame, the raised panel's highlight.
    EXPECT_EQ(PixelAt({ 10, 90 }), ColorToRGB(cl3DDkShadow));
    EXPECT_EQ(PixelAt({ 110, 30 }), ColorToRGB(clBtnHighlight));
}

TEST_F(Panels, CheckBoxesGrowWithTheScreensPixelsPerInch)
{
    Form->SetColor(clBtnFace);
    struct TCase {
        Integer Dpi;
        Integer Box, Height;
    } const Cases[] = { { 96, 13, 17 }, { 120, 16, 21 }, { 144, 20, 26 } };
    for (const TCase& C : Cases) {
        SetScreenDPI(C.Dpi, C.Dpi);
        auto* Check = New<TCheckBox>(Form);
        Check->SetParent(Form);
        Check->SetLeft(10);
        Check->SetCaption(u"Scaled");
        Check->SetAlignment(taRightJustify);
        Check->SetChecked(true);
        EXPECT_EQ(Check->Height(), C.Height) << C.Dpi;
        Form->Show();
        Pump();
        // The box's frame in the shadow colour, as wide as the screen asks.
        const Integer Mid = Check->Top() + Check->Height() / 2;
        Integer Left = -1, Right = -1;
        for (Integer X = 10; X < 10 + Check->Width(); ++X)
            if (PixelAt({ X, Mid }) == ColorToRGB(clBtnShadow)) {
                if (Left < 0)
                    Left = X;
                Right = X;
            }
        EXPECT_EQ(Right - Left + 1, C.Box) << C.Dpi;
        // The check mark grew with it: its lowest point near the box's middle.
        Integer Marked = 0;
        for (Integer Y = Check->Top(); Y < Check->Top() + Check->Height(); ++Y)
            for (Integer X = Left; X <= Right; ++X)
                Marked += PixelAt({ X, Y }) == ColorToRGB(clWindowText);
        EXPECT_GE(Marked, 14 * C.Box * C.Box / 169) << C.Dpi;
        Check->Free();
    }
    SetScreenDPI(96, 96);
}
