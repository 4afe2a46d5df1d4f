#include "FormsTestSupport.h"
#include "core/XEngine.Gears.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include "win/Metrics.h"
#include "win/WindowTree.h"

using namespace FormsTests;

namespace {

class SkinnedForms : public TSkinnedFixture { };

}

TEST_F(SkinnedForms, ApplyingAndRemovingTheSkinKeepsTheClientSize)
{
    struct TCase {
        const char* Name;
        bool CaptionFrame;
        bool AlphaStyle;
    };
    const TCase Cases[] = {
        { "plain", false, false },
        { "caption frame", true, false },
        { "alpha style", false, true },
        { "caption frame and alpha style", true, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Data->SetAlphaStyle(C.AlphaStyle);
        TXForm* F = NewForm();
        if (C.CaptionFrame)
            F->Style()->SetCaptionFrameClass(TXCaptionFrame::StaticClass());
        F->ApplySkin();
        const Integer Caption = F->CaptionFrame() ? F->CaptionFrame()->Height() : 0;
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->ClientWidth(), 300);
        Skinned(F);
        ASSERT_EQ(F->SkinData(), Data);
        EXPECT_EQ(F->BorderStyle(), bsNone);
        EXPECT_EQ(F->ClientWidth(), 300);
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->Width(), 300 + 4 + 5);
        EXPECT_EQ(F->Height(), 200 + Caption + 30 + 6);
        EXPECT_EQ(F->Companion() != nullptr, C.AlphaStyle);
        F->Style()->SetSkinData(nullptr);
        EXPECT_EQ(F->BorderStyle(), bsSizeable);
        EXPECT_EQ(F->ClientWidth(), 300);
        EXPECT_EQ(F->ClientHeight(), 200 + Caption);
        EXPECT_EQ(F->Companion(), nullptr);
        Pump();
    }
}

TEST_F(SkinnedForms, SkinHitTestGrid)
{
    TXForm* F = NewForm();
    Skinned(F);
    const Integer Fx = GetSystemMetrics(SM_CXFRAME), Fy = GetSystemMetrics(SM_CYFRAME);
    const Integer W = F->Width(), H = F->Height();
    struct TCase {
        TPoint P;
        LRESULT Code;
    };
    const TCase Cases[] = {
        { { 0, 0 }, HTTOPLEFT },
        { { W - 1, 0 }, HTTOPRIGHT },
        { { 0, H - 1 }, HTBOTTOMLEFT },
        { { W - 1, H - 1 }, HTBOTTOMRIGHT },
        { { 0, H / 2 }, HTLEFT },
        { { W - 1, H / 2 }, HTRIGHT },
        { { W / 2, 0 }, HTTOP },
        { { W / 2, H - 1 }, HTBOTTOM },
        { { W / 2, Fy + 1 }, HTCAPTION },
        { { W / 2, 29 }, HTCAPTION },
        { { W / 2, 30 }, HTCLIENT },
        { { Fx, H / 2 }, HTCLIENT },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.P.X << "," << C.P.Y);
        const LPARAM Screen = MAKELPARAM(Word(F->Left() + C.P.X), Word(F->Top() + C.P.Y));
        EXPECT_EQ(F->Perform(WM_NCHITTEST, 0, Screen), C.Code);
    }
    // Not sizeable: all of it is client, so only a caption frame drags.
    F->Style()->SetBorderStyle(bsDialog);
    for (const TCase& C : Cases) {
        const LPARAM Screen = MAKELPARAM(Word(F->Left() + C.P.X), Word(F->Top() + C.P.Y));
        EXPECT_EQ(F->Perform(WM_NCHITTEST, 0, Screen), HTCLIENT);
    }
}

TEST_F(SkinnedForms, SystemCloseReachesTheOwningDialog)
{
    // Handled or not, the dialog hears 104 "2" 20 ms later; only an
    // unhandled close runs the class library's close.
    for (bool Handle : { false, true }) {
        SCOPED_TRACE(Handle);
        TXForm* F = NewForm();
        auto* Dialog = New<TProbeDialog>(Holder);
        F->SetOwningDialog(Dialog);
        F->Show();
        F->OnSysClose = [&](TObject*, bool& Handled) { Handled = Handle; };
        F->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(F->Visible(), Handle);
        Clock.Advance(19);
        Pump();
        EXPECT_TRUE(Dialog->Commands.empty());
        Clock.Advance(1);
        Pump();
        EXPECT_EQ(Dialog->Commands, (std::vector<std::pair<Integer, String>> { { 104, u"2" } }));
    }
    // A dialog that goes is forgotten.
    TXForm* F = NewForm();
    auto* Dialog = New<TProbeDialog>(Holder);
    F->SetOwningDialog(Dialog);
    Dialog->Free();
    EXPECT_EQ(F->OwningDialog(), nullptr);
    F->Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
}

TEST_F(SkinnedForms, SystemCommandHandlersMayFreeTheForm)
{
    for (WPARAM Cmd : { SC_CLOSE, SC_MINIMIZE, SC_MAXIMIZE }) {
        auto* F = New<TXForm>(nullptr);
        auto* Dialog = New<TProbeDialog>(Holder);
        F->SetOwningDialog(Dialog);
        TXSysCommandEvent Free = [&](TObject*, bool&) { F->Free(); };
        F->OnSysClose = Free;
        F->OnSysMinimize = Free;
        F->OnSysMaximize = Free;
        F->HandleNeeded();
        SendMessage(F->Handle(), WM_SYSCOMMAND, Cmd, 0);
        Clock.Advance(20);
        Pump();
        EXPECT_TRUE(Dialog->Commands.empty());
    }
}

TEST_F(SkinnedForms, KeepFormOnMonitorPerEdge)
{
    TXForm* F = NewForm();
    struct TCase {
        const char* Name;
        TRect Bounds;
        TPoint Expected;
    };
    // The work area is (0, 0)-(1024, 740).
    const TCase Cases[] = {
        { "inside", { 100, 100, 400, 300 }, { 100, 100 } },
        { "right", { 900, 100, 1200, 300 }, { 724, 100 } },
        { "left", { -50, 100, 250, 300 }, { 0, 100 } },
        { "bottom", { 100, 700, 400, 900 }, { 100, 540 } },
        { "top", { 100, -20, 400, 180 }, { 100, 0 } },
        { "oversized", { 300, 300, 1500, 1300 }, { 0, 0 } },
        { "far away", { 2000000000, -2000000000, 2000000300, -1999999800 }, { 724, 0 } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        F->SetBoundsRect(C.Bounds);
        KeepFormOnMonitor(F, ::Screen->Monitors(0));
        EXPECT_EQ(F->Left(), C.Expected.X);
        EXPECT_EQ(F->Top(), C.Expected.Y);
        EXPECT_EQ(F->Width(), C.Bounds.Width());
    }
}

TEST_F(SkinnedForms, RestoreWindow)
{
    struct TCase {
        const char* Name;
        Integer Scaling, DesktopWidth, DesktopHeight;
        TWindowState State;
        Integer Width, Height, Left, Top;
        bool Applies;
        TRect Expected; // the form's client size and place afterwards
        TWindowState ExpectedState;
    };
    // The form starts at (100, 100) with a client of 300 x 200; the screen
    // is 1024 x 768 at 96 DPI, its work area 1024 x 740.
    const TCase Cases[] = {
        { "stored", 96, 1024, 768, wsNormal, 400, 250, 50, 60, true, { 50, 60, 450, 310 }, wsNormal },
        { "other DPI", 120, 1024, 768, wsNormal, 400, 250, 50, 60, false, { 362, 284, 662, 484 }, wsNormal },
        { "smaller desktop", 96, 1280, 1024, wsNormal, 400, 250, 50, 60, false, { 362, 284, 662, 484 },
            wsNormal },
        { "other DPI, maximised", 120, 1024, 768, wsMaximized, 0, 0, 0, 0, false, { 362, 284, 662, 484 },
            wsMaximized },
        { "zero sizes", 96, 1024, 768, wsNormal, 0, 0, 10, 20, true, { 10, 20, 310, 220 }, wsNormal },
        { "maximised", 96, 1024, 768, wsMaximized, 0, 0, 0, 0, true, { 0, 0, 300, 200 }, wsMaximized },
        { "huge", 96, 1024, 768, wsNormal, 100000, 100000, 2147483000, -2147483000, true, { 0, 0, 1024, 740 },
            wsNormal },
        { "negative", 96, 1024, 768, wsNormal, -5, -5, -100000, 100000, true, { 0, 540, 300, 740 }, wsNormal },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TXForm* F = NewForm();
        TOwnedPtr<TXWindowScreenState> State(New<TXWindowScreenState>());
        State->SetScaling(C.Scaling);
        State->SetDesktopWidth(C.DesktopWidth);
        State->SetDesktopHeight(C.DesktopHeight);
        State->SetWindowState(C.State);
        State->SetWidth(C.Width);
        State->SetHeight(C.Height);
        State->SetLeft(C.Left);
        State->SetTop(C.Top);
        EXPECT_EQ(State->RestoreWindow(F), C.Applies);
        EXPECT_EQ(F->WindowState(), C.ExpectedState);
        if (C.ExpectedState == wsMaximized)
            continue;
        EXPECT_EQ(F->Left(), C.Expected.Left);
        EXPECT_EQ(F->Top(), C.Expected.Top);
        EXPECT_EQ(F->ClientWidth(), C.Expected.Width());
        EXPECT_EQ(F->ClientHeight(), C.Expected.Height());
    }
    // Nothing without a form.
    TOwnedPtr<TXWindowScreenState> State(New<TXWindowScreenState>());
    auto* Loose = New<TButton>(nullptr);
    EXPECT_FALSE(State->RestoreWindow(Loose));
    Loose->Free();
}

TEST_F(SkinnedForms, StoreWindowRoundTrip)
{
    TXForm* F = NewForm();
    F->SetBounds(40, 50, 333, 222);
    TOwnedPtr<TXWindowScreenState> State(New<TXWindowScreenState>());
    State->StoreWindow(F);
    EXPECT_EQ(State->Scaling(), 96);
    EXPECT_EQ(State->DesktopWidth(), 1024);
    EXPECT_EQ(State->Width(), F->ClientWidth());
    EXPECT_EQ(State->Left(), 40);
    TXForm* G = NewForm();
    EXPECT_TRUE(State->RestoreWindow(G));
    EXPECT_EQ(G->BoundsRect(), F->BoundsRect());
}

TEST_F(SkinnedForms, AnchorPoint)
{
    struct TCase {
        TPoint Anchor;
        TAnchors Anchors;
        TPoint Expected;
    };
    const TCase Cases[] = {
        { { 300, 50 }, { akRight }, { 200, 100 } },
        { { 300, 0 }, { akRight }, { 100, 100 } }, // unset: the form's own place
        { { 300, 250 }, { akRight, akBottom }, { 200, 50 } },
        { { 300, 250 }, { akLeft, akTop }, { 100, 100 } },
    };
    for (const TCase& C : Cases) {
        auto* F = New<TXWinForm>(nullptr);
        F->SetBounds(100, 100, 100, 200);
        F->SetPosition(poDesigned);
        F->SetAnchors(C.Anchors);
        F->SetAnchorPoint(C.Anchor);
        F->Show();
        EXPECT_EQ(F->Left(), C.Expected.X);
        EXPECT_EQ(F->Top(), C.Expected.Y);
        F->Free();
    }
}

TEST_F(SkinnedForms, AlphaStyleFormsAreCutToARegionOverTheirCompanion)
{
    Data->SetAlphaStyle(true);
    Data->AlphaColor()->SetAlpha(100);
    Data->AlphaColor()->SetcolOff(0x00102030);
    Data->AlphaColor()->SetcolOn(0x00102030);
    Data->Color()->SetAlpha(230);
    TXForm* F = NewForm();
    auto* Child = Add<ControlTests::TProbePanel>(F, { 20, 20, 120, 80 }, clWhite);
    Child->SetParent(F);
    Skinned(F);
    F->Show();
    Pump();
    ASSERT_NE(F->Companion(), nullptr);
    EXPECT_EQ(F->AlphaBlendValue(), 230);
    EXPECT_EQ(F->Companion()->AlphaBlendValue(), 100);
    EXPECT_EQ(F->Companion()->Color(), TColor(0x00102030));
    EXPECT_TRUE(F->Companion()->Visible());
    EXPECT_EQ(F->Companion()->BoundsRect(), F->BoundsRect());
    F->SetBounds(150, 120, F->Width(), F->Height());
    EXPECT_EQ(F->Companion()->BoundsRect(), F->BoundsRect());
    // The region: the border strips and the child, moved by the borders.
    std::vector<RECT> Shape;
    ASSERT_TRUE(GetWindowShape(F->Handle(), Shape));
    HRGN Expected = CreateRectRgn(0, 0, 0, 0);
    HRGN Got = CreateRectRgn(0, 0, 0, 0);
    for (const TRect& R : std::initializer_list<TRect> { { 0, 0, 4, F->Height() }, { 0, 0, F->Width(), 30 },
             { F->Width() - 5, 0, F->Width(), F->Height() }, { 0, F->Height() - 6, F->Width(), F->Height() },
             { 24, 50, 124, 110 } }) {
        HRGN Part = CreateRectRgnIndirect(R);
        CombineRgn(Expected, Expected, Part, RGN_OR);
        DeleteObject(Part);
    }
    GetWindowRgn(F->Handle(), Got);
    EXPECT_TRUE(EqualRgn(Expected, Got));
    DeleteObject(Expected);
    DeleteObject(Got);
    // A point in a cut-out reaches the window below: the companion.
    EXPECT_EQ(WindowFromPoint({ F->Left() + 200, F->Top() + 150 }), F->Companion()->Handle());
    EXPECT_EQ(WindowFromPoint({ F->Left() + 30, F->Top() + 60 }), Child->Handle());
    // Without the skin: no region, no companion, opaque.
    F->Style()->SetSkinData(nullptr);
    EXPECT_FALSE(GetWindowShape(F->Handle(), Shape));
    EXPECT_EQ(F->Companion(), nullptr);
    EXPECT_EQ(F->AlphaBlendValue(), 255);
    Pump();
}

TEST_F(SkinnedForms, HostileStoredGeometryStaysInsideTheDesktopWithoutALargeAllocation)
{
    if (!std::getenv("X_TEST_HOSTILE_GEOMETRY")) {
        const Testing::TToolResult Child = Testing::RunThisTestWith({ "X_TEST_HOSTILE_GEOMETRY=1" });
        EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
        return;
    }
    // The first form shown pays for fonts and the like.
    TXForm* F = NewForm();
    F->Show();
    Pump();
    const Testing::TMemoryBudget Budget(64 << 20);
    const TRect Work = ::Screen->Monitors(0)->WorkareaRect();
    struct TCase {
        Integer Width, Height, Left, Top;
    };
    const TCase Cases[] = { { 100000, 100000, 2147483000, -2147483000 }, { 2147483647, 2147483647, 0, 0 },
        { -2147483647, -5, -100000, 100000 } };
    for (const TCase& C : Cases) {
        TOwnedPtr<TXWindowScreenState> State(New<TXWindowScreenState>());
        State->SetScaling(96);
        State->SetDesktopWidth(1024);
        State->SetDesktopHeight(768);
        State->SetWidth(C.Width);
        State->SetHeight(C.Height);
        State->SetLeft(C.Left);
        State->SetTop(C.Top);
        State->RestoreWindow(F);
        F->Invalidate();
        Pump();
        EXPECT_GE(F->Left(), Work.Left);
        EXPECT_GE(F->Top(), Work.Top);
        EXPECT_LE(F->Left() + F->Width(), Work.Right);
        EXPECT_LE(F->Top() + F->Height(), Work.Bottom);
    }
    EXPECT_LT(Budget.PeakGrowth(), size_t(64) << 20);
}
