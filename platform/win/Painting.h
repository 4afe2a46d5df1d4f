// Painting: every window, children included, paints into a bitmap of its
// own window rectangle; a top-level window's picture is its bitmap with its
// visible children's pictures laid over it in Z order, each cut to its
// parent's client area.
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
// What a device context drew is composed into its top-level window's
// picture when the queue has nothing left to paint, and the changed part
// goes to the presenter. The window layer owns all of this; it never
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

// Device contexts on a window's bitmap: the client area (GetDC) or the
// whole window (GetWindowDC); every one is given back with ReleaseDC.
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

// What a canvas needs to draw on a context: the window's bitmap, where
// logical (0, 0) lies on it, and the parts of it that may be painted (in
// bitmap coordinates, disjoint). The bitmap stays valid while the context
// is held.
struct TDCSurface {
    TPixelBuffer* Bitmap = nullptr;
    POINT Offset;
    std::vector<RECT> Clip;
};
bool GetDCSurface(HDC Dc, TDCSurface& Surface);

// The window's picture: its bitmap with its visible descendants composed
// over it, the size of its window rectangle. False for a dead window.
bool GetWindowPicture(HWND Wnd, TPixelBuffer& Picture);
// Composes what was painted since the last time into the top-level
// windows' pictures and hands the changed parts to the presenter; the
// message loop does it whenever nothing is left to paint.
void FlushWindowPictures();
