#include "win/WindowTree.h"
#include "win/Input.h"
#include "win/MessageQueue.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/WindowPlacement.h"
#include <algorithm>

using namespace WinDetail;

namespace {

// Where a window's top-left corner lies on the screen.
POINT ScreenOrigin(const TWindowObject& Window)
{
    POINT P { Window.Rect.left, Window.Rect.top };
    for (TWindowRef Up = ParentOf(Window); Up; Up = ParentOf(*Up)) {
        P.x += Up->Client.left + Up->Rect.left;
        P.y += Up->Client.top + Up->Rect.top;
    }
    return P;
}

POINT ClientScreenOrigin(const TWindowObject& Window)
{
    POINT P = ScreenOrigin(Window);
    return { P.x + Window.Client.left, P.y + Window.Client.top };
}

// A shown child window left Old for New (its parent's client coordinates):
// what it no longer covers paints again; all of Old when the Z order
// changed too, since siblings may now lie above what it covered.
void Uncover(const TWindowRef& Window, const RECT& Old, const RECT& New, bool Restacked)
{
    std::vector<RECT> Left;
    if (Restacked)
        Left.push_back(Old);
    else
        SubtractRect(Old, New, Left);
    for (const RECT& R : Left)
        ExposeInParent(Window, R);
}

// The topmost window at Point (screen) below Window, whose window
// rectangle starts at Origin, and its hit code.
TWindowRef HitIn(const TWindowRef& Window, POINT Origin, POINT Point, LRESULT& Hit)
{
    const POINT Local { Point.x - Origin.x, Point.y - Origin.y };
    const RECT Area = Window->WindowArea();
    if (!PtInRect(&Area, Local))
        return nullptr;
    if (PtInRect(&Window->Client, Local)) {
        // Topmost first. The list is not copied (hit tests are hot): a
        // procedure asked below may change it, so the place is checked at
        // every step and the child looked at is held meanwhile.
        const POINT InClient { Local.x - Window->Client.left, Local.y - Window->Client.top };
        for (size_t I = Window->Children.size(); I-- > 0;) {
            if (I >= Window->Children.size())
                continue;
            const TWindowObject& C = *Window->Children[I];
            // A disabled child lets the pointer through to what lies below.
            if (!PtInRect(&C.Rect, InClient) || !C.Alive || !C.Visible() || !C.Enabled())
                continue;
            const TWindowRef Child = Window->Children[I];
            const POINT ChildOrigin { Origin.x + Window->Client.left + Child->Rect.left,
                Origin.y + Window->Client.top + Child->Rect.top };
            if (TWindowRef Found = HitIn(Child, ChildOrigin, Point, Hit))
                return Found;
        }
    }
    Hit = SendMessage(Window->Handle, WM_NCHITTEST, 0, PointToLParam(Point));
    return Hit == HTTRANSPARENT || !Window->Alive ? nullptr : Window;
}

std::vector<TWindowRef> Siblings(const TWindowObject& Window)
{
    if (TWindowRef Parent = ParentOf(Window)) {
        // Topmost first, as the top-level list.
        std::vector<TWindowRef> Result(Parent->Children.rbegin(), Parent->Children.rend());
        return Result;
    }
    std::vector<TWindowRef> Result;
    for (auto& W : TopLevelZOrder())
        if (W->ThreadId == Window.ThreadId)
            Result.push_back(W);
    return Result;
}

void Restack(const TWindowRef& Window, HWND InsertAfter)
{
    if (TWindowRef Parent = ParentOf(*Window)) {
        auto& C = Parent->Children;
        std::erase(C, Window);
        if (InsertAfter == HWND_TOP || InsertAfter == HWND_TOPMOST || InsertAfter == HWND_NOTOPMOST) {
            C.push_back(Window);
        } else if (InsertAfter == HWND_BOTTOM) {
            C.insert(C.begin(), Window);
        } else {
            // Just below InsertAfter; on top when it is no sibling.
            auto It = std::find_if(C.begin(), C.end(), [&](const TWindowRef& W) { return W->Handle == InsertAfter; });
            C.insert(It == C.end() ? C.end() : It, Window);
        }
        return;
    }
    if (InsertAfter == HWND_BOTTOM)
        SendTopLevelToBack(Window);
    else
        BringTopLevelToFront(Window);
}

}

namespace WinDetail {

void RecalcClient(const TWindowRef& Window)
{
    RECT R = Window->Rect;
    SendMessage(Window->Handle, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&R));
    R = RectOffset(R, -Window->Rect.left, -Window->Rect.top);
    const RECT Area = Window->WindowArea();
    R.left = std::clamp(R.left, Area.left, Area.right);
    R.right = std::clamp(R.right, R.left, Area.right);
    R.top = std::clamp(R.top, Area.top, Area.bottom);
    R.bottom = std::clamp(R.bottom, R.top, Area.bottom);
    Window->Client = R;
}

bool PlaceWindow(const TWindowRef& Window, HWND InsertAfter, Integer X, Integer Y, Integer Cx, Integer Cy, UINT Flags,
    bool FromScreen)
{
    WINDOWPOS Pos { Window->Handle, InsertAfter, X, Y, Cx, Cy, Flags };
    if (Flags & SWP_NOMOVE) {
        Pos.x = Window->Rect.left;
        Pos.y = Window->Rect.top;
    }
    if (Flags & SWP_NOSIZE) {
        Pos.cx = RectWidth(Window->Rect);
        Pos.cy = RectHeight(Window->Rect);
    }
    if (!(Flags & SWP_NOSENDCHANGING)) {
        SendMessage(Window->Handle, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&Pos));
        if (!Window->Alive)
            return false;
    }
    Pos.cx = std::max<LONG>(Pos.cx, 0);
    Pos.cy = std::max<LONG>(Pos.cy, 0);
    const RECT Old = Window->Rect;
    const RECT New { Pos.x, Pos.y, Pos.x + Pos.cx, Pos.y + Pos.cy };
    const bool Moved = New.left != Old.left || New.top != Old.top;
    const bool Sized = RectWidth(New) != RectWidth(Old) || RectHeight(New) != RectHeight(Old);
    const bool Restacked = !(Pos.flags & SWP_NOZORDER);
    // Shown by its own flag: under a hidden ancestor the store goes stale
    // all the same, and the update regions wait for the ancestor to show.
    const bool WasVisible = Window->Visible();
    const RECT OldClient = Window->Client;

    Window->Rect = New;
    if (Moved || Sized)
        Window->Placed = true;
    if (Sized || (Pos.flags & SWP_FRAMECHANGED)) {
        RecalcClient(Window);
        if (!Window->Alive)
            return false;
        InvalidateWindow(Window, Window->WindowArea(), true);
    }
    if (Restacked)
        Restack(Window, Pos.hwndInsertAfter);
    if (WasVisible && Window->Parent && (Moved || Sized || Restacked))
        Uncover(Window, Old, New, Restacked);
    if (!Window->Parent && Window->HasSurface && !FromScreen && (Moved || Sized))
        Presenter().SetBounds(Window->Handle, Window->Rect);
    // A window shown while it had no size got no surface: it gets one
    // with its first size, else it would stay off the screen for good.
    if (!Window->Parent && !Window->HasSurface && WasVisible && Sized && !(Pos.flags & SWP_HIDEWINDOW)) {
        EnsureSurface(Window);
        if (Window->HasSurface)
            Presenter().ShowWindow(Window->Handle, SW_SHOWNA);
    }
    if (Pos.flags & SWP_SHOWWINDOW)
        ShowWindow(Window->Handle, (Pos.flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (Pos.flags & SWP_HIDEWINDOW)
        ShowWindow(Window->Handle, SW_HIDE);
    if (!Window->Alive)
        return false;
    // Its pixels in the store no longer fit (children newly in view
    // included).
    const bool ClientMoved = Window->Client.left != OldClient.left || Window->Client.top != OldClient.top;
    if (Window->Visible() && (Sized || ClientMoved || (Window->Parent && (Moved || Restacked))))
        InvalidateTree(Window);
    if (!Window->Parent && (Sized || Restacked))
        MarkChanged(Window, Window->WindowArea());

    Pos.flags |= (Moved ? 0 : SWP_NOMOVE) | (Sized ? 0 : SWP_NOSIZE);
    Pos.x = New.left;
    Pos.y = New.top;
    Pos.cx = RectWidth(New);
    Pos.cy = RectHeight(New);
    if (!((Pos.flags & SWP_NOMOVE) && (Pos.flags & SWP_NOSIZE) && !Restacked))
        SendMessage(Window->Handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&Pos));
    return true;
}

}

bool SetWindowPos(HWND Wnd, HWND InsertAfter, Integer X, Integer Y, Integer Cx, Integer Cy, UINT Flags)
{
    TWindowRef Window = OwnWindow(Wnd);
    return Window && PlaceWindow(Window, InsertAfter, X, Y, Cx, Cy, Flags, false);
}

bool MoveWindow(HWND Wnd, Integer X, Integer Y, Integer Width, Integer Height, bool Repaint)
{
    return SetWindowPos(Wnd, nullptr, X, Y, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool GetWindowRect(HWND Wnd, RECT* Rect)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Rect)
        return false;
    const POINT P = ScreenOrigin(*Window);
    *Rect = { P.x, P.y, P.x + RectWidth(Window->Rect), P.y + RectHeight(Window->Rect) };
    return true;
}

bool GetClientRect(HWND Wnd, RECT* Rect)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Rect)
        return false;
    *Rect = { 0, 0, RectWidth(Window->Client), RectHeight(Window->Client) };
    return true;
}

bool ClientToScreen(HWND Wnd, POINT* Point)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Point)
        return false;
    const POINT O = ClientScreenOrigin(*Window);
    Point->x += O.x;
    Point->y += O.y;
    return true;
}

bool ScreenToClient(HWND Wnd, POINT* Point)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Point)
        return false;
    const POINT O = ClientScreenOrigin(*Window);
    Point->x -= O.x;
    Point->y -= O.y;
    return true;
}

Integer MapWindowPoints(HWND From, HWND To, POINT* Points, UINT Count)
{
    POINT A {}, B {};
    if (From && !ClientToScreen(From, &A))
        return 0;
    if (To && !ClientToScreen(To, &B))
        return 0;
    const LONG Dx = A.x - B.x, Dy = A.y - B.y;
    for (UINT I = 0; Points && I < Count; ++I) {
        Points[I].x += Dx;
        Points[I].y += Dy;
    }
    return MAKELPARAM(Word(Dx), Word(Dy));
}

namespace {

// A screen point inside a top-level window's region (or a window without
// one).
bool InShape(const TWindowObject& Top, POINT Point)
{
    if (!Top.Shape)
        return true;
    const POINT P { Point.x - Top.Rect.left, Point.y - Top.Rect.top };
    return std::any_of(Top.Shape->begin(), Top.Shape->end(), [&](const RECT& R) { return PtInRect(&R, P); });
}

}

bool SetWindowShape(HWND Wnd, const std::vector<RECT>* Rects, bool Redraw)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return false;
    if (Rects)
        Window->Shape = *Rects;
    else
        Window->Shape.reset();
    if (Redraw)
        RedrawWindow(Wnd, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return true;
}

bool GetWindowShape(HWND Wnd, std::vector<RECT>& Rects)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window || !Window->Shape)
        return false;
    Rects = *Window->Shape;
    return true;
}

HWND WindowHitTest(POINT Point, LRESULT* HitCode)
{
    LRESULT Hit = HTNOWHERE;
    for (const TWindowRef& Top : TopLevelZOrder()) {
        if (!Top->Alive || !Top->Visible() || Top->Iconic())
            continue;
        if (!PtInRect(&Top->Rect, Point) || !InShape(*Top, Point))
            continue;
        if (!Top->Enabled()) {
            Hit = HTERROR;
            if (HitCode)
                *HitCode = Hit;
            return Top->Handle;
        }
        if (TWindowRef Found = HitIn(Top, { Top->Rect.left, Top->Rect.top }, Point, Hit)) {
            if (HitCode)
                *HitCode = Hit;
            return Found->Handle;
        }
    }
    if (HitCode)
        *HitCode = HTNOWHERE;
    return nullptr;
}

HWND WindowFromPoint(POINT Point)
{
    return WindowHitTest(Point, nullptr);
}

HWND ChildWindowFromPoint(HWND Parent, POINT Point)
{
    TWindowRef Window = FindWindow(Parent);
    if (!Window)
        return nullptr;
    const RECT Client { 0, 0, RectWidth(Window->Client), RectHeight(Window->Client) };
    if (!PtInRect(&Client, Point))
        return nullptr;
    for (auto It = Window->Children.rbegin(); It != Window->Children.rend(); ++It)
        if ((*It)->Visible() && PtInRect(&(*It)->Rect, Point))
            return (*It)->Handle;
    return Parent;
}

HWND GetWindow(HWND Wnd, UINT Cmd)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return nullptr;
    if (Cmd == GW_OWNER)
        return Window->Owner;
    if (Cmd == GW_CHILD)
        return Window->Children.empty() ? nullptr : Window->Children.back()->Handle;
    const std::vector<TWindowRef> List = Siblings(*Window);
    if (List.empty())
        return nullptr;
    auto Self = std::find(List.begin(), List.end(), Window);
    switch (Cmd) {
    case GW_HWNDFIRST: return List.front()->Handle;
    case GW_HWNDLAST: return List.back()->Handle;
    case GW_HWNDNEXT: return Self == List.end() || Self + 1 == List.end() ? nullptr : (*(Self + 1))->Handle;
    case GW_HWNDPREV: return Self == List.end() || Self == List.begin() ? nullptr : (*(Self - 1))->Handle;
    default: return nullptr;
    }
}

HWND GetTopWindow(HWND Wnd)
{
    return GetWindow(Wnd, GW_CHILD);
}

HWND GetAncestor(HWND Wnd, UINT Flags)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return nullptr;
    switch (Flags) {
    case GA_PARENT: return Window->Parent;
    case GA_ROOT: return TopLevelOf(Window)->Handle;
    case GA_ROOTOWNER: {
        TWindowRef Root = TopLevelOf(Window);
        for (TWindowRef Up; Root->Owner && (Up = FindWindow(Root->Owner));)
            Root = std::move(Up);
        return Root->Handle;
    }
    default: return nullptr;
    }
}

bool IsChild(HWND Parent, HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    for (TWindowRef Up = Window ? ParentOf(*Window) : nullptr; Up; Up = ParentOf(*Up))
        if (Up->Handle == Parent)
            return true;
    return false;
}

HWND SetParent(HWND Wnd, HWND NewParent)
{
    TWindowRef Window = OwnWindow(Wnd);
    TWindowRef To = OwnWindow(NewParent);
    if (!Window || !To || !Window->Parent || To == Window || IsChild(Wnd, NewParent))
        return nullptr;
    TWindowRef From = ParentOf(*Window);
    if (!From)
        return nullptr;
    if (Window->Visible())
        ExposeInParent(Window, Window->Rect);
    std::erase(From->Children, Window);
    To->Children.push_back(Window);
    Window->Parent = NewParent;
    if (Window->Visible())
        InvalidateTree(Window);
    return From->Handle;
}

bool EnableWindow(HWND Wnd, bool Enable)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window)
        return false;
    const bool WasDisabled = !Window->Enabled();
    if (WasDisabled == !Enable)
        return WasDisabled;
    if (Enable) {
        Window->Style = Window->Style & ~LONG_PTR(WS_DISABLED);
    } else {
        Window->Style = Window->Style | LONG_PTR(WS_DISABLED);
        // As the system does: a window about to be disabled ends what it
        // was doing with the mouse first.
        SendMessage(Wnd, WM_CANCELMODE, 0, 0);
        if (!IsWindow(Wnd))
            return false;
        HWND Focus = GetFocus();
        if (Focus && (Focus == Wnd || IsChild(Wnd, Focus)))
            SetFocus(nullptr);
        if (GetCapture() == Wnd)
            ReleaseCapture();
    }
    SendMessage(Wnd, WM_ENABLE, Enable ? 1 : 0, 0);
    return WasDisabled;
}

bool IsWindowEnabled(HWND Wnd)
{
    TWindowRef Window = FindWindow(Wnd);
    return Window && Window->Enabled();
}
