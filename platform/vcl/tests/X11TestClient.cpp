#include "X11TestClient.h"
#include <cstdio>
#include <X11/Xlib.h>

std::string Hex(unsigned long Window)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "0x%lx", Window);
    return Text;
}

bool SendDeleteWindow(const std::string& DisplayName, unsigned long Window)
{
    Display* Dpy = XOpenDisplay(DisplayName.c_str());
    if (!Dpy)
        return false;
    XEvent E {};
    E.xclient.type = ClientMessage;
    E.xclient.window = Window;
    E.xclient.message_type = XInternAtom(Dpy, "WM_PROTOCOLS", False);
    E.xclient.format = 32;
    E.xclient.data.l[0] = long(XInternAtom(Dpy, "WM_DELETE_WINDOW", False));
    const bool Sent = XSendEvent(Dpy, Window, False, 0, &E) != 0;
    XCloseDisplay(Dpy);
    return Sent;
}

bool SendMaximize(const std::string& DisplayName, unsigned long Window, bool Maximize)
{
    Display* Dpy = XOpenDisplay(DisplayName.c_str());
    if (!Dpy)
        return false;
    XEvent E {};
    E.xclient.type = ClientMessage;
    E.xclient.window = Window;
    E.xclient.message_type = XInternAtom(Dpy, "_NET_WM_STATE", False);
    E.xclient.format = 32;
    E.xclient.data.l[0] = Maximize ? 1 : 0;
    E.xclient.data.l[1] = long(XInternAtom(Dpy, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    E.xclient.data.l[2] = long(XInternAtom(Dpy, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    E.xclient.data.l[3] = 2; // a pager: the user's own doing
    const bool Sent = XSendEvent(Dpy, DefaultRootWindow(Dpy), False,
                          SubstructureRedirectMask | SubstructureNotifyMask, &E) != 0;
    XCloseDisplay(Dpy);
    return Sent;
}
