#include "win/WindowDecor.h"
#include "win/MessageQueue.h"
#include "win/Presenter.h"
#include <memory>

using namespace WinDetail;

namespace {

// A top-level window of the calling thread; null otherwise.
TWindowRef OwnTopLevel(HWND Wnd)
{
    TWindowRef Window = OwnWindow(Wnd);
    return Window && !Window->Child() ? Window : nullptr;
}

}

bool SetLayeredWindowAttributes(HWND Wnd, Cardinal, Byte Alpha, DWORD Flags)
{
    TWindowRef Window = OwnTopLevel(Wnd);
    if (!Window || !(DWORD(Window->ExStyle.load()) & WS_EX_LAYERED) || (Flags & LWA_COLORKEY))
        return false;
    if (!(Flags & LWA_ALPHA))
        Alpha = 255;
    Window->Alpha = Alpha;
    if (Window->HasSurface)
        Presenter().SetOpacity(Wnd, Alpha);
    return true;
}

bool GetLayeredWindowAttributes(HWND Wnd, Cardinal* Key, Byte* Alpha, DWORD* Flags)
{
    TWindowRef Window = OwnTopLevel(Wnd);
    if (!Window || !(DWORD(Window->ExStyle.load()) & WS_EX_LAYERED))
        return false;
    if (Key)
        *Key = 0;
    if (Alpha)
        *Alpha = Window->Alpha;
    if (Flags)
        *Flags = LWA_ALPHA;
    return true;
}

bool SetWindowIconPicture(HWND Wnd, const TPixelBuffer& Picture)
{
    TWindowRef Window = OwnTopLevel(Wnd);
    if (!Window)
        return false;
    Window->IconPicture = Picture.Width() > 0 && Picture.Height() > 0 ? std::make_shared<const TPixelBuffer>(Picture)
                                                                       : nullptr;
    if (Window->HasSurface)
        Presenter().SetIcon(Wnd, Picture);
    return true;
}
