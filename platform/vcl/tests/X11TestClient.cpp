#include "X11TestClient.h"
#include <cstdio>
#include <vector>
#include <X11/Xlib.h>

namespace {

// Sends a 32-bit client message of Type about Window to Target, through a
// connection of its own.
bool SendClientMessage(const std::string& DisplayName, unsigned long Window, bool ToRoot, const char* Type,
    const std::vector<const char*>& Atoms, long First)
{
    Display* Dpy = XOpenDisplay(DisplayName.c_str());
    if (!Dpy)
        return false;
    XEvent E {};
    E.xclient.type = ClientMessage;
    E.xclient.window = Window;
    E.xclient.message_type = XInternAtom(Dpy, Type, False);
    E.xclient.format = 32;
    int At = 0;
    if (First >= 0)
        E.xclient.data.l[At++] = First;
    for (const char* Name : Atoms)
        E.xclient.data.l[At++] = long(XInternAtom(Dpy, Name, False));
    const ::Window Target = ToRoot ? DefaultRootWindow(Dpy) : Window;
    const long Mask = ToRoot ? SubstructureRedirectMask | SubstructureNotifyMask : 0;
    if (ToRoot)
        E.xclient.data.l[3] = 2; // a pager: the user's own doing
    const bool Sent = XSendEvent(Dpy, Target, False, Mask, &E) != 0;
    XCloseDisplay(Dpy);
    return Sent;
}

}

std::string Hex(unsigned long Window)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "0x%lx", Window);
    return Text;
}

bool SendDeleteWindow(const std::string& DisplayName, unsigned long Window)
{
    return SendClientMessage(DisplayName, Window, false, "WM_PROTOCOLS", { "WM_DELETE_WINDOW" }, -1);
}

bool SendMaximize(const std::string& DisplayName, unsigned long Window, bool Maximize)
{
    return SendClientMessage(DisplayName, Window, true, "_NET_WM_STATE",
        { "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ" }, Maximize ? 1 : 0);
}
