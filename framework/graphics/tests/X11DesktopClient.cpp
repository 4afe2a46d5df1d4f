#include "X11DesktopClient.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>

struct TX11DesktopClient::TState {
    Display* Dpy = nullptr;
    ::Window Win = 0;
};

TX11DesktopClient::TX11DesktopClient(const std::string& DisplayName)
    : F(std::make_unique<TState>())
{
    F->Dpy = XOpenDisplay(DisplayName.c_str());
    if (!F->Dpy)
        return;
    const int No = DefaultScreen(F->Dpy);
    F->Win = XCreateSimpleWindow(F->Dpy, RootWindow(F->Dpy, No), 0, 0, unsigned(DisplayWidth(F->Dpy, No)),
        unsigned(DisplayHeight(F->Dpy, No)), 0, 0, 0x405060);
    // The type goes on before the window maps: a window manager reads it then.
    Atom Type = XInternAtom(F->Dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    XChangeProperty(F->Dpy, F->Win, XInternAtom(F->Dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&Type), 1);
    XMapWindow(F->Dpy, F->Win);
    XSync(F->Dpy, False);
}

TX11DesktopClient::~TX11DesktopClient()
{
    if (F->Dpy)
        XCloseDisplay(F->Dpy);
}

unsigned long TX11DesktopClient::Window() const
{
    return F->Win;
}
