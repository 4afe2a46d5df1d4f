// The window tree: places, sizes, Z order, parents and owners, enabling,
// and the mapping of points between windows and the screen.
//
// A child window's rectangle is in its parent's client coordinates, a
// top-level window's on the screen. Its client area is what WM_NCCALCSIZE
// leaves of it (DefWindowProc: the borders its styles ask for; top-level
// windows have none of their own: the screen's window manager frames
// them). These calls belong to the window's own thread; other threads get
// false or null.
#pragma once
#include "win/Messages.h"
#include <vector>

// Moves, sizes, restacks, shows or hides a window. Sends
// WM_WINDOWPOSCHANGING (which may change the WINDOWPOS), then
// WM_NCCALCSIZE when the size changed, WM_WINDOWPOSCHANGED (DefWindowProc
// turns it into WM_MOVE and WM_SIZE). A new size makes the window's bitmap
// follow and invalidates the whole window.
bool SetWindowPos(HWND Wnd, HWND InsertAfter, Integer X, Integer Y, Integer Cx, Integer Cy, UINT Flags);
bool MoveWindow(HWND Wnd, Integer X, Integer Y, Integer Width, Integer Height, bool Repaint);
// Screen coordinates; false for a dead window.
bool GetWindowRect(HWND Wnd, RECT* Rect);
// The client area in client coordinates: (0, 0, width, height).
bool GetClientRect(HWND Wnd, RECT* Rect);
bool ClientToScreen(HWND Wnd, POINT* Point);
bool ScreenToClient(HWND Wnd, POINT* Point);
// Client coordinates of From into those of To (null: the screen).
Integer MapWindowPoints(HWND From, HWND To, POINT* Points, UINT Count);

// The window whose WM_NCHITTEST takes the screen point (null for none),
// and the code it answered.
HWND WindowFromPoint(POINT Point);
HWND WindowHitTest(POINT Point, LRESULT* HitCode);
// The visible child of Parent under a point of its client area, Parent
// itself when no child is there, null outside it.
HWND ChildWindowFromPoint(HWND Parent, POINT Point);

constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
// Siblings in Z order (GW_HWNDFIRST the topmost, GW_HWNDNEXT the one
// below), the owner, the topmost child.
HWND GetWindow(HWND Wnd, UINT Cmd);
HWND GetTopWindow(HWND Wnd);
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;
HWND GetAncestor(HWND Wnd, UINT Flags);
bool IsChild(HWND Parent, HWND Wnd);
// Moves a child window into another parent (same thread), keeping its
// rectangle's numbers; answers the parent before, null on failure.
HWND SetParent(HWND Wnd, HWND NewParent);

// The window's region as disjoint rectangles in window coordinates; null
// Rects gives the whole window back. Points outside it reach the windows
// below; Redraw repaints the window.
bool SetWindowShape(HWND Wnd, const std::vector<RECT>* Rects, bool Redraw);
// False when the window has no region (or is dead).
bool GetWindowShape(HWND Wnd, std::vector<RECT>& Rects);

// WM_ENABLE follows a change; a window that is disabled loses the focus
// and the capture. Answers whether it was disabled before.
bool EnableWindow(HWND Wnd, bool Enable);
bool IsWindowEnabled(HWND Wnd);
