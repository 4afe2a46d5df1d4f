#include "vcl/Controls.h"
#include "vcl/ControlsDetail.h"
#include "vcl/Forms.h"
#include "win/Cursors.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/Painting.h"
#include "win/Rects.h"
#include "win/WindowPlacement.h"
#include <algorithm>
#include <unordered_map>

X_REGISTER_CLASS(TWinControl)
X_REGISTER_CLASS(TGraphicControl)
X_REGISTER_CLASS(TCustomControl)

X_MESSAGES(TWinControl)
{
    X_MESSAGE(WM_PAINT, WMPaint);
    X_MESSAGE(WM_ERASEBKGND, WMEraseBkgnd);
    X_MESSAGE(WM_NCHITTEST, WMNCHitTest);
    X_MESSAGE(WM_SETCURSOR, WMSetCursor);
    X_MESSAGE(WM_SETFOCUS, WMSetFocus);
    X_MESSAGE(WM_KILLFOCUS, WMKillFocus);
    X_MESSAGE(WM_KEYDOWN, WMKeyDown);
    X_MESSAGE(WM_SYSKEYDOWN, WMKeyDown);
    X_MESSAGE(WM_KEYUP, WMKeyUp);
    X_MESSAGE(WM_SYSKEYUP, WMKeyUp);
    X_MESSAGE(WM_CHAR, WMChar);
    X_MESSAGE(WM_MOUSELEAVE, WMMouseLeave);
    X_MESSAGE(WM_NCDESTROY, WMNCDestroy);
    X_MESSAGE(WM_WINDOWPOSCHANGED, WMWindowPosChanged);
    X_MESSAGE(WM_GETDLGCODE, WMGetDlgCode);
    X_MESSAGE(WM_NCPAINT, WMNCPaint);
    X_MESSAGE(CM_RECREATEWND, CMRecreateWnd);
    X_MESSAGE(CM_SHOWINGCHANGED, CMShowingChanged);
    X_MESSAGE(CM_VISIBLECHANGED, CMVisibleChanged);
    X_MESSAGE(CM_TEXTCHANGED, CMTextChanged);
    X_MESSAGE(CM_ENTER, CMEnter);
    X_MESSAGE(CM_EXIT, CMExit);
    X_MESSAGE(CM_ENABLEDCHANGED, CMEnabledChanged);
    X_MESSAGE(CM_COLORCHANGED, CMColorChanged);
    X_MESSAGE(CM_FONTCHANGED, CMFontChanged);
    X_MESSAGE(CM_DIALOGKEY, CMDialogKey);
    X_MESSAGE(CM_DIALOGCHAR, CMDialogChar);
    X_MESSAGE(WM_SYSCHAR, WMSysChar);
}

X_MESSAGES(TGraphicControl)
{
    X_MESSAGE(WM_PAINT, WMPaint);
}

namespace {

// Windows of this library by handle (main thread only).
std::unordered_map<HWND, TWinControl*>& Windows()
{
    static std::unordered_map<HWND, TWinControl*> Map;
    return Map;
}

// The control whose window is being made: its first messages come before
// CreateWindowEx has answered the handle.
TWinControl* CreationControl = nullptr;

bool IsDialogKey(Word Key)
{
    switch (Key) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return true;
    default: return false;
    }
}

void FlattenTabList(const TWinControl* Parent, std::vector<TWinControl*>& Out)
{
    for (TWinControl* C : Parent->TabList()) {
        Out.push_back(C);
        FlattenTabList(C, Out);
    }
}

}

LRESULT ControlWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    auto It = Windows().find(Wnd);
    TWinControl* Control = It == Windows().end() ? nullptr : It->second;
    if (!Control && CreationControl) {
        Control = CreationControl;
        CreationControl = nullptr;
        Control->FHandle = Wnd;
        Windows()[Wnd] = Control;
    }
    if (!Control)
        return DefWindowProc(Wnd, Msg, WParam, LParam);
    TMessage Message { Msg, WParam, LParam, 0 };
    // A copy: the control (and its window method) may be freed by the call.
    const TWindowMethod Method = Control->FWindowProc;
    try {
        Method(Message);
    } catch (const Exception&) {
        // The class library's boundary: the application reports what a
        // handler raised and the loop goes on.
        if (Application)
            Application->HandleException(nullptr);
    }
    if (Msg == WM_NCDESTROY)
        Windows().erase(Wnd);
    return Message.Result;
}

TWinControl* FindControl(HWND Wnd)
{
    auto It = Windows().find(Wnd);
    return It == Windows().end() ? nullptr : It->second;
}

TControl* FindDragTarget(TPoint Pos, bool AllowDisabled)
{
    HWND Wnd = WindowFromPoint({ Pos.X, Pos.Y });
    TWinControl* Win = nullptr;
    for (; Wnd && !(Win = FindControl(Wnd)); Wnd = GetParent(Wnd)) { }
    if (!Win)
        return nullptr;
    if (TControl* C = Win->ControlAtPos(Win->ScreenToClient(Pos), AllowDisabled))
        return C;
    return Win;
}

// ---- TWinControl ----

void TWinControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
}

void TWinControl::BeforeDestruction()
{
    Destroying();
    // A windowed control frees the controls it holds, as the class library does.
    while (!FControls.empty() || !FWinControls.empty()) {
        TControl* C = !FControls.empty() ? FControls.back() : FWinControls.back();
        C->Free();
    }
    DestroyHandle();
    inherited::BeforeDestruction();
}

TWinControl::~TWinControl() = default;

HWND TWinControl::Handle()
{
    if (!FHandle) {
        if (FParent)
            FParent->Handle();
        if (!FHandle)
            CreateHandle();
    }
    return FHandle;
}

void TWinControl::SetParentWindow(HWND Value)
{
    if (FParentWindow == Value)
        return;
    DestroyHandle();
    FParentWindow = Value;
    UpdateShowing();
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.Caption = FText;
    Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FControlStyle.Contains(csAcceptsControls)) {
        Params.Style |= WS_CLIPCHILDREN;
        Params.ExStyle |= WS_EX_CONTROLPARENT;
    }
    if (FVisible)
        Params.Style |= WS_VISIBLE;
    if (!FEnabled)
        Params.Style |= WS_DISABLED;
    if (FTabStop)
        Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->Handle() : FParentWindow;
    Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | (FControlStyle.Contains(csDoubleClicks) ? CS_DBLCLKS : 0);
    Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd()
{
    TCreateParams Params;
    CreateParams(Params);
    if (!FParent && !FParentWindow && (Params.Style & WS_CHILD))
        throw EInvalidOperation(u"Control '" + Name() + u"' has no parent window");
    Params.WindowClass.lpfnWndProc = &ControlWindowProc;
    Params.WindowClass.lpszClassName = Params.WinClassName.c_str();
    RegisterClass(Params.WindowClass);
    CreationControl = this;
    HWND Wnd = CreateWindowEx(Params.ExStyle, Params.WinClassName, Params.Caption, Params.Style, Params.X, Params.Y,
        Params.Width, Params.Height, Params.WndParent, Params.Param);
    CreationControl = nullptr;
    if (!Wnd)
        throw EOSError(u"Error creating window of " + ClassName());
}

void TWinControl::CreateHandle()
{
    if (FHandle)
        return;
    FControlState.Include(csCreating);
    CreateWnd();
    FControlState.Exclude(csCreating);
    // Children bottom first, so their windows stack as the list does.
    const std::vector<TWinControl*> Children = FWinControls;
    for (TWinControl* C : Children)
        if (!C->FHandle)
            C->CreateHandle();
    // A frame (an edge, scroll bars) leaves less client area than the
    // children were aligned in before the window existed.
    if (const TRect Client = ClientRect(); FParent && (Client.Width() != FWidth || Client.Height() != FHeight))
        Realign();
    if (!FParent && Showing())
        Perform(CM_SHOWINGCHANGED);
}

void TWinControl::DestroyWnd()
{
    if (FHandle)
        DestroyWindow(FHandle);
    FHandle = nullptr;
}

void TWinControl::DestroyHandle()
{
    if (!FHandle)
        return;
    FControlState.Include(csDestroyingHandle);
    for (TWinControl* C : std::vector<TWinControl*>(FWinControls))
        C->DestroyHandle();
    DestroyWnd();
    FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::RecreateWnd()
{
    if (FHandle)
        Perform(CM_RECREATEWND);
}

void TWinControl::CMRecreateWnd(TMessage& Message)
{
    const bool WasFocused = Focused();
    FControlState.Include(csRecreating);
    DestroyHandle();
    FControlState.Exclude(csRecreating);
    UpdateShowing();
    if (WasFocused && FHandle)
        ::SetFocus(FHandle);
}

void TWinControl::UpdateShowing()
{
    if (!FHandle) {
        if (Showing() && (FParent ? FParent->HandleAllocated() : true))
            CreateHandle();
        return;
    }
    TLifeWatch Watch(FLife);
    Perform(CM_SHOWINGCHANGED);
    if (Watch.Freed() || !Showing())
        return;
    // Children put in while this control was hidden get their windows now.
    const std::vector<TWinControl*> Children = FWinControls;
    TLifeWatches Watches;
    for (TWinControl* C : Children)
        Watches.Add(C->FLife);
    for (size_t I = 0; I < Children.size(); ++I)
        if (!Watches.Freed(I) && !Children[I]->FHandle && Children[I]->FParent == this) {
            Children[I]->UpdateShowing();
            if (Watch.Freed())
                return;
        }
}

void TWinControl::CMShowingChanged(TMessage& Message)
{
    // A child window shows as its control does (its parent's window hides
    // it with itself); a window at the top shows while the control shows.
    const bool Show = FParent ? FVisible : Showing();
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
        SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | (Show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::CMVisibleChanged(TMessage& Message)
{
    if (!FVisible) {
        HWND Focus = GetFocus();
        if (FHandle && Focus && (Focus == FHandle || IsChild(FHandle, Focus)))
            ::SetFocus(nullptr);
    }
    UpdateShowing();
}

void TWinControl::CMTextChanged(TMessage& Message)
{
    if (FHandle)
        SetWindowText(FHandle, FText);
}

void TWinControl::SetText(const String& Value)
{
    inherited::SetText(Value);
}

void TWinControl::SetEnabled(bool Value)
{
    inherited::SetEnabled(Value);
}

void TWinControl::CMEnabledChanged(TMessage& Message)
{
    if (FHandle)
        EnableWindow(FHandle, FEnabled);
    Invalidate();
}

void TWinControl::CMFontChanged(TMessage& Message)
{
    Invalidate();
    NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMColorChanged(TMessage& Message)
{
    Invalidate();
    NotifyControls(CM_PARENTCOLORCHANGED);
}

bool TWinControl::Showing() const
{
    return FVisible && (FParent ? FParent->Showing() : true);
}

void TWinControl::InsertControl(TControl* AControl)
{
    // Containers that keep their own order of children hear of it first.
    Perform(CM_CONTROLLISTCHANGE, WPARAM(AControl), LPARAM(1));
    AControl->FParent = this;
    if (auto* Win = DynamicCast<TWinControl>(AControl)) {
        FWinControls.push_back(Win);
        FTabList.push_back(Win);
        if (FHandle)
            Win->UpdateShowing();
    } else {
        FControls.push_back(AControl);
        AControl->Invalidate();
    }
    if (AControl->FParentColor) {
        AControl->FColor = FColor;
        AControl->Invalidate();
    }
    if (AControl->FParentFont)
        AControl->Perform(CM_PARENTFONTCHANGED);
    if (AControl->Align() != alNone)
        Realign();
    ChildBoundsChanged(AControl);
}

void TWinControl::RemoveControl(TControl* AControl)
{
    Perform(CM_CONTROLLISTCHANGE, WPARAM(AControl), LPARAM(0));
    if (auto* Win = DynamicCast<TWinControl>(AControl)) {
        if (TCustomForm* Form = GetParentForm(this))
            Form->DefocusControl(Win, true);
        Win->DestroyHandle();
        std::erase(FWinControls, Win);
        std::erase(FTabList, Win);
    } else {
        AControl->Invalidate();
        std::erase(FControls, AControl);
    }
    AControl->FParent = nullptr;
    if (ComponentState().Contains(csDestroying))
        return;
    if (AControl->Align() != alNone)
        Realign();
    ChildBoundsChanged(AControl);
}

bool TWinControl::ContainsControl(TControl* Control) const
{
    for (TControl* C = Control; C; C = C->Parent())
        if (C == this)
            return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls)
{
    auto Hit = [&](TControl* C) {
        if (!C->Visible() || (!C->Enabled() && !AllowDisabled) || !InRect(C->BoundsRect(), Pos))
            return false;
        return C->Perform(CM_HITTEST, 0, MAKELPARAM(Word(Pos.X - C->Left()), Word(Pos.Y - C->Top()))) != 0;
    };
    if (AllowWinControls)
        for (auto It = FWinControls.rbegin(); It != FWinControls.rend(); ++It)
            if (Hit(*It))
                return *It;
    for (auto It = FControls.rbegin(); It != FControls.rend(); ++It)
        if (Hit(*It))
            return *It;
    return nullptr;
}

bool TWinControl::ForEachChild(const std::function<bool(TControl*)>& Fn)
{
    std::vector<TControl*> All(FControls.begin(), FControls.end());
    All.insert(All.end(), FWinControls.begin(), FWinControls.end());
    // A call may free or move any child, or this control.
    TLifeWatches Children;
    for (TControl* C : All)
        Children.Add(C->FLife);
    TLifeWatch Watch(FLife);
    for (size_t I = 0; I < All.size(); ++I) {
        if (Children.Freed(I) || All[I]->FParent != this)
            continue;
        const bool Stop = Fn(All[I]);
        if (Watch.Freed())
            return false;
        if (Stop)
            break;
    }
    return true;
}

void TWinControl::Broadcast(TMessage& Message)
{
    ForEachChild([&](TControl* C) {
        const TWindowMethod Method = C->FWindowProc;
        Method(Message);
        return Message.Result != 0;
    });
}

void TWinControl::NotifyControls(UINT Msg)
{
    TMessage Message { Msg, 0, 0, 0 };
    Broadcast(Message);
}

void TWinControl::Realign()
{
    if (FAlignLevel > 0 || FControlState.Contains(csAligning))
        return;
    TRect R = ClientRect();
    AlignControls(nullptr, R);
}

void TWinControl::EnableAlign()
{
    if (FAlignLevel > 0 && --FAlignLevel == 0)
        Realign();
}

void TWinControl::AlignControls(TControl* AControl, TRect& Rect)
{
    FControlState.Include(csAligning);
    for (TAlign A : { alTop, alBottom, alLeft, alRight, alClient })
        DoAlign(A, Rect);
    AnchorControls();
    FControlState.Exclude(csAligning);
}

void TWinControl::AnchorControls()
{
    const TRect Client = ClientRect();
    const TPoint Size { Client.Width(), Client.Height() };
    ForEachChild([&](TControl* C) {
        C->ApplyAnchors(Size);
        return false;
    });
}

void TWinControl::DoAlign(TAlign AAlign, TRect& Rect)
{
    std::vector<TControl*> List;
    for (TControl* C : FControls)
        if (C->Align() == AAlign && C->Visible())
            List.push_back(C);
    for (TControl* C : FWinControls)
        if (C->Align() == AAlign && C->Visible())
            List.push_back(C);
    // Controls already further on the edge come first.
    std::stable_sort(List.begin(), List.end(), [AAlign](TControl* A, TControl* B) {
        switch (AAlign) {
        case alTop: return A->Top() < B->Top();
        case alBottom: return A->Top() + A->Height() > B->Top() + B->Height();
        case alLeft: return A->Left() < B->Left();
        case alRight: return A->Left() + A->Width() > B->Left() + B->Width();
        default: return false;
        }
    });
    for (TControl* C : List) {
        switch (AAlign) {
        case alTop:
            C->SetBounds(Rect.Left, Rect.Top, Rect.Width(), C->Height());
            Rect.Top += C->Height();
            break;
        case alBottom:
            C->SetBounds(Rect.Left, Rect.Bottom - C->Height(), Rect.Width(), C->Height());
            Rect.Bottom -= C->Height();
            break;
        case alLeft:
            C->SetBounds(Rect.Left, Rect.Top, C->Width(), Rect.Height());
            Rect.Left += C->Width();
            break;
        case alRight:
            C->SetBounds(Rect.Right - C->Width(), Rect.Top, C->Width(), Rect.Height());
            Rect.Right -= C->Width();
            break;
        case alClient: C->SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height()); break;
        default: break;
        }
    }
}

bool TWinControl::CanFocus()
{
    for (TWinControl* C = this; C; C = C->Parent())
        if (!C->FVisible || !C->FEnabled)
            return false;
    return true;
}

bool TWinControl::Focused()
{
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus()
{
    ::SetFocus(Handle());
}

Integer TWinControl::TabOrder() const
{
    if (!FParent)
        return -1;
    auto& List = FParent->FTabList;
    auto It = std::find(List.begin(), List.end(), this);
    return It == List.end() ? -1 : Integer(It - List.begin());
}

void TWinControl::SetTabOrder(Integer Value)
{
    if (!FParent)
        return;
    auto& List = FParent->FTabList;
    std::erase(List, this);
    Value = std::clamp<Integer>(Value, 0, Integer(List.size()));
    List.insert(List.begin() + Value, this);
}

void TWinControl::SetTabStop(bool Value)
{
    if (FTabStop == Value)
        return;
    FTabStop = Value;
    if (FHandle) {
        const LONG_PTR Style = GetWindowLongPtr(FHandle, GWL_STYLE);
        SetWindowLongPtr(FHandle, GWL_STYLE, Value ? Style | WS_TABSTOP : Style & ~LONG_PTR(WS_TABSTOP));
    }
}

std::vector<TWinControl*> TWinControl::TabList() const
{
    return FTabList;
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent)
{
    std::vector<TWinControl*> List;
    FlattenTabList(this, List);
    if (List.empty())
        return nullptr;
    const Integer Count = Integer(List.size());
    auto It = std::find(List.begin(), List.end(), CurControl);
    Integer Start = It == List.end() ? (GoForward ? Count - 1 : 0) : Integer(It - List.begin());
    Integer I = Start;
    for (Integer Step = 0; Step < Count; ++Step) {
        I = GoForward ? (I + 1) % Count : (I + Count - 1) % Count;
        TWinControl* C = List[size_t(I)];
        if (C == CurControl)
            continue;
        if ((!CheckTabStop || C->TabStop()) && (!CheckParent || C->Parent() == this) && C->CanFocus())
            return C;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop)
{
    if (TWinControl* Next = FindNextControl(CurControl, GoForward, CheckTabStop, false))
        Next->SetFocus();
}

TRect TWinControl::ClientRect()
{
    if (!FHandle)
        return inherited::ClientRect();
    RECT R;
    GetClientRect(FHandle, &R);
    return { R.left, R.top, R.right, R.bottom };
}

TPoint TWinControl::ClientOrigin()
{
    if (!FHandle)
        return inherited::ClientOrigin();
    POINT P {};
    ::ClientToScreen(FHandle, &P);
    return { P.x, P.y };
}

void TWinControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight)
{
    const bool Sized = std::max(AWidth, 0) != FWidth || std::max(AHeight, 0) != FHeight;
    inherited::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (Sized)
        Realign();
}

void TWinControl::BoundsChanged()
{
    if (!FHandle)
        return;
    FSettingBounds = true;
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    FSettingBounds = false;
}

void TWinControl::UpdateBoundsFromWindow()
{
    RECT R;
    if (!FHandle || !GetWindowRect(FHandle, &R))
        return;
    if (HWND Up = GetParent(FHandle); Up && (GetWindowLongPtr(FHandle, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, Up, reinterpret_cast<POINT*>(&R), 2);
    if (R.left == FLeft && R.top == FTop && R.right - R.left == FWidth && R.bottom - R.top == FHeight)
        return;
    const bool Sized = R.right - R.left != FWidth || R.bottom - R.top != FHeight;
    FLeft = R.left;
    FTop = R.top;
    FWidth = R.right - R.left;
    FHeight = R.bottom - R.top;
    if (Sized) {
        TLifeWatch Watch(FLife);
        Realign();
        if (!Watch.Freed())
            Resize();
    }
}

void TWinControl::WMWindowPosChanged(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed() && !FSettingBounds)
        UpdateBoundsFromWindow();
}

void TWinControl::Invalidate()
{
    if (FHandle)
        InvalidateRect(FHandle, nullptr, !FControlStyle.Contains(csOpaque));
}

void TWinControl::Update()
{
    if (FHandle)
        UpdateWindow(FHandle);
}

void TWinControl::Repaint()
{
    Invalidate();
    Update();
}

void TWinControl::ChangeScale(Integer M, Integer D)
{
    if (M == D || D == 0)
        return;
    DisableAlign();
    // The control takes its new size first, so the children's anchors
    // measure from the parent they will live in.
    inherited::ChangeScale(M, D);
    for (TControl* C : std::vector<TControl*>(FControls))
        C->ChangeScale(M, D);
    for (TWinControl* C : std::vector<TWinControl*>(FWinControls))
        C->ChangeScale(M, D);
    EnableAlign();
}

void TWinControl::DefaultHandler(TMessage& Message)
{
    Message.Result = FHandle ? DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam) : 0;
}

void TWinControl::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        if (IsControlMouseMsg(Message))
            return;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Controls that stop the tab take the focus when pressed.
        if (FTabStop && !Focused() && CanFocus()) {
            TLifeWatch Watch(FLife);
            SetFocus();
            if (Watch.Freed())
                return;
        }
        if (IsControlMouseMsg(Message))
            return;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        if (IsControlMouseMsg(Message))
            return;
        break;
    }
    inherited::WndProc(Message);
}

bool TWinControl::IsControlMouseMsg(TMessage& Message)
{
    TControl* Capture = GetCaptureControl();
    TControl* Target = nullptr;
    const TPoint P = ControlsDetail::MessagePoint(Message);
    if (Capture && Capture->Parent() == this && !DynamicCast<TWinControl>(Capture))
        Target = Capture;
    else if (!Capture)
        Target = ControlAtPos(P, false);
    if (Message.Msg == WM_MOUSEMOVE) {
        TLifeWatch Watch(FLife);
        TrackMouse(Target ? Target : this);
        if (Watch.Freed())
            return true;
    }
    if (!Target)
        return false;
    Message.Result =
        Target->Perform(Message.Msg, Message.WParam, MAKELPARAM(Word(P.X - Target->Left()), Word(P.Y - Target->Top())));
    return true;
}

void TWinControl::TrackMouse(TControl* Target)
{
    if (ControlsDetail::MouseControl() == Target)
        return;
    if (FHandle) {
        TRACKMOUSEEVENT Track;
        Track.dwFlags = TME_LEAVE;
        Track.hwndTrack = FHandle;
        TrackMouseEvent(&Track);
    }
    ControlsDetail::SetMouseControl(Target);
}

void TWinControl::WMMouseLeave(TMessage& Message)
{
    TControl* Current = ControlsDetail::MouseControl();
    if (Current && (Current == this || Current->Parent() == this))
        ControlsDetail::SetMouseControl(nullptr);
}

void TWinControl::WMPaint(TMessage& Message)
{
    if (HDC Dc = reinterpret_cast<HDC>(Message.WParam)) {
        PaintWindow(Dc);
        PaintControls(Dc, nullptr);
        return;
    }
    const HWND Wnd = FHandle;
    PAINTSTRUCT Ps;
    HDC Dc = BeginPaint(Wnd, &Ps);
    TLifeWatch Watch(FLife);
    PaintWindow(Dc);
    if (!Watch.Freed())
        PaintControls(Dc, nullptr);
    EndPaint(Wnd, &Ps);
}

void TWinControl::PaintControls(HDC Dc, TControl* First)
{
    RECT Box;
    GetClipBox(Dc, &Box);
    auto Start = First ? std::find(FControls.begin(), FControls.end(), First) : FControls.begin();
    const std::vector<TControl*> List(Start, FControls.end());
    for (TControl* C : List) {
        if (!ContainsControl(C) || !C->Visible())
            continue;
        const RECT R { C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height() };
        RECT Cut;
        if (!IntersectRect(&Cut, &R, &Box))
            continue;
        const Integer Saved = SaveDC(Dc);
        POINT Org;
        GetWindowOrgEx(Dc, &Org);
        SetWindowOrgEx(Dc, Org.x - C->Left(), Org.y - C->Top(), nullptr);
        IntersectClipRect(Dc, 0, 0, C->Width(), C->Height());
        C->Perform(WM_PAINT, reinterpret_cast<WPARAM>(Dc), 0);
        RestoreDC(Dc, Saved);
    }
}

void TWinControl::WMEraseBkgnd(TMessage& Message)
{
    if (!FControlStyle.Contains(csOpaque))
        FillDCRect(reinterpret_cast<HDC>(Message.WParam), ClientRect(), FColor);
    Message.Result = 1;
}

void TWinControl::WMNCPaint(TMessage& Message)
{
    // The frame the window's styles asked for (the client area lies inside
    // it): a sunken edge of two pixels, then a plain border of one.
    const DWORD Ex = DWORD(GetWindowLongPtr(FHandle, GWL_EXSTYLE));
    const DWORD Style = DWORD(GetWindowLongPtr(FHandle, GWL_STYLE));
    if (!(Style & WS_CHILD))
        return;
    HDC Dc = GetWindowDC(FHandle);
    TRect R { 0, 0, FWidth, FHeight };
    auto Edge = [&](TColor TopLeft, TColor BottomRight) {
        FillDCRect(Dc, { R.Left, R.Top, R.Right, R.Top + 1 }, TopLeft);
        FillDCRect(Dc, { R.Left, R.Top, R.Left + 1, R.Bottom }, TopLeft);
        FillDCRect(Dc, { R.Left, R.Bottom - 1, R.Right, R.Bottom }, BottomRight);
        FillDCRect(Dc, { R.Right - 1, R.Top, R.Right, R.Bottom }, BottomRight);
        R = { R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1 };
    };
    if (Style & WS_BORDER)
        Edge(clWindowFrame, clWindowFrame);
    if (Ex & WS_EX_CLIENTEDGE) {
        Edge(clBtnShadow, clBtnHighlight);
        Edge(cl3DDkShadow, cl3DLight);
    }
    if (Ex & WS_EX_STATICEDGE)
        Edge(clBtnShadow, clBtnHighlight);
    ReleaseDC(FHandle, Dc);
}

void TWinControl::WMNCHitTest(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
}

void TWinControl::WMSetCursor(TMessage& Message)
{
    if (reinterpret_cast<HWND>(Message.WParam) == FHandle && std::int16_t(LOWORD(Message.LParam)) == HTCLIENT &&
        Screen) {
        TCursor Cursor = Screen->Cursor();
        if (Cursor == crDefault) {
            POINT P;
            GetCursorPos(&P);
            TControl* Under = ControlAtPos(ScreenToClient({ P.x, P.y }), false);
            Cursor = Under ? Under->Cursor() : crDefault;
            if (Cursor == crDefault)
                Cursor = FCursor;
        }
        if (Cursor != crDefault) {
            ::SetCursor(Screen->Cursors(Cursor));
            Message.Result = 1;
            return;
        }
    }
    X_INHERITED_MESSAGE(Message);
}

void TWinControl::WMSetFocus(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    if (TWinControl* Top = ControlsDetail::TopParent(this))
        Top->SetFocusedControl(this);
    if (Watch.Freed())
        return;
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed() && PaintsFocus())
        Invalidate();
}

void TWinControl::WMKillFocus(TMessage& Message)
{
    TLifeWatch Watch(FLife);
    X_INHERITED_MESSAGE(Message);
    if (!Watch.Freed() && PaintsFocus())
        Invalidate();
}

void TWinControl::CMEnter(TMessage& Message)
{
    DoEnter();
}

void TWinControl::CMExit(TMessage& Message)
{
    DoExit();
}

void TWinControl::DoEnter()
{
    Fire(OnEnter);
}

void TWinControl::DoExit()
{
    Fire(OnExit);
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift)
{
    if (const TKeyEvent Handler = OnKeyDown)
        Handler(this, Key, Shift);
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift)
{
    if (const TKeyEvent Handler = OnKeyUp)
        Handler(this, Key, Shift);
}

void TWinControl::KeyPress(Char& Key)
{
    if (const TKeyPressEvent Handler = OnKeyPress)
        Handler(this, Key);
}

bool TWinControl::WantsKey(Word Key)
{
    const LRESULT Code = Perform(WM_GETDLGCODE);
    if (Code & DLGC_WANTALLKEYS)
        return true;
    switch (Key) {
    case VK_TAB: return (Code & DLGC_WANTTAB) != 0;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: return (Code & DLGC_WANTARROWS) != 0;
    default: return false;
    }
}

void TWinControl::WMGetDlgCode(TMessage& Message)
{
    Message.Result = 0;
}

void TWinControl::WMKeyDown(TMessage& Message)
{
    Word Key = Word(Message.WParam);
    const TShiftState Shift = KeyboardStateToShiftState();
    TLifeWatch Watch(FLife);
    TWinControl* Top = ControlsDetail::TopParent(this);
    if (Top && Top != this && Top->PreviewKeyDown(Key, Shift))
        return;
    if (Watch.Freed() || Key == 0)
        return;
    KeyDown(Key, Shift);
    if (Watch.Freed() || Key == 0)
        return;
    Message.WParam = Key;
    X_INHERITED_MESSAGE(Message);
}

bool TWinControl::DialogKey(Word Key)
{
    if (!IsDialogKey(Key) || WantsKey(Key))
        return false;
    TWinControl* Top = ControlsDetail::TopParent(this);
    return Top && Top->Perform(CM_DIALOGKEY, Key, 0) != 0;
}

bool IsDialogKeyMessage(const MSG& Msg)
{
    if (Msg.message != WM_KEYDOWN && Msg.message != WM_SYSKEYDOWN)
        return false;
    TWinControl* Control = FindControl(Msg.hwnd);
    return Control && Control->DialogKey(Word(Msg.wParam));
}

void TWinControl::WMKeyUp(TMessage& Message)
{
    Word Key = Word(Message.WParam);
    const TShiftState Shift = KeyboardStateToShiftState();
    TLifeWatch Watch(FLife);
    TWinControl* Top = ControlsDetail::TopParent(this);
    if (Top && Top != this && Top->PreviewKeyUp(Key, Shift))
        return;
    if (Watch.Freed() || Key == 0)
        return;
    KeyUp(Key, Shift);
    if (Watch.Freed() || Key == 0)
        return;
    Message.WParam = Key;
    X_INHERITED_MESSAGE(Message);
}

void TWinControl::WMChar(TMessage& Message)
{
    Char Key = Char(Message.WParam);
    TLifeWatch Watch(FLife);
    TWinControl* Top = ControlsDetail::TopParent(this);
    if (Top && Top != this && Top->PreviewKeyPress(Key))
        return;
    if (Watch.Freed() || Key == 0)
        return;
    KeyPress(Key);
    if (Watch.Freed() || Key == 0)
        return;
    Message.WParam = Key;
    X_INHERITED_MESSAGE(Message);
}

void TWinControl::CMDialogKey(TMessage& Message)
{
    // A dialog key the form did not take goes to every control in it (a
    // default or cancel button answers Enter or Escape).
    Broadcast(Message);
}

void TWinControl::CMDialogChar(TMessage& Message)
{
    // An accelerator goes down the tree until a control takes it.
    Broadcast(Message);
}

void TWinControl::WMSysChar(TMessage& Message)
{
    // Alt and a character: the top-level control offers it to its
    // controls as an accelerator first.
    TWinControl* Top = ControlsDetail::TopParent(this);
    if (Top && Top->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0)
        return;
    X_INHERITED_MESSAGE(Message);
}

void TWinControl::WMNCDestroy(TMessage& Message)
{
    X_INHERITED_MESSAGE(Message);
    FHandle = nullptr;
}

// ---- TGraphicControl ----

void TGraphicControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FCanvas = MakeOwned<TControlCanvas>();
    FCanvas->SetControl(this);
}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WMPaint(TMessage& Message)
{
    HDC Dc = reinterpret_cast<HDC>(Message.WParam);
    if (!Dc)
        return;
    FCanvas->SetHandle(Dc);
    FCanvas->SetFont(FFont.get());
    FCanvas->Brush()->SetColor(FColor);
    TLifeWatch Watch(FLife);
    Paint();
    if (!Watch.Freed())
        FCanvas->SetHandle(nullptr);
}

// ---- TCustomControl ----

void TCustomControl::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FCanvas = MakeOwned<TControlCanvas>();
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC Dc)
{
    FCanvas->SetHandle(Dc);
    FCanvas->SetFont(FFont.get());
    FCanvas->Brush()->SetColor(FColor);
    TLifeWatch Watch(FLife);
    Paint();
    if (!Watch.Freed())
        FCanvas->SetHandle(nullptr);
}
