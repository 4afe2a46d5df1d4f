// What the desktop shows of a top-level window beyond its picture: the
// opacity of a layered window (WS_EX_LAYERED) and the window's icon. Both
// are kept with the window and handed to the presenter whenever it has a
// surface for the window.
//
//     SetWindowLongPtr(Wnd, GWL_EXSTYLE, GetWindowLongPtr(Wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
//     SetLayeredWindowAttributes(Wnd, 0, 128, LWA_ALPHA);   // half seen
#pragma once
#include "win/Messages.h"
#include "win/PixelBuffer.h"

constexpr DWORD LWA_COLORKEY = 0x1;
constexpr DWORD LWA_ALPHA = 0x2;

// Only LWA_ALPHA is honoured (a colour key is refused); false for a dead
// handle, a child window or a window without WS_EX_LAYERED.
bool SetLayeredWindowAttributes(HWND Wnd, Cardinal Key, Byte Alpha, DWORD Flags);
bool GetLayeredWindowAttributes(HWND Wnd, Cardinal* Key, Byte* Alpha, DWORD* Flags);
// A 32-bit picture (the fourth byte opacity) the desktop shows for a
// top-level window; an empty one takes it away. False for a dead handle
// or a child window.
bool SetWindowIconPicture(HWND Wnd, const TPixelBuffer& Picture);
