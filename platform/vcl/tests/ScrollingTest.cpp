#include "ControlTestSupport.h"
#include "vcl/Buttons.h"
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
