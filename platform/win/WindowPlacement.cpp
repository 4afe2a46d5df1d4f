#include "win/WindowPlacement.h"
#include "win/Presenter.h"
#include "win/WinApi.h"

bool IsIconic(HWND Wnd)
{
    return IsWindow(Wnd) && Presenter().IsIconic(Wnd);
}

bool IsWindowVisible(HWND Wnd)
{
    return IsWindow(Wnd) && Presenter().IsShown(Wnd);
}

bool ShowWindow(HWND Wnd, Integer Cmd)
{
    if (!IsWindow(Wnd))
        return false;
    const bool Was = Presenter().IsShown(Wnd);
    Presenter().ShowWindow(Wnd, Cmd);
    return Was;
}

bool SetForegroundWindow(HWND Wnd)
{
    return IsWindow(Wnd) && Presenter().SetForeground(Wnd);
}

HWND GetForegroundWindow()
{
    HWND Wnd = Presenter().Foreground();
    return IsWindow(Wnd) ? Wnd : nullptr;
}

bool GetWindowRect(HWND Wnd, RECT* Rect)
{
    return Rect && IsWindow(Wnd) && Presenter().GetBounds(Wnd, *Rect);
}

bool MoveWindow(HWND Wnd, Integer X, Integer Y, Integer Width, Integer Height, bool Repaint)
{
    if (!IsWindow(Wnd))
        return false;
    Presenter().SetBounds(Wnd, { X, Y, X + Width, Y + Height });
    return true;
}
