#include "X11TestClient.h"
#include <X11/Xlib.h>

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
