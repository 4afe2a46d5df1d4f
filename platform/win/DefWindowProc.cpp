// What a window does with the messages it leaves alone:
// - WM_CLOSE destroys it; WM_QUERYENDSESSION answers 1.
// - WM_NCCALCSIZE: a child window's client area lies inside the borders
//   its styles ask for (WS_BORDER 1, WS_EX_STATICEDGE 1, WS_EX_CLIENTEDGE
//   2, WS_THICKFRAME and WS_DLGFRAME their frame metric); a top-level
//   window's is all of it (the screen's window manager frames it).
// - WM_NCHITTEST: HTCLIENT in the client area, HTBORDER elsewhere in the
//   window, HTNOWHERE outside.
// - WM_PAINT validates (BeginPaint and EndPaint); WM_ERASEBKGND erases
//   nothing (0); WM_NCACTIVATE answers 1.
// - WM_SETCURSOR, WM_MOUSEACTIVATE and WM_MOUSEWHEEL are asked of the
//   parent first; a window under the pointer then shows its class cursor
//   (the arrow without one), the size cursors on size codes.
// - WM_ACTIVATE gives the activated window the focus.
// - WM_NCLBUTTONDOWN on HTCAPTION or a size code of a top-level window
//   asks the presenter to move or size it with the pointer; WM_SYSCOMMAND
//   minimises, maximises, restores, closes, moves and sizes.
// - WM_WINDOWPOSCHANGING keeps a top-level size within the tracking sizes
//   of WM_GETMINMAXINFO (the virtual desktop at most).
// - WM_WINDOWPOSCHANGED sends WM_MOVE and WM_SIZE; WM_CANCELMODE lets the
//   capture go. Everything else answers 0.
#include "win/Cursors.h"
#include "win/Input.h"
#include "win/Metrics.h"
#include "win/MessageQueue.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include "win/WindowPlacement.h"

using namespace WinDetail;

namespace {

RECT ClientInside(const TWindowObject& Window, RECT R)
{
    if (!Window.Child())
        return R;
    const DWORD Style = DWORD(Window.Style.load());
    const DWORD Ex = DWORD(Window.ExStyle.load());
    LONG Dx = 0, Dy = 0;
    if (Style & WS_THICKFRAME) {
        Dx += GetSystemMetrics(SM_CXFRAME);
        Dy += GetSystemMetrics(SM_CYFRAME);
    } else if (Style & WS_DLGFRAME) {
        Dx += GetSystemMetrics(SM_CXDLGFRAME);
        Dy += GetSystemMetrics(SM_CYDLGFRAME);
    } else if (Style & WS_BORDER) {
        Dx += GetSystemMetrics(SM_CXBORDER);
        Dy += GetSystemMetrics(SM_CYBORDER);
    }
    if (Ex & WS_EX_CLIENTEDGE) {
        Dx += GetSystemMetrics(SM_CXEDGE);
        Dy += GetSystemMetrics(SM_CYEDGE);
    }
    if (Ex & WS_EX_STATICEDGE) {
        Dx += GetSystemMetrics(SM_CXBORDER);
        Dy += GetSystemMetrics(SM_CYBORDER);
    }
    R.left += Dx;
    R.top += Dy;
    R.right = std::max(R.left, R.right - Dx);
    R.bottom = std::max(R.top, R.bottom - Dy);
    return R;
}

LRESULT HitTest(HWND Wnd, LPARAM LParam)
{
    TWindowRef Window = FindWindow(Wnd);
    RECT Bounds;
    if (!Window || !GetWindowRect(Wnd, &Bounds))
        return HTNOWHERE;
    const POINT P { GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam) };
    if (!PtInRect(&Bounds, P))
        return HTNOWHERE;
    const RECT Client = RectOffset(Window->Client, Bounds.left, Bounds.top);
    return PtInRect(&Client, P) ? HTCLIENT : HTBORDER;
}

HCURSOR CursorForHit(const TWindowObject& Window, LRESULT Hit)
{
    switch (Hit) {
    case HTCLIENT: return Window.ClassCursor ? Window.ClassCursor : LoadCursor(nullptr, IDC_ARROW);
    case HTLEFT:
    case HTRIGHT: return LoadCursor(nullptr, IDC_SIZEWE);
    case HTTOP:
    case HTBOTTOM: return LoadCursor(nullptr, IDC_SIZENS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return LoadCursor(nullptr, IDC_SIZENWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return LoadCursor(nullptr, IDC_SIZENESW);
    default: return LoadCursor(nullptr, IDC_ARROW);
    }
}

bool IsSizeCode(LRESULT Hit)
{
    return Hit >= HTLEFT && Hit <= HTBOTTOMRIGHT;
}

void MoveSize(HWND Wnd, LRESULT Hit, POINT Point)
{
    TWindowRef Window = OwnWindow(Wnd);
    if (!Window || Window->Parent || !Window->HasSurface)
        return;
    Presenter().BeginMoveSize(Wnd, Hit, Point);
}

}

LRESULT DefWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    switch (Msg) {
    case WM_CLOSE: DestroyWindow(Wnd); return 0;
    case WM_QUERYENDSESSION:
    case WM_NCACTIVATE: return 1;
    case WM_NCCALCSIZE: {
        TWindowRef Window = FindWindow(Wnd);
        if (Window && LParam) {
            RECT* R = WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(LParam)->rgrc[0] : reinterpret_cast<RECT*>(LParam);
            *R = ClientInside(*Window, *R);
        }
        return 0;
    }
    case WM_NCHITTEST: return HitTest(Wnd, LParam);
    case WM_PAINT: {
        PAINTSTRUCT Ps;
        if (BeginPaint(Wnd, &Ps))
            EndPaint(Wnd, &Ps);
        return 0;
    }
    case WM_SETCURSOR: {
        TWindowRef Window = FindWindow(Wnd);
        if (!Window)
            return 0;
        if (Window->Parent)
            if (LRESULT Answer = SendMessage(Window->Parent, Msg, WParam, LParam))
                return Answer;
        const LRESULT Hit = std::int16_t(LOWORD(LParam));
        if (reinterpret_cast<HWND>(WParam) != Wnd || Hit == HTERROR)
            return 0;
        SetCursor(CursorForHit(*Window, Hit));
        return 1;
    }
    case WM_MOUSEACTIVATE: {
        TWindowRef Window = FindWindow(Wnd);
        if (Window && Window->Parent)
            if (LRESULT Answer = SendMessage(Window->Parent, Msg, WParam, LParam))
                return Answer;
        return MA_ACTIVATE;
    }
    case WM_MOUSEWHEEL: {
        TWindowRef Window = FindWindow(Wnd);
        return Window && Window->Parent ? SendMessage(Window->Parent, Msg, WParam, LParam) : 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(WParam) != WA_INACTIVE && !HIWORD(WParam))
            SetFocus(Wnd);
        return 0;
    case WM_NCLBUTTONDOWN:
        if (LRESULT(WParam) == HTCAPTION || IsSizeCode(LRESULT(WParam)))
            MoveSize(Wnd, LRESULT(WParam), { GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam) });
        return 0;
    case WM_SYSCOMMAND: {
        POINT Cursor;
        GetCursorPos(&Cursor);
        switch (WParam & 0xFFF0) {
        case SC_MINIMIZE: ShowWindow(Wnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(Wnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(Wnd, SW_RESTORE); break;
        case SC_CLOSE: SendMessage(Wnd, WM_CLOSE, 0, 0); break;
        case SC_MOVE: MoveSize(Wnd, HTCAPTION, Cursor); break;
        case SC_SIZE: MoveSize(Wnd, HTBOTTOMRIGHT, Cursor); break;
        }
        return 0;
    }
    case WM_WINDOWPOSCHANGING: {
        auto* Pos = reinterpret_cast<WINDOWPOS*>(LParam);
        if (Pos && !(Pos->flags & SWP_NOSIZE))
            KeepTrackSize(Wnd, Pos->cx, Pos->cy);
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* Pos = reinterpret_cast<const WINDOWPOS*>(LParam);
        TWindowRef Window = FindWindow(Wnd);
        if (!Pos || !Window)
            return 0;
        if (!(Pos->flags & SWP_NOMOVE))
            SendMessage(Wnd, WM_MOVE, 0,
                MAKELPARAM(Word(Window->Rect.left + Window->Client.left), Word(Window->Rect.top + Window->Client.top)));
        if (!(Pos->flags & SWP_NOSIZE) && Window->Alive)
            SendMessage(Wnd, WM_SIZE, Window->Iconic() ? SIZE_MINIMIZED : SIZE_RESTORED,
                MAKELPARAM(Word(RectWidth(Window->Client)), Word(RectHeight(Window->Client))));
        return 0;
    }
    case WM_CANCELMODE:
        if (GetCapture() == Wnd)
            ReleaseCapture();
        return 0;
    default: return 0;
    }
}
