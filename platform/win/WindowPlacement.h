// Showing, minimising, restoring and bringing forward windows. Top-level
// windows reach the screen through the presenter. Dead handles fail.
#pragma once
#include "win/WindowTree.h"

// Minimised (WS_MINIMIZE).
bool IsIconic(HWND Wnd);
// Maximised (WS_MAXIMIZE).
bool IsZoomed(HWND Wnd);
// Shown, and every ancestor shown.
bool IsWindowVisible(HWND Wnd);
// SW_HIDE, SW_SHOW, SW_SHOWNORMAL, SW_SHOWNA, SW_SHOWNOACTIVATE,
// SW_MINIMIZE, SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE, SW_RESTORE,
// SW_MAXIMIZE. Sends WM_SHOWWINDOW when visibility changes and WM_SIZE
// when the window is minimised or restored; showing a top-level window
// activates it unless the command says not to, hiding the active one
// activates its owner. Answers whether the window was visible before.
bool ShowWindow(HWND Wnd, Integer Cmd);
// Activates a top-level window and asks the presenter to bring it forward.
bool SetForegroundWindow(HWND Wnd);
HWND GetForegroundWindow();
bool BringWindowToTop(HWND Wnd);
// The window of Wnd's family (Wnd or a window it owns) that was active
// last and is still visible and enabled; Wnd itself when none is.
HWND GetLastActivePopup(HWND Wnd);

// The sizes a top-level window keeps to: the defaults (the largest size
// the virtual desktop, maximised to the work area of the window's monitor)
// as WM_GETMINMAXINFO leaves them. Zeros for a dead handle.
MINMAXINFO GetMinMaxInfo(HWND Wnd);
// A top-level size kept within the window's tracking sizes, as the
// screen sizes windows: overlapped and sizable windows only.
void KeepTrackSize(HWND Wnd, LONG& Width, LONG& Height);
