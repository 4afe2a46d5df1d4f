// Painting: a top-level window owns one backing store, the size of its
// window rectangle, and it and all its descendants paint into it. A
// child's device context has the child's origin in the store and is
// clipped to what of it can be seen: cut to every ancestor's client area,
// with the siblings above it (its own and its ancestors') and its own
// visible children cut away. Child windows own no pixels, so memory
// follows what the screen shows, not how large a window's content is.
// When a child window moves, changes size or order, or is shown or
// hidden, what it uncovers and what it now shows paint again.
//
// Invalidated parts of a window collect in its update region. When the
// thread's queue holds no posted message, the loop hands out WM_PAINT for
// a visible window whose region is not empty; BeginPaint sends
// WM_NCPAINT (when the frame is in the region) and WM_ERASEBKGND, and
// answers a device context clipped to the region, which it empties:
//
//     case WM_PAINT: {
//         PAINTSTRUCT Ps;
//         HDC Dc = BeginPaint(Wnd, &Ps);
//         ... draw on Dc (a canvas of the picture layer takes it) ...
//         EndPaint(Wnd, &Ps);
//         return 0;
//     }
//
// What a device context drew goes to the presenter when the queue has
// nothing left to paint. The window layer owns all of this; it never
// waits for a screen.
#pragma once
#include "win/PixelBuffer.h"
#include <vector>

struct HDC__;
using HDC = HDC__*;

struct PAINTSTRUCT {
    HDC hdc = nullptr;
    bool fErase = false; // the background still needs erasing
    RECT rcPaint; // the region's bounds, client coordinates
};

// Adds Rect (client coordinates; null: the whole client area) to the
// update region; Erase asks for WM_ERASEBKGND. False for a dead window.
bool InvalidateRect(HWND Wnd, const RECT* Rect, bool Erase);
bool ValidateRect(HWND Wnd, const RECT* Rect);
// The update region's bounds in client coordinates; false when empty.
bool GetUpdateRect(HWND Wnd, RECT* Rect, bool Erase);
// Paints the window now (WM_PAINT sent) when its region is not empty.
bool UpdateWindow(HWND Wnd);

constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
// Invalidates or validates Rect (client coordinates; null: the window, its
// frame included with RDW_FRAME), in the children too with
// RDW_ALLCHILDREN; RDW_UPDATENOW paints at once.
bool RedrawWindow(HWND Wnd, const RECT* Rect, UINT Flags);

// Device contexts on the visible part of a window: its client area (GetDC)
// or the whole window (GetWindowDC); every one is given back with
// ReleaseDC.
HDC GetDC(HWND Wnd);
HDC GetWindowDC(HWND Wnd);
Integer ReleaseDC(HWND Wnd, HDC Dc);
HDC BeginPaint(HWND Wnd, PAINTSTRUCT* Paint);
bool EndPaint(HWND Wnd, const PAINTSTRUCT* Paint);
HWND WindowFromDC(HDC Dc);

// Logical coordinates: a point (X, Y) drawn on the context lands on the
// client (or window) pixel (X - org.x, Y - org.y).
bool SetWindowOrgEx(HDC Dc, Integer X, Integer Y, POINT* Old);
bool GetWindowOrgEx(HDC Dc, POINT* Org);
// Logical rectangles; the clip area only shrinks. The answers are the
// region kinds of the picture layer (gdi/Region.h): 0 ERROR (a bad
// context), 1 NULLREGION, 2 SIMPLEREGION, 3 COMPLEXREGION.
Integer IntersectClipRect(HDC Dc, Integer Left, Integer Top, Integer Right, Integer Bottom);
Integer ExcludeClipRect(HDC Dc, Integer Left, Integer Top, Integer Right, Integer Bottom);
Integer GetClipBox(HDC Dc, RECT* Rect);
// The origin and clip area saved on a stack; RestoreDC(-1) takes the last.
Integer SaveDC(HDC Dc);
bool RestoreDC(HDC Dc, Integer Saved);

// What a canvas needs to draw on a context: the backing store it draws
// on, where logical (0, 0) lies on it, and the parts of it that may be
// painted (in store coordinates, disjoint). The store stays valid while
// the context is held.
struct TDCSurface {
    TPixelBuffer* Bitmap = nullptr;
    POINT Offset;
    std::vector<RECT> Clip;
};
bool GetDCSurface(HDC Dc, TDCSurface& Surface);

// The window's picture with its visible descendants, the size of its
// window rectangle: what its store holds for a top-level window or a child
// shown whole; a child partly or not at all on view paints into a picture
// of its own (WM_NCPAINT, WM_ERASEBKGND and WM_PAINT of the whole window,
// its update region left alone). False for a dead window.
bool GetWindowPicture(HWND Wnd, TPixelBuffer& Picture);
// Hands what was painted since the last time to the presenter; the message
// loop does it whenever nothing is left to paint.
void FlushWindowPictures();

constexpr UINT SW_SCROLLCHILDREN = 0x0001;
constexpr UINT SW_INVALIDATE = 0x0002;
constexpr UINT SW_ERASE = 0x0004;
// Scrolls the pixels of the client area's rectangle Scroll (null: the
// whole client area) by (Dx, Dy), written only inside Clip (null: the
// client area); the pending update region there moves along. What the
// move uncovers (and what of the window did not show before) is answered
// in Update (its bounds, client coordinates); SW_INVALIDATE invalidates
// it, with WM_ERASEBKGND for SW_ERASE. SW_SCROLLCHILDREN moves the child
// windows that meet Scroll (all of them without one) with their pixels,
// each told by WM_WINDOWPOSCHANGED. Answers the uncovered area's kind (as
// IntersectClipRect), 0 for a dead window. The update region is offered
// as its bounds only: this layer has no region objects.
Integer ScrollWindowEx(HWND Wnd, Integer Dx, Integer Dy, const RECT* Scroll, const RECT* Clip, RECT* Update, UINT Flags);
// ScrollWindowEx that invalidates and erases what it uncovers; without
// Scroll the children move too.
bool ScrollWindow(HWND Wnd, Integer Dx, Integer Dy, const RECT* Scroll, const RECT* Clip);
