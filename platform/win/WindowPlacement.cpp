#include "win/WindowPlacement.h"
#include "win/Input.h"
#include "win/MessageQueue.h"
#include "win/Monitors.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/Rects.h"
#include <algorithm>

using namespace WinDetail;

namespace {

void SetStyleBits(TWindowObject& Window, DWORD Set, DWORD Clear)
{
    Window.Style = (Window.Style & ~LONG_PTR(Clear)) | LONG_PTR(Set);
}

LPARAM ClientSize(const TWindowObject& Window)
{
    return MAKELPARAM(Word(RectWidth(Window.Client)), Word(RectHeight(Window.Client)));
}

bool CanActivate(const TWindowObject& Window)
{
    return !Window.Parent && Window.Visible() && Window.Enabled() && !Window.Iconic() &&
        !(DWORD(Window.ExStyle.load()) & WS_EX_NOACTIVATE);
}

// Showing a window of no size (the hidden windows of the program) never
// takes the keyboard from the window that has it.
bool ActivatesWhenShown(const TWindowObject& Window)
{
    return CanActivate(Window) && !RectEmpty(Window.Rect);
}

// A hidden or minimised active window hands activation on: to its owner,
// else to the topmost other window of the thread that can take it.
void PassActivation(const TWindowRef& Window)
{
    if (GetActiveWindow() != Window->Handle)
        return;
    if (TWindowRef Owner = FindWindow(Window->Owner); Owner && CanActivate(*Owner)) {
        SetActiveWindow(Owner->Handle);
        return;
    }
    for (const TWindowRef& W : TopLevelZOrder())
        if (W != Window && W->ThreadId == Window->ThreadId && ActivatesWhenShown(*W)) {
            SetActiveWindow(W->Handle);
            return;
        }
    SetActiveWindow(nullptr);
}

void DropFocusWithin(const TWindowRef& Window)
{
    HWND Focus = GetFocus();
    if (Focus && (Focus == Window->Handle || IsChild(Window->Handle, Focus)))
        SetFocus(nullptr);
    HWND Capture = GetCapture();
    if (Capture && (Capture == Window->Handle || IsChild(Window->Handle, Capture)))
        ReleaseCapture();
}

// A child shown paints itself whole; one hidden uncovers what lies below.
// A top-level window's store keeps its pixels while hidden.
void MarkShown(const TWindowRef& Window, bool Shown)
{
    if (!Window->Parent)
        MarkChanged(Window, Window->WindowArea());
    else if (!Shown)
        ExposeInParent(Window, Window->Rect);
    else
        InvalidateTree(Window);
}

}

bool IsIconic(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window && Window->Iconic();
}

bool IsZoomed(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window && (DWORD(Window->Style.load()) & WS_MAXIMIZE);
}

MINMAXINFO GetMinMaxInfo(HWND Wnd)
{
    MINMAXINFO Info {};
    if (!IsWindow(Wnd))
        return Info;
    RECT Desktop {};
    for (HMONITOR M : EnumDisplayMonitors()) {
        MONITORINFOEX Monitor;
        if (GetMonitorInfo(M, &Monitor))
            UnionRect(&Desktop, &Desktop, &Monitor.rcMonitor);
    }
    Info.ptMaxTrackSize = { RectWidth(Desktop), RectHeight(Desktop) };
    MONITORINFOEX Near;
    if (GetMonitorInfo(MonitorFromWindow(Wnd, MONITOR_DEFAULTTONEAREST), &Near)) {
        Info.ptMaxPosition = { Near.rcWork.left, Near.rcWork.top };
        Info.ptMaxSize = { RectWidth(Near.rcWork), RectHeight(Near.rcWork) };
    }
    SendMessage(Wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Info));
    return Info;
}

void KeepTrackSize(HWND Wnd, LONG& Width, LONG& Height)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || Window->Parent)
        return;
    const DWORD Style = DWORD(Window->Style.load());
    if (!(Style & WS_THICKFRAME) && (Style & WS_POPUP))
        return;
    const MINMAXINFO Info = GetMinMaxInfo(Wnd);
    // An answer that asks for nothing (or for less than nothing) leaves
    // that side unbounded.
    if (Info.ptMaxTrackSize.x > 0)
        Width = std::min(Width, Info.ptMaxTrackSize.x);
    if (Info.ptMaxTrackSize.y > 0)
        Height = std::min(Height, Info.ptMaxTrackSize.y);
    if (!(Style & WS_MINIMIZE)) {
        Width = std::max(Width, Info.ptMinTrackSize.x);
        Height = std::max(Height, Info.ptMinTrackSize.y);
    }
}

bool IsWindowVisible(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window && ReallyVisible(*Window);
}

bool ShowWindow(HWND Wnd, Integer Cmd)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    const bool Was = Window->Visible();
    const bool WasIconic = Window->Iconic();
    const bool TopLevel = !Window->Parent;
    bool Activate = false;
    switch (Cmd) {
    case SW_HIDE:
        if (!Was)
            return false;
        SendMessage(Wnd, WM_SHOWWINDOW, 0, 0);
        if (!Window->Alive)
            return Was;
        DropFocusWithin(Window);
        MarkShown(Window, false);
        SetStyleBits(*Window, 0, WS_VISIBLE);
        if (TopLevel && Window->HasSurface)
            Presenter().ShowWindow(Wnd, SW_HIDE);
        if (TopLevel)
            PassActivation(Window);
        return Was;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!Was)
            SendMessage(Wnd, WM_SHOWWINDOW, 1, 0);
        SetStyleBits(*Window, WS_VISIBLE | WS_MINIMIZE, WS_MAXIMIZE);
        if (TopLevel) {
            EnsureSurface(Window);
            if (Window->HasSurface)
                Presenter().ShowWindow(Wnd, SW_MINIMIZE);
            DropFocusWithin(Window);
            PassActivation(Window);
        }
        if (!WasIconic)
            SendMessage(Wnd, WM_SIZE, SIZE_MINIMIZED, ClientSize(*Window));
        return Was;
    case SW_MAXIMIZE:
        if (TopLevel) {
            MONITORINFOEX Info;
            if (GetMonitorInfo(MonitorFromWindow(Wnd, MONITOR_DEFAULTTONEAREST), &Info))
                PlaceWindow(Window, nullptr, Info.rcWork.left, Info.rcWork.top, RectWidth(Info.rcWork),
                    RectHeight(Info.rcWork), SWP_NOZORDER | SWP_NOACTIVATE, false);
        }
        SetStyleBits(*Window, WS_MAXIMIZE, WS_MINIMIZE);
        Activate = true;
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        SetStyleBits(*Window, 0, WS_MINIMIZE | WS_MAXIMIZE);
        Activate = true;
        break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE: break;
    default: Activate = true; break;
    }
    if (!Was)
        SendMessage(Wnd, WM_SHOWWINDOW, 1, 0);
    if (!Window->Alive)
        return Was;
    SetStyleBits(*Window, WS_VISIBLE, 0);
    if (!Was || TopLevel)
        MarkShown(Window, true);
    if (TopLevel) {
        EnsureSurface(Window);
        if (Window->HasSurface)
            Presenter().ShowWindow(Wnd, Cmd == SW_MAXIMIZE ? SW_MAXIMIZE : Activate ? SW_SHOWNORMAL : SW_SHOWNA);
        if (Activate && ActivatesWhenShown(*Window))
            SetForegroundWindow(Wnd);
        else
            BringTopLevelToFront(Window);
    }
    if (WasIconic && !Window->Iconic())
        SendMessage(Wnd, WM_SIZE, SIZE_RESTORED, ClientSize(*Window));
    return Was;
}

bool SetForegroundWindow(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    TWindowRef Top = TopLevelOf(Window);
    BringTopLevelToFront(Top);
    if (Top->HasSurface)
        Presenter().SetForeground(Top->Handle);
    if (CanActivate(*Top))
        SetActiveWindow(Top->Handle);
    return true;
}

HWND GetForegroundWindow()
{
    if (HWND Active = GetActiveWindow())
        return Active;
    HWND Wnd = Presenter().Foreground();
    return IsWindow(Wnd) ? Wnd : nullptr;
}

bool BringWindowToTop(HWND Wnd)
{
    return SetWindowPos(Wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

HWND GetLastActivePopup(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return nullptr;
    TWindowRef Popup = FindWindow(Window->LastActivePopup);
    if (Popup && Popup->Visible() && Popup->Enabled())
        return Popup->Handle;
    return Wnd;
}
