// What the screen (the window manager) does to a top-level window reaches
// the window as Windows would send it, so that the program may answer:
// a resize as WM_SIZING (a changed rectangle goes back to the screen), a
// close as SC_CLOSE, minimising, maximising and restoring as SC_MINIMIZE,
// SC_MAXIMIZE and SC_RESTORE. A window that refuses a command (does not
// pass it to DefWindowProc) has the screen's change undone.
#pragma once
#include "win/MessageQueue.h"

namespace WinDetail {

void ScreenPlaced(const TWindowRef& Window, const RECT& Bounds);
void ScreenMinimized(const TWindowRef& Window, bool Minimized);
void ScreenMaximized(const TWindowRef& Window, bool Maximized);

// The WMSZ_ edge of a resize from Old to New: the sides that moved while
// the opposite ones stayed; the bottom right when both of a pair moved.
WPARAM SizingEdge(const RECT& Old, const RECT& New);

}
