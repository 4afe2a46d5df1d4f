#include "vcl/ControlsDetail.h"
#include "vcl/Forms.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Painting.h"
#include "win/WindowTree.h"
#include <algorithm>

X_REGISTER_CLASS(TControlScrollBar)
X_REGISTER_CLASS(TScrollingWinControl)
X_REGISTER_CLASS(TScrollBox)
X_REGISTER_CLASS(TCustomFrame)
X_REGISTER_CLASS(TFrame)

X_MESSAGES(TScrollingWinControl)
{
    X_MESSAGE(WM_NCCALCSIZE, WMNCCalcSize);
    X_MESSAGE(WM_NCPAINT, WMNCPaint);
    X_MESSAGE(WM_NCHITTEST, WMNCHitTest);
    X_MESSAGE(WM_NCLBUTTONDOWN, WMNCLButtonDown);
    X_MESSAGE(WM_NCLBUTTONDBLCLK, WMNCLButtonDown);
    X_MESSAGE(WM_MOUSEMOVE, WMMouseMove);
    X_MESSAGE(WM_LBUTTONUP, WMLButtonUp);
    X_MESSAGE(WM_HSCROLL, WMHScroll);
    X_MESSAGE(WM_VSCROLL, WMVScroll);
    X_MESSAGE(WM_SIZE, WMSize);
}

namespace {

// Holds a window's whole-window context while a canvas draws on it.
struct TWindowDC {
    HWND Wnd;
    HDC Dc;
    explicit TWindowDC(HWND W)
        : Wnd(W)
        , Dc(GetWindowDC(W))
    { }
    ~TWindowDC()
    {
        if (Dc)
            ReleaseDC(Wnd, Dc);
    }
};

}

// ---- TControlScrollBar ----

void TControlScrollBar::Create(TScrollingWinControl* AControl, TScrollBarKind AKind)
{
    FControl = AControl;
    FKind = AKind;
    FBar = TStripScrollBar(AKind == sbHorizontal);
    FBar.SetLineStep(FIncrement);
}

Integer TControlScrollBar::Size() const
{
    return GetSystemMetrics(FKind == sbVertical ? SM_CXVSCROLL : SM_CYHSCROLL);
}

Integer TControlScrollBar::Increment() const
{
    return FBar.LineStep();
}

void TControlScrollBar::SetIncrement(Integer Value)
{
    FIncrement = std::max(Value, 1);
    if (!FSmooth)
        FBar.SetLineStep(FIncrement);
}

void TControlScrollBar::SetSmooth(bool Value)
{
    FSmooth = Value;
    FControl->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool Value)
{
    if (FVisible == Value)
        return;
    FVisible = Value;
    FControl->UpdateScrollBars();
}

void TControlScrollBar::SetRange(Integer Value)
{
    FControl->FAutoScroll = false;
    FRange = std::max(Value, 0);
    FControl->UpdateScrollBars();
}

void TControlScrollBar::SetPosition(Integer Value)
{
    const Integer Old = FBar.Position();
    if (!FBar.SetPosition(Value))
        return;
    const Integer Delta = Old - FBar.Position();
    if (FKind == sbHorizontal)
        FControl->ScrollBy(Delta, 0);
    else
        FControl->ScrollBy(0, Delta);
    FControl->PaintScrollBars();
}

void TControlScrollBar::ScrollMessage(Integer Code, Integer Pos)
{
    switch (Code) {
    case SB_THUMBTRACK:
        if (FTracking)
            SetPosition(Pos);
        break;
    case SB_THUMBPOSITION: SetPosition(Pos); break;
    case SB_ENDSCROLL: break;
    default: SetPosition(FBar.StepPosition(Code));
    }
}

// ---- TScrollingWinControl ----

void TScrollingWinControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FHorzScrollBar.reset(New<TControlScrollBar>(this, sbHorizontal));
    FVertScrollBar.reset(New<TControlScrollBar>(this, sbVertical));
    FControlStyle.Include(csAcceptsControls);
}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::SetAutoScroll(bool Value)
{
    if (FAutoScroll == Value)
        return;
    FAutoScroll = Value;
    if (!Value) {
        FHorzScrollBar->FRange = 0;
        FVertScrollBar->FRange = 0;
    }
    UpdateScrollBars();
}

void TScrollingWinControl::AlignControls(TControl* AControl, TRect& Rect)
{
    // Aligned children lie in the scrolled content, not in the window:
    // aligning again must not bring them back to the top.
    Rect = { Rect.Left - FHorzScrollBar->Position(), Rect.Top - FVertScrollBar->Position(),
        Rect.Right - FHorzScrollBar->Position(), Rect.Bottom - FVertScrollBar->Position() };
    inherited::AlignControls(AControl, Rect);
    UpdateScrollBars();
}

void TScrollingWinControl::ChildBoundsChanged(TControl* Child)
{
    if (!FUpdating)
        UpdateScrollBars();
}

Integer TScrollingWinControl::ContentExtent(TScrollBarKind Kind)
{
    const Integer Scrolled = Bar(Kind)->Position();
    Integer Extent = 0;
    for (Integer I = 0; I < ControlCount(); ++I) {
        TControl* C = Controls(I);
        if (!C->Visible())
            continue;
        const Integer Far = Kind == sbHorizontal ? C->Left() + C->Width() : C->Top() + C->Height();
        Extent = std::max(Extent, Far + Scrolled);
    }
    return Extent;
}

void TScrollingWinControl::UpdateScrollBars()
{
    if (FUpdating || ComponentState().Contains(csDestroying))
        return;
    ++FUpdating;
    TLifeWatch Watch(FLife);
    if (FAutoScroll) {
        FHorzScrollBar->FRange = ContentExtent(sbHorizontal);
        FVertScrollBar->FRange = ContentExtent(sbVertical);
    }
    // The client area without bars decides which are needed; a bar that
    // comes takes room from the other way, so that one is asked again.
    const TRect Client = ClientRect();
    const Integer Width = Client.Width() + (FVertScrollBar->FShown ? FVertScrollBar->Size() : 0);
    const Integer Height = Client.Height() + (FHorzScrollBar->FShown ? FHorzScrollBar->Size() : 0);
    TControlScrollBar* H = FHorzScrollBar.get();
    TControlScrollBar* V = FVertScrollBar.get();
    bool ShowV = V->FVisible && V->FRange > Height;
    const bool ShowH = H->FVisible && H->FRange > Width - (ShowV ? V->Size() : 0);
    ShowV = V->FVisible && V->FRange > Height - (ShowH ? H->Size() : 0);
    const bool Changed = ShowH != H->FShown || ShowV != V->FShown;
    H->FShown = ShowH;
    V->FShown = ShowV;
    if (Changed && HandleAllocated())
        SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
            SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (Watch.Freed())
        return;
    const TRect Inner = ClientRect();
    for (TControlScrollBar* B : { H, V }) {
        const Integer Page = std::max(B->FKind == sbHorizontal ? Inner.Width() : Inner.Height(), 1);
        const Integer Old = B->FBar.Position();
        B->FBar.SetRange(B->FShown ? B->FRange : 0, Page);
        if (B->FSmooth)
            B->FBar.SetLineStep(std::max(Page / 10, 1));
        // A range that shrank (or a bar that went) brings the content back.
        if (const Integer Delta = Old - B->FBar.Position())
            ScrollBy(B->FKind == sbHorizontal ? Delta : 0, B->FKind == sbVertical ? Delta : 0);
    }
    --FUpdating;
    PaintScrollBars();
}

void TScrollingWinControl::ScrollInView(TControl* AControl)
{
    if (!AControl || AControl == this || !ContainsControl(AControl))
        return;
    const TPoint TopLeft = ScreenToClient(AControl->ClientToScreen({ 0, 0 }));
    const TRect Client = ClientRect();
    auto Bring = [](TControlScrollBar* B, Integer Near, Integer Size, Integer Page) {
        if (Near < 0)
            B->SetPosition(B->Position() + Near);
        else if (Near + Size > Page)
            B->SetPosition(B->Position() + std::min(Near, Near + Size - Page));
    };
    Bring(FHorzScrollBar.get(), TopLeft.X, AControl->Width(), Client.Width());
    Bring(FVertScrollBar.get(), TopLeft.Y, AControl->Height(), Client.Height());
}

bool TScrollingWinControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos)
{
    TLifeWatch Watch(FLife);
    if (inherited::DoMouseWheel(Shift, WheelDelta, MousePos) || Watch.Freed())
        return true;
    // Three steps a notch, down the vertical bar, else along the horizontal.
    TControlScrollBar* B = FVertScrollBar->FShown ? FVertScrollBar.get() : FHorzScrollBar.get();
    if (!B->FShown)
        return false;
    B->SetPosition(B->Position() - WheelDelta * 3 * B->Increment() / WHEEL_DELTA);
    return true;
}

TPoint TScrollingWinControl::ScreenToWindow(TPoint P)
{
    RECT W {};
    GetWindowRect(Handle(), &W);
    return { P.X - W.left, P.Y - W.top };
}

TRect TScrollingWinControl::ScrollBarRect(TScrollBarKind Kind)
{
    TControlScrollBar* B = Bar(Kind);
    if (!HandleAllocated() || !B->FShown)
        return {};
    // The client area's place in the window; the bars lie right of and
    // below it.
    const TPoint Origin = ScreenToWindow(ClientOrigin());
    const TRect C = ClientRect();
    const TRect Client { Origin.X, Origin.Y, Origin.X + C.Width(), Origin.Y + C.Height() };
    if (Kind == sbVertical)
        return { Client.Right, Client.Top, Client.Right + B->Size(), Client.Bottom };
    return { Client.Left, Client.Bottom, Client.Right, Client.Bottom + B->Size() };
}

void TScrollingWinControl::WMNCCalcSize(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    RECT* R = Message.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(Message.LParam);
    if (!R)
        return;
    if (FVertScrollBar->FShown)
        R->right = std::max(R->left, R->right - FVertScrollBar->Size());
    if (FHorzScrollBar->FShown)
        R->bottom = std::max(R->top, R->bottom - FHorzScrollBar->Size());
}

void TScrollingWinControl::WMNCPaint(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    PaintScrollBars();
}

void TScrollingWinControl::PaintScrollBars()
{
    if (!HandleAllocated() || (!FHorzScrollBar->FShown && !FVertScrollBar->FShown))
        return;
    TWindowDC Holder(Handle());
    if (!Holder.Dc)
        return;
    TOwnedPtr<TControlCanvas> Canvas(MakeOwned<TControlCanvas>());
    Canvas->SetHandle(Holder.Dc);
    const TRect H = ScrollBarRect(sbHorizontal), V = ScrollBarRect(sbVertical);
    if (!H.IsEmpty())
        FHorzScrollBar->FBar.Paint(Canvas.get(), H);
    if (!V.IsEmpty())
        FVertScrollBar->FBar.Paint(Canvas.get(), V);
    if (!H.IsEmpty() && !V.IsEmpty()) {
        // The square where the two bars meet.
        Canvas->Brush()->SetColor(clBtnFace);
        Canvas->FillRect({ V.Left, H.Top, V.Right, H.Bottom });
    }
    Canvas->SetHandle(nullptr);
}

void TScrollingWinControl::WMNCHitTest(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    if (Message.Result == HTCLIENT || !HandleAllocated())
        return;
    const TPoint P = ScreenToWindow({ GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) });
    if (InRect(ScrollBarRect(sbVertical), P))
        Message.Result = HTVSCROLL;
    else if (InRect(ScrollBarRect(sbHorizontal), P))
        Message.Result = HTHSCROLL;
}

void TScrollingWinControl::WMNCLButtonDown(TMessage& Message)
{
    const LRESULT Hit = LRESULT(Message.WParam);
    if (Hit != HTVSCROLL && Hit != HTHSCROLL) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    const TScrollBarKind Kind = Hit == HTVSCROLL ? sbVertical : sbHorizontal;
    TControlScrollBar* B = Bar(Kind);
    const TPoint P = ScreenToWindow({ GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam) });
    const TRect Strip = ScrollBarRect(Kind);
    const Integer Code = B->FBar.HitCode(P, Strip);
    if (Code < 0)
        return;
    if (Code == SB_THUMBTRACK) {
        B->FBar.BeginDrag(P, Strip);
        FDragging = B;
        SetCapture(Handle());
        return;
    }
    Perform(Kind == sbVertical ? WM_VSCROLL : WM_HSCROLL, WPARAM(Code));
}

void TScrollingWinControl::WMMouseMove(TMessage& Message)
{
    if (!FDragging) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    const TPoint P = ScreenToWindow(ClientToScreen(ControlsDetail::MessagePoint(Message)));
    const TScrollBarKind Kind = FDragging->FKind;
    // Straight to the bar: a message's 16 bits would cut a tall content.
    FDragging->ScrollMessage(SB_THUMBTRACK, FDragging->FBar.DragPosition(P, ScrollBarRect(Kind)));
}

void TScrollingWinControl::WMLButtonUp(TMessage& Message)
{
    if (!FDragging) {
        X_INHERITED_MESSAGE(Message);
        return;
    }
    TControlScrollBar* B = std::exchange(FDragging, nullptr);
    B->FBar.MouseUp();
    ReleaseCapture();
    const TPoint P = ScreenToWindow(ClientToScreen(ControlsDetail::MessagePoint(Message)));
    B->ScrollMessage(SB_THUMBPOSITION, B->FBar.DragPosition(P, ScrollBarRect(B->FKind)));
}

void TScrollingWinControl::WMHScroll(TMessage& Message)
{
    FHorzScrollBar->ScrollMessage(Integer(LOWORD(Message.WParam)), Integer(HIWORD(Message.WParam)));
}

void TScrollingWinControl::WMVScroll(TMessage& Message)
{
    FVertScrollBar->ScrollMessage(Integer(LOWORD(Message.WParam)), Integer(HIWORD(Message.WParam)));
}

void TScrollingWinControl::WMSize(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed())
        UpdateScrollBars();
}

// ---- TScrollBox ----

void TScrollBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 185;
    FHeight = 41;
    SetTabStop(false);
}

void TScrollBox::SetBorderStyle(TBorderStyle Value)
{
    if (FBorderStyle == Value)
        return;
    FBorderStyle = Value;
    if (HandleAllocated())
        RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& Params)
{
    inherited::CreateParams(Params);
    if (FBorderStyle == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
}

// ---- TCustomFrame ----

void TCustomFrame::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWidth = 320;
    FHeight = 240;
}
