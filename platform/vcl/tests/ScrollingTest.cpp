#include "ControlTestSupport.h"
#include "vcl/Buttons.h"
#include "vcl/ComCtrls.h"
#include "vcl/ExtCtrls.h"
#include "vcl/StdCtrls.h"
#include "win/Metrics.h"

using namespace ControlTests;

namespace {

class ScrollBoxes : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Box = New<TScrollBox>(Form);
        Box->SetParent(Form);
        Box->SetBounds(10, 10, 200, 150);
        Box->SetColor(clWindow);
        Content = Add<TProbePanel>(Box, { 0, 0, 150, 100 }, 0x3060C0);
        Form->Show();
        Pump();
    }
    // The box's client area in the form's client coordinates.
    TRect BoxClient()
    {
        const TPoint O = Form->ScreenToClient(Box->ClientOrigin());
        return { O.X, O.Y, O.X + Box->ClientWidth(), O.Y + Box->ClientHeight() };
    }
    LRESULT HitAt(TPoint P)
    {
        const TPoint S = Screen(P);
        return SendMessage(Box->Handle(), WM_NCHITTEST, 0, MAKELPARAM(Word(S.X), Word(S.Y)));
    }
    void Wheel(TPoint P, Integer Delta)
    {
        const TPoint S = Screen(P);
        PostInput(TInputEvent::WheelEvent({ S.X, S.Y }, Delta));
        Pump();
    }

    TScrollBox* Box = nullptr;
    TProbePanel* Content = nullptr;
};

}

TEST_F(ScrollBoxes, BarsComeAndGoWithTheContentAndTakeTheirRoomFromTheFrame)
{
    const Integer Bar = GetSystemMetrics(SM_CXVSCROLL);
    const Integer Edge = 2 * GetSystemMetrics(SM_CXEDGE);
    struct TCase {
        const char* Name;
        TSize Content;
        bool Horz, Vert;
    };
    const TCase Cases[] = {
        { "content that fits", { 150, 100 }, false, false },
        { "tall content", { 150, 400 }, false, true },
        { "wide content", { 600, 100 }, true, false },
        { "both ways", { 600, 400 }, true, true },
        // The vertical bar narrows the box, so the width no longer fits.
        { "a bar that brings the other", { 200 - Edge - 5, 400 }, true, true },
        { "fits again", { 150, 100 }, false, false },
    };
    for (const TCase& C : Cases) {
        Content->SetBounds(0, 0, C.Content.cx, C.Content.cy);
        Pump();
        EXPECT_EQ(Box->HorzScrollBar()->IsScrollBarVisible(), C.Horz) << C.Name;
        EXPECT_EQ(Box->VertScrollBar()->IsScrollBarVisible(), C.Vert) << C.Name;
        EXPECT_EQ(Box->ClientWidth(), 200 - Edge - (C.Vert ? Bar : 0)) << C.Name;
        EXPECT_EQ(Box->ClientHeight(), 150 - Edge - (C.Horz ? Bar : 0)) << C.Name;
        EXPECT_EQ(Box->VertScrollBar()->Range(), C.Content.cy) << C.Name;
    }
}

TEST_F(ScrollBoxes, TheFrameAnswersItsBarsToTheHitTestAndAPressScrolls)
{
    Content->SetBounds(0, 0, 600, 400);
    Pump();
    const TRect C = BoxClient();
    struct TCase {
        const char* Name;
        TPoint At;
        LRESULT Hit;
    };
    const TCase Cases[] = {
        { "client", { C.Left + 5, C.Top + 5 }, HTCLIENT },
        { "vertical bar", { C.Right + 3, C.Top + 40 }, HTVSCROLL },
        { "horizontal bar", { C.Left + 40, C.Bottom + 3 }, HTHSCROLL },
        { "the edge", { C.Left - 1, C.Top + 5 }, HTBORDER },
    };
    for (const TCase& T : Cases)
        EXPECT_EQ(HitAt(T.At), T.Hit) << T.Name;
    // The down arrow moves by the increment, beside the thumb by a page.
    Click({ C.Right + 3, C.Bottom - 3 });
    EXPECT_EQ(Box->VertScrollBar()->Position(), Box->VertScrollBar()->Increment());
    EXPECT_EQ(Content->Top(), -Box->VertScrollBar()->Increment());
    Click({ C.Right + 3, C.Bottom - 20 });
    EXPECT_EQ(Box->VertScrollBar()->Position(), Box->VertScrollBar()->Increment() + C.Height());
    // A thumb drag to the far end scrolls to the end.
    Box->VertScrollBar()->SetPosition(0);
    Pump();
    const TPoint Thumb { C.Right + 3, C.Top + GetSystemMetrics(SM_CXVSCROLL) + 3 };
    Box->VertScrollBar()->SetTracking(true);
    Press(Thumb, true);
    Move({ Thumb.X, C.Bottom + 50 });
    EXPECT_EQ(Box->VertScrollBar()->Position(), 400 - C.Height());
    Press({ Thumb.X, C.Bottom + 50 }, false);
    EXPECT_EQ(Content->Top(), C.Height() - 400);
}

TEST_F(ScrollBoxes, ScrollByMovesChildrenWithTheirPixelsAndPaintsOnlyTheStrip)
{
    auto* Shape = Add<TProbeShape>(Box, { 20, 120, 60, 150 }, 0x00A000);
    Content->SetBounds(60, 0, 500, 400);
    Pump();
    const Integer Paints = Content->Paints;
    Content->PaintedClips.clear();
    Box->VertScrollBar()->SetPosition(30);
    Pump();
    EXPECT_EQ(Content->Top(), -30);
    EXPECT_EQ(Shape->Top(), 90);
    // Only the uncovered strip at the bottom is painted again.
    ASSERT_EQ(Content->Paints, Paints + 1);
    EXPECT_EQ(Content->PaintedClips.back().Height(), 30);
    const TRect C = BoxClient();
    EXPECT_EQ(PixelAt({ C.Left + 25, C.Top + 95 }), 0x00A000u);
    // A range that shrinks brings the content back.
    Shape->Hide();
    Content->SetBounds(60, -30, 50, 100);
    Pump();
    EXPECT_EQ(Box->VertScrollBar()->Position(), 0);
    EXPECT_EQ(Content->Top(), 0);
}

TEST_F(ScrollBoxes, AlignedChildrenScrollWithTheContentAndStayWhereTheyAreWhenAlignedAgain)
{
    Content->Hide();
    std::vector<TProbePanel*> Rows;
    for (TColor C : { TColor(0xC04040), TColor(0x40C040), TColor(0x4040C0), TColor(0xC0C040) }) {
        TProbePanel* Row = Add<TProbePanel>(Box, { 0, 1000, 50, 1100 }, C);
        Row->SetAlign(alTop);
        Rows.push_back(Row);
    }
    Pump();
    ASSERT_TRUE(Box->VertScrollBar()->IsScrollBarVisible());
    EXPECT_EQ(Box->VertScrollBar()->Range(), 400);
    EXPECT_FALSE(Box->HorzScrollBar()->IsScrollBarVisible()) << "aligned rows take the client width";
    auto Tops = [&] {
        std::vector<Integer> T;
        for (TProbePanel* Row : Rows)
            T.push_back(Row->Top());
        return T;
    };
    struct TCase {
        const char* Name;
        std::function<void()> Step;
        std::vector<Integer> Tops;
    } const Cases[] = {
        { "scrolled by 130", [&] { Box->VertScrollBar()->SetPosition(130); }, { -130, -30, 70, 170 } },
        { "aligned again", [&] { Box->Realign(); }, { -130, -30, 70, 170 } },
        { "a row grows", [&] { Rows[0]->SetHeight(120); }, { -130, -10, 90, 190 } },
        { "the box widens", [&] { Box->SetWidth(260); }, { -130, -10, 90, 190 } },
        { "back to the top", [&] { Box->VertScrollBar()->SetPosition(0); }, { 0, 120, 220, 320 } },
    };
    for (const TCase& C : Cases) {
        C.Step();
        Pump();
        EXPECT_EQ(Tops(), C.Tops) << C.Name;
        EXPECT_EQ(Rows[0]->Width(), Box->ClientWidth()) << C.Name;
    }
    // What shows is the scrolled content.
    Box->VertScrollBar()->SetPosition(130);
    Pump();
    const TRect Client = BoxClient();
    EXPECT_EQ(PixelAt({ Client.Left + 5, Client.Top + 5 }), 0x40C040u);
}

TEST_F(ScrollBoxes, AChildScrolledWhollyOutOfSightIsNotPainted)
{
    Content->SetBounds(0, 0, 150, 100);
    TProbePanel* Below = Add<TProbePanel>(Box, { 0, 400, 150, 500 }, 0x40C040);
    Pump();
    struct TCase {
        const char* Name;
        Integer Position;
        bool ContentPaints, BelowPaints;
    } const Cases[] = {
        { "at the top", 0, true, false },
        { "both out of sight", 200, false, false },
        { "the lower one in view", 400, false, true },
    };
    for (const TCase& C : Cases) {
        Box->VertScrollBar()->SetPosition(C.Position);
        Pump();
        const Integer ContentPaints = Content->Paints, BelowPaints = Below->Paints;
        Content->Invalidate();
        Below->Invalidate();
        Pump();
        EXPECT_EQ(Content->Paints > ContentPaints, C.ContentPaints) << C.Name;
        EXPECT_EQ(Below->Paints > BelowPaints, C.BelowPaints) << C.Name;
    }
    // Invalidated while in view, scrolled out before the paint came.
    Below->Invalidate();
    Box->VertScrollBar()->SetPosition(0);
    const Integer Before = Below->Paints;
    Pump();
    EXPECT_EQ(Below->Paints, Before);
    // Brought back, it paints what shows.
    Box->VertScrollBar()->SetPosition(400);
    Pump();
    EXPECT_GT(Below->Paints, Before);
    const TRect Client = BoxClient();
    EXPECT_EQ(PixelAt({ Client.Left + 5, Client.Top + Below->Top() + 5 }), 0x40C040u);
}

TEST_F(ScrollBoxes, TheWheelScrollsTheVerticalBarElseTheHorizontal)
{
    const TRect C = BoxClient();
    const TPoint In { C.Left + 20, C.Top + 20 };
    Wheel(In, -WHEEL_DELTA);
    EXPECT_EQ(Box->VertScrollBar()->Position(), 0) << "nothing to scroll";
    Content->SetBounds(0, 0, 600, 100);
    Pump();
    const Integer Step = 3 * Box->HorzScrollBar()->Increment();
    Wheel(In, -WHEEL_DELTA);
    EXPECT_EQ(Box->HorzScrollBar()->Position(), Step);
    Content->SetBounds(Content->Left(), 0, 600, 1000);
    Pump();
    Wheel(In, -2 * WHEEL_DELTA);
    EXPECT_EQ(Box->VertScrollBar()->Position(), 2 * Step);
    Wheel(In, 10 * WHEEL_DELTA);
    EXPECT_EQ(Box->VertScrollBar()->Position(), 0) << "clamped at the top";
}

TEST(ScrollBars, ArrowsPagesAndTheScrollEventDecideThePosition)
{
    THeadlessPresenter Presenter;
    TManualClock Clock;
    TOwnedPtr<TForm> Form(MakeOwned<TForm>(nullptr));
    Form->SetBounds(0, 0, 300, 100);
    auto* Bar = New<TScrollBar>(Form.get());
    Bar->SetParent(Form.get());
    Bar->SetBounds(10, 10, 200, 17);
    Bar->SetParams(10, 0, 100);
    Bar->SetPageSize(20);
    Bar->SetLargeChange(15);
    std::vector<TScrollCode> Codes;
    Integer Changes = 0;
    Bar->OnScroll = [&](TObject*, TScrollCode Code, Integer& Pos) {
        Codes.push_back(Code);
        if (Pos == 50)
            Pos = 40; // the handler has the last word
    };
    Bar->OnChange = [&](TObject*) { ++Changes; };
    Form->Show();
    Application->ProcessMessages();
    auto ClickAt = [&](Integer X) {
        const TPoint S = Form->ClientToScreen({ 10 + X, 18 });
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ S.X, S.Y }, mbiLeft, false));
        Application->ProcessMessages();
    };
    ClickAt(195);
    EXPECT_EQ(Bar->Position(), 11);
    ClickAt(180);
    EXPECT_EQ(Bar->Position(), 26);
    Bar->SetPosition(35);
    ClickAt(180);
    EXPECT_EQ(Bar->Position(), 40);
    ClickAt(3);
    EXPECT_EQ(Bar->Position(), 39);
    Bar->SetPosition(1000);
    EXPECT_EQ(Bar->Position(), 81) << "the last page ends at Max";
    EXPECT_EQ(Codes.front(), scLineDown);
    EXPECT_EQ(Codes[2], scPageDown);
    EXPECT_EQ(Codes.back(), scEndScroll);
    EXPECT_EQ(Changes, 6);
    EXPECT_THROW(Bar->SetParams(0, 10, 5), EInvalidOperation);
}

namespace {

class SpeedButtons : public TFormFixture {
protected:
    TSpeedButton* AddSpeed(Integer X, Integer Group, const String& Caption = u"")
    {
        auto* B = New<TSpeedButton>(Form);
        B->SetParent(Form);
        B->SetBounds(X, 10, 60, 24);
        B->SetGroupIndex(Group);
        B->SetCaption(Caption);
        B->OnClick = [this, B](TObject*) { Log.push_back(B); };
        return B;
    }
    std::vector<TSpeedButton*> Log;
};

// A 16 x 16 glyph per state, each its own colour on a magenta ground.
TOwnedPtr<TBitmap> StateGlyphs(Integer Count)
{
    TOwnedPtr<TBitmap> Glyph(MakeOwned<TBitmap>());
    Glyph->SetPixelFormat(pf24bit);
    Glyph->SetSize(16 * Count, 16);
    TCanvas* C = Glyph->Canvas();
    C->Brush()->SetColor(0xFF00FF);
    C->FillRect({ 0, 0, 16 * Count, 16 });
    const TColor Colors[] = { 0xC00000, 0x808080, 0x0000C0, 0x00A000 };
    for (Integer I = 0; I < Count; ++I) {
        C->Brush()->SetColor(Colors[I]);
        C->FillRect({ 16 * I + 3, 3, 16 * I + 13, 13 });
    }
    return Glyph;
}

}

TEST_F(SpeedButtons, AGroupKeepsOneButtonDownAndAllUpOnlyWhenAllowed)
{
    TSpeedButton* A = AddSpeed(10, 1);
    TSpeedButton* B = AddSpeed(80, 1);
    TSpeedButton* Plain = AddSpeed(150, 0);
    Form->Show();
    Pump();
    struct TCase {
        const char* Name;
        TSpeedButton* Target;
        bool AllowAllUp;
        bool ADown, BDown;
    };
    const TCase Cases[] = {
        { "a click puts a grouped button down", A, false, true, false },
        { "the other goes down, the first up", B, false, false, true },
        { "the last down stays down", B, false, false, true },
        { "unless all may be up", B, true, false, false },
        { "a plain button never stays down", Plain, false, false, false },
    };
    for (const TCase& C : Cases) {
        A->SetAllowAllUp(C.AllowAllUp);
        Log.clear();
        Click({ C.Target->Left() + 5, 15 });
        EXPECT_EQ(A->Down(), C.ADown) << C.Name;
        EXPECT_EQ(B->Down(), C.BDown) << C.Name;
        EXPECT_EQ(B->AllowAllUp(), C.AllowAllUp) << C.Name << ": the group shares it";
        EXPECT_EQ(Log, std::vector<TSpeedButton*> { C.Target }) << C.Name;
        EXPECT_EQ(Plain->Down(), false) << C.Name;
    }
    // Pressed, then let go outside: no click, the button back up.
    Log.clear();
    Press({ 155, 15 }, true);
    EXPECT_EQ(Plain->State(), bsDown);
    Move({ 300, 200 });
    EXPECT_EQ(Plain->State(), bsUp);
    Press({ 300, 200 }, false);
    EXPECT_TRUE(Log.empty());
}

TEST_F(SpeedButtons, AHandlerThatFreesItsButtonEndsClean)
{
    TSpeedButton* A = AddSpeed(10, 1);
    A->OnClick = [](TObject* Sender) { static_cast<TSpeedButton*>(Sender)->Free(); };
    Form->Show();
    Pump();
    Click({ 15, 15 });
    EXPECT_EQ(Form->ControlCount(), 0);
}

TEST_F(SpeedButtons, TheGlyphShowsThePictureOfItsStateAndItsGroundSeeThrough)
{
    Form->SetColor(clBtnFace);
    TSpeedButton* B = AddSpeed(10, 1);
    TOwnedPtr<TBitmap> Glyph = StateGlyphs(4);
    B->SetGlyph(Glyph.get());
    B->SetNumGlyphs(4);
    Form->Show();
    Pump();
    const TPoint Middle { 10 + 30, 10 + 12 };
    EXPECT_EQ(PixelAt(Middle), 0xC00000u) << "up";
    EXPECT_EQ(PixelAt({ Middle.X - 7, Middle.Y }), ColorToRGB(clBtnFace)) << "magenta is see-through";
    B->SetDown(true);
    Pump();
    EXPECT_EQ(PixelAt({ Middle.X + 1, Middle.Y + 1 }), 0x00A000u) << "down in its group";
    B->SetAllowAllUp(true);
    B->SetDown(false);
    B->SetEnabled(false);
    Pump();
    EXPECT_EQ(PixelAt(Middle), 0x808080u) << "its own disabled picture";
    B->SetNumGlyphs(1);
    Pump();
    const TColor Grey = PixelAt(Middle);
    EXPECT_EQ(Grey & 0xFF, (Grey >> 8) & 0xFF) << "the first picture greyed";
}

TEST_F(SpeedButtons, GalleryOfScrollBoxesScrollBarsSpeedButtonsIconViewsAndHintsAt96And144Dpi)
{
    for (Integer Dpi : { 96, 144 }) {
        SetScreenDPI(Dpi, Dpi);
        auto Px = [Dpi](Integer N) { return MulDiv(N, Dpi, 96); };
        TOwnedPtr<TForm> Host(MakeOwned<TForm>(nullptr));
        Host->SetColor(clBtnFace);
        Host->Font()->SetHeight(-Px(12));
        Host->SetBounds(50, 50, Px(420), Px(250));
        auto* Box = New<TScrollBox>(Host.get());
        Box->SetParent(Host.get());
        Box->SetBounds(Px(10), Px(10), Px(180), Px(140));
        Box->SetColor(clWindow);
        for (Integer I = 0; I < 6; ++I) {
            auto* P = New<TProbePanel>(Host.get());
            P->SetParent(Box);
            P->SetColor(I % 2 ? 0x60A0E0 : 0xE0A060);
            P->SetBounds(Px(10 + 50 * I), Px(10 + 40 * I), Px(60), Px(50));
        }
        Box->VertScrollBar()->SetPosition(Px(40));
        auto* H = New<TScrollBar>(Host.get());
        H->SetParent(Host.get());
        H->SetBounds(Px(10), Px(160), Px(180), GetSystemMetrics(SM_CYHSCROLL));
        H->SetParams(30, 0, 100);
        H->SetPageSize(25);
        auto* V = New<TScrollBar>(Host.get());
        V->SetKind(sbVertical);
        V->SetParent(Host.get());
        V->SetBounds(Px(200), Px(10), GetSystemMetrics(SM_CXVSCROLL), Px(140));
        V->SetParams(80, 0, 100);
        V->SetPageSize(10);
        TOwnedPtr<TBitmap> Glyph = StateGlyphs(1);
        const char16_t* Captions[] = { u"Up", u"Down", u"Flat", u"Hot", u"Off" };
        for (Integer I = 0; I < 5; ++I) {
            auto* B = New<TSpeedButton>(Host.get());
            B->SetParent(Host.get());
            B->SetBounds(Px(230), Px(10 + 30 * I), Px(80), Px(26));
            B->SetGlyph(Glyph.get());
            B->SetCaption(Captions[I]);
            B->SetGroupIndex(I == 1 ? 1 : 0);
            B->SetDown(I == 1);
            B->SetFlat(I >= 2);
            B->SetEnabled(I != 4);
            if (I == 3)
                B->Perform(CM_MOUSEENTER);
        }
        auto* Top = New<TSpeedButton>(Host.get());
        Top->SetParent(Host.get());
        Top->SetBounds(Px(320), Px(10), Px(80), Px(60));
        Top->SetGlyph(Glyph.get());
        Top->SetLayout(blGlyphTop);
        Top->SetCaption(u"Above");
        // The icon view of a list.
        auto* Icons = New<TImageList>(Host.get());
        Icons->SetSize(Px(32), Px(32));
        for (TColor C : { TColor(0xC08040), TColor(0x4080C0), TColor(0x40A040) }) {
            TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
            Bmp->SetSize(Px(32), Px(32));
            Bmp->Fill(C);
            Icons->Add(Bmp.get(), nullptr);
        }
        auto* List = New<TListView>(Host.get());
        List->SetParent(Host.get());
        List->SetBounds(Px(10), Px(180), Px(400), Px(64));
        List->SetLargeImages(Icons);
        List->SetViewStyle(vsIcon);
        List->Perform(LVM_SETICONSPACING, 0, MAKELPARAM(Word(Px(64)), Word(Px(60))));
        const char16_t* Names[] = { u"Spring", u"Summer", u"Autumn", u"Winter", u"A long caption that wraps" };
        for (Integer I = 0; I < 5; ++I) {
            TListItem* Item = List->Items()->Add();
            Item->SetCaption(Names[I]);
            Item->SetImageIndex(I % 3);
        }
        List->SetItemIndex(1);
        Host->SetBounds(50, 50, Px(420), Px(250));
        Host->Show();
        Pump();
        EXPECT_TRUE(Box->VertScrollBar()->IsScrollBarVisible());
        EXPECT_TRUE(Box->HorzScrollBar()->IsScrollBarVisible());
        SavePicture(Host->Handle(), "vcl-scrolling-speed-buttons-" + std::to_string(Dpi) + ".png");
        // A hint over the first speed button.
        auto* Hinted = DynamicCast<TSpeedButton>(FindDragTarget(Host->ClientToScreen({ Px(240), Px(20) }), false));
        ASSERT_NE(Hinted, nullptr);
        Hinted->SetHint(u"Shows the next picture");
        Hinted->SetShowHint(true);
        Application->ActivateHint(Host->ClientToScreen({ Px(240), Px(20) }));
        THintWindow* Hint = Application->HintWindow();
        ASSERT_NE(Hint, nullptr);
        Hint->Font()->SetHeight(-Px(12));
        Application->ActivateHint(Host->ClientToScreen({ Px(240), Px(20) }));
        Pump();
        SavePicture(Hint->Handle(), "vcl-hint-" + std::to_string(Dpi) + ".png");
        Application->CancelHint();
    }
    SetScreenDPI(96, 96);
}
