// Showing, minimising, restoring, placing and bringing forward top-level
// windows, through the presenter. Dead handles fail.
#pragma once
#include "win/Messages.h"

bool IsIconic(HWND Wnd);
bool IsWindowVisible(HWND Wnd);
// Answers whether the window was shown before.
bool ShowWindow(HWND Wnd, Integer Cmd);
bool SetForegroundWindow(HWND Wnd);
HWND GetForegroundWindow();
// False for a window that was never placed.
bool GetWindowRect(HWND Wnd, RECT* Rect);
bool MoveWindow(HWND Wnd, Integer X, Integer Y, Integer Width, Integer Height, bool Repaint);
