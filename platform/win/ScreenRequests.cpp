#include "win/ScreenRequests.h"
#include "win/Presenter.h"
#include "win/Rects.h"
#include "win/WindowPlacement.h"
#include <algorithm>

namespace WinDetail {

WPARAM SizingEdge(const RECT& Old, const RECT& New)
{
    // 0 unchanged, 1 the near side (left, top), 2 the far one.
    auto Side = [](LONG OldNear, LONG OldFar, LONG NewNear, LONG NewFar) {
        if (OldFar - OldNear == NewFar - NewNear)
            return 0;
        return NewNear != OldNear && NewFar == OldFar ? 1 : 2;
    };
    const int H = Side(Old.left, Old.right, New.left, New.right);
    const int V = Side(Old.top, Old.bottom, New.top, New.bottom);
    // Rows: vertical side none, top, bottom; columns: horizontal side.
    static constexpr WPARAM Edges[3][3] = {
        { WMSZ_BOTTOMRIGHT, WMSZ_LEFT, WMSZ_RIGHT },
        { WMSZ_TOP, WMSZ_TOPLEFT, WMSZ_TOPRIGHT },
        { WMSZ_BOTTOM, WMSZ_BOTTOMLEFT, WMSZ_BOTTOMRIGHT },
    };
    return Edges[V][H];
}

void ScreenPlaced(const TWindowRef& Window, const RECT& Bounds)
{
    const HWND Wnd = Window->Handle;
    const RECT Old = Window->Rect;
    RECT Asked = Bounds;
    const bool Sized = RectWidth(Old) != RectWidth(Bounds) || RectHeight(Old) != RectHeight(Bounds);
    // Maximising and minimising place the window too; only the user's
    // sizing is the window's to answer.
    if (Sized && !(DWORD(Window->Style.load()) & (WS_MAXIMIZE | WS_MINIMIZE))) {
        SendMessage(Wnd, WM_SIZING, SizingEdge(Old, Bounds), reinterpret_cast<LPARAM>(&Asked));
        if (!Window->Alive)
            return;
        Asked.right = std::max(Asked.right, Asked.left);
        Asked.bottom = std::max(Asked.bottom, Asked.top);
    }
    PlaceWindow(Window, nullptr, Asked.left, Asked.top, RectWidth(Asked), RectHeight(Asked),
        SWP_NOZORDER | SWP_NOACTIVATE, true);
    // The window's answer (WM_SIZING, its tracking sizes) differs from what
    // the screen did: the screen is asked for the answer.
    if (Window->Alive && Window->HasSurface && Window->Rect != Bounds)
        Presenter().SetBounds(Wnd, Window->Rect);
}

void ScreenMinimized(const TWindowRef& Window, bool Minimized)
{
    if (Window->Iconic() == Minimized)
        return;
    SendMessage(Window->Handle, WM_SYSCOMMAND, Minimized ? SC_MINIMIZE : SC_RESTORE, 0);
    if (Window->Alive && Window->HasSurface && Window->Iconic() != Minimized)
        Presenter().ShowWindow(Window->Handle, Window->Iconic() ? SW_MINIMIZE : SW_SHOWNA);
}

void ScreenMaximized(const TWindowRef& Window, bool Maximized)
{
    auto Zoomed = [&] { return (DWORD(Window->Style.load()) & WS_MAXIMIZE) != 0; };
    if (Zoomed() == Maximized || Window->Iconic())
        return;
    SendMessage(Window->Handle, WM_SYSCOMMAND, Maximized ? SC_MAXIMIZE : SC_RESTORE, 0);
    if (Window->Alive && Window->HasSurface && Zoomed() != Maximized)
        Presenter().ShowWindow(Window->Handle, Zoomed() ? SW_MAXIMIZE : SW_RESTORE);
}

}
