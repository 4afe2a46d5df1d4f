// The presenter on an X display (Xlib; XRandR for the monitors).
//
// One X window per top-level window that shows; its pictures go up with
// XPutImage. What the display sends (pointer, keys, focus, closing, the
// window manager moving or minimising a window, exposures) is turned into
// input records on the thread that owns the windows, when its message loop
// looks at the connection. X errors are caught: a call that provokes one
// (a hot key another client holds) answers false, and the process goes on.
//
// A window region is the window's bounding and input shape (the Shape
// extension); the extended styles become window manager states
// (_NET_WM_STATE_ABOVE, _NET_WM_STATE_SKIP_TASKBAR), an owner the
// transient-for hint, WS_EX_NOACTIVATE an input hint of False. A shade
// (IsShade) is mapped only while a compositing manager runs.
//
// Moving and sizing with the pointer goes to the window manager through
// _NET_WM_MOVERESIZE when the root window lists it in _NET_SUPPORTED;
// without one (a bare server) the presenter grabs the pointer and moves or
// sizes the window itself until the button is let go.
#pragma once
#include "win/Clipboard.h"
#include "win/Presenter.h"
#include <chrono>
#include <map>
#include <memory>
#include <string>

class TX11Presenter : public TPresenter {
public:
    // Opens the display (empty: $DISPLAY). Ok() tells whether it is there.
    explicit TX11Presenter(const std::string& DisplayName = {});
    ~TX11Presenter() override;
    TX11Presenter(const TX11Presenter&) = delete;
    TX11Presenter& operator=(const TX11Presenter&) = delete;

    bool Ok() const;
    // The X window of a top-level window, 0 when it has none.
    unsigned long XWindowOf(HWND Wnd) const;
    // Waits until the server has done everything asked so far.
    void Sync();
    // A compositing manager runs on the screen (owns _NET_WM_CM_S<n>).
    bool CompositorRunning();

    std::vector<TMonitorDesc> Monitors() override;
    void CreateSurface(HWND Wnd, const TSurfaceDesc& Desc) override;
    void DestroySurface(HWND Wnd) override;
    void ShowWindow(HWND Wnd, Integer Cmd) override;
    void SetBounds(HWND Wnd, const RECT& Bounds) override;
    void SetTitle(HWND Wnd, const String& Title) override;
    void SetOpacity(HWND Wnd, Byte Alpha) override;
    void SetShape(HWND Wnd, const std::vector<RECT>* Rects) override;
    void SetExStyle(HWND Wnd, DWORD ExStyle) override;
    void SetIcon(HWND Wnd, const TPixelBuffer& Picture) override;
    bool SetForeground(HWND Wnd) override;
    HWND Foreground() override;
    void Update(HWND Wnd, const RECT& Changed, const TPixelBuffer& Picture) override;
    void SetCursorShape(Integer Shape) override;
    bool GrabHotKey(UINT Modifiers, UINT VirtualKey) override;
    void ReleaseHotKey(UINT Modifiers, UINT VirtualKey) override;
    void BeginMoveSize(HWND Wnd, LRESULT HitCode, POINT Point) override;
    bool SetDesktopPicture(const TPixelBuffer& Picture) override;
    int FileDescriptor() override;
    void Dispatch() override;

    // The clipboard is the CLIPBOARD selection (win/X11Clipboard.h).
    void OfferClipboard(const TClipboardItems& Items) override;
    bool ClipboardIsForeign() override;
    std::vector<UINT> ClipboardFormats() override;
    std::optional<std::string> ReadClipboard(UINT Format) override;
    // How much one read of another owner's clipboard takes and waits.
    void SetClipboardLimits(size_t MaxBytes, std::chrono::milliseconds Timeout);

private:
    struct TState;
    // A spot on the desktop (IsDesktopSpot): an input-only window.
    void CreateSpot(HWND Wnd, const TSurfaceDesc& Desc);
    // Tells the window manager never to focus the window.
    void RefuseFocus(unsigned long Win);

    std::unique_ptr<TState> F;
};

// The virtual key of an X key symbol and back; 0 for keys this layer does
// not name.
UINT VirtualKeyFromKeySym(unsigned long KeySym);
unsigned long KeySymFromVirtualKey(UINT VirtualKey);
