// The presenter: the one road from this layer to a screen. The window tree
// (children, painting, composition, input routing) lives in this layer for
// every window; a presenter only shows the pictures of top-level windows,
// places and raises them, shows the pointer's cursor, grabs hot keys, runs
// interactive moves, sets the desktop picture and answers the monitors.
// What happens on the screen (pointer, keys, focus, closing, the window
// manager moving a window) comes back as input records (win/Input.h).
//
// Without a display the headless presenter serves: it remembers what it is
// asked and has a fixed list of monitors that tests may set:
//
//     THeadlessPresenter Screen;              // installs itself
//     Screen.SetMonitors({ { {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96, 96, true } });
//     MonitorFromPoint({ 10, 10 }, MONITOR_DEFAULTTONULL);
//
// Presenters are called on the thread that owns the windows (the main
// thread); only the headless one may be asked from others.
#pragma once
#include "win/Messages.h"
#include "win/PixelBuffer.h"
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TMonitorDesc {
    RECT Bounds;
    RECT WorkArea;
    UINT DpiX = 96;
    UINT DpiY = 96;
    bool Primary = false;
    String Name = u"Monitor"; // the monitor's description
    Integer Adapter = 0; // monitors with one number share an adapter
    String AdapterName = u"Display adapter";
};

// What a presenter learns of a top-level window when it first shows it.
struct TSurfaceDesc {
    RECT Bounds; // screen coordinates
    DWORD Style = 0;
    DWORD ExStyle = 0;
    String Title;
    HWND Owner = nullptr; // the top-level window it belongs to, if any
};

// A top-level window that lets paint through and never takes activation
// is a spot on the desktop: below every ordinary window (above the
// desktop's own), drawing nothing, taking the pointer where nothing covers
// it, never focused.
inline bool IsDesktopSpot(DWORD ExStyle)
{
    return (ExStyle & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE)) == (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE);
}

// What the screen makes of a top-level window's extended styles:
// - WS_EX_TOPMOST stays above the ordinary windows;
// - it is listed on the task bar when it asks for it (WS_EX_APPWINDOW), or
//   when it is neither a tool window nor owned by a window on the screen;
// - a translucent layered window that never takes activation is a shade
//   (a form's companion): without a compositing manager it would show as
//   an opaque block, so it stays out of sight there.
inline bool StaysOnTop(DWORD ExStyle)
{
    return (ExStyle & WS_EX_TOPMOST) != 0;
}
inline bool SkipsTaskBar(DWORD ExStyle, bool OwnerShown)
{
    if (ExStyle & WS_EX_APPWINDOW)
        return false;
    return (ExStyle & WS_EX_TOOLWINDOW) || OwnerShown;
}
inline bool IsShade(DWORD ExStyle, Byte Alpha)
{
    return (ExStyle & (WS_EX_LAYERED | WS_EX_NOACTIVATE)) == (WS_EX_LAYERED | WS_EX_NOACTIVATE) && Alpha < 255;
}

class TPresenter {
public:
    virtual ~TPresenter() = default;

    // In the system's order; one of them is flagged primary.
    virtual std::vector<TMonitorDesc> Monitors() = 0;

    // A top-level window gets a surface before it is first shown and
    // loses it when it is destroyed.
    virtual void CreateSurface(HWND Wnd, const TSurfaceDesc& Desc) = 0;
    virtual void DestroySurface(HWND Wnd) = 0;
    // SW_HIDE, SW_SHOWNORMAL, SW_SHOWNA, SW_MINIMIZE, SW_RESTORE, SW_MAXIMIZE.
    // A window that never takes activation (WS_EX_NOACTIVATE) is shown
    // without taking the keyboard.
    virtual void ShowWindow(HWND Wnd, Integer Cmd) = 0;
    virtual void SetBounds(HWND Wnd, const RECT& Bounds) = 0;
    virtual void SetTitle(HWND Wnd, const String& Title) = 0;
    // A layered window's opacity, 0 (clear) to 255 (opaque).
    virtual void SetOpacity(HWND Wnd, Byte Alpha) = 0;
    // The window's region: disjoint rectangles in window coordinates
    // outside which it shows nothing and takes no pointer; null: all of it.
    virtual void SetShape(HWND Wnd, const std::vector<RECT>* Rects) = 0;
    // The extended styles changed (stay on top, task bar, activation).
    virtual void SetExStyle(HWND Wnd, DWORD ExStyle) = 0;
    // The picture the desktop shows for the window (its fourth byte is
    // opacity); an empty one takes it away.
    virtual void SetIcon(HWND Wnd, const TPixelBuffer& Picture) = 0;
    // Raises the window and gives it the keyboard; false when refused.
    virtual bool SetForeground(HWND Wnd) = 0;
    virtual HWND Foreground() = 0;
    // Changed is a rectangle of Picture (the window's composed picture,
    // the size of its window rectangle) to bring to the screen.
    virtual void Update(HWND Wnd, const RECT& Changed, const TPixelBuffer& Picture) = 0;

    // The pointer's cursor, an X cursor-font shape number.
    virtual void SetCursorShape(Integer Shape) = 0;

    // Keys the whole desktop sends to this program (MOD_* and a virtual
    // key); false when the key cannot be had (another program holds it).
    virtual bool GrabHotKey(UINT Modifiers, UINT VirtualKey) = 0;
    virtual void ReleaseHotKey(UINT Modifiers, UINT VirtualKey) = 0;

    // The user moves (HTCAPTION) or sizes (HTLEFT..HTBOTTOMRIGHT) a
    // top-level window with the pointer, starting at Point (screen).
    virtual void BeginMoveSize(HWND Wnd, LRESULT HitCode, POINT Point) = 0;

    // The desktop's background picture; false when it cannot be set.
    virtual bool SetDesktopPicture(const TPixelBuffer& Picture) = 0;

    // A descriptor the message loop's wait watches (-1: none), and the
    // turning of whatever arrived on it into input records. Never blocks.
    virtual int FileDescriptor() { return -1; }
    virtual void Dispatch() { }

    // The clipboard (win/Clipboard.h). Offer: the program owns the
    // clipboard with Items from now on (none: it gives it up). Foreign:
    // another program owns it; its formats and one format's bytes are
    // read, within a size and a time bound. Without a screen the clipboard
    // is the process's own.
    virtual void OfferClipboard(const std::vector<std::pair<UINT, std::string>>& Items) { }
    virtual bool ClipboardIsForeign() { return false; }
    virtual std::vector<UINT> ClipboardFormats() { return {}; }
    virtual std::optional<std::string> ReadClipboard(UINT Format) { return std::nullopt; }
};

// The installed presenter; a headless one until another is installed.
TPresenter& Presenter();
// Installs Presenter (null: the default headless one again) and answers
// the one installed before, null for the default.
TPresenter* SetPresenter(TPresenter* Presenter);

class THeadlessPresenter : public TPresenter {
public:
    // One 1920 x 1080 monitor at 96 DPI. Install: becomes the presenter
    // until it goes (the one before comes back).
    explicit THeadlessPresenter(bool Install = true);
    ~THeadlessPresenter() override;
    THeadlessPresenter(const THeadlessPresenter&) = delete;
    THeadlessPresenter& operator=(const THeadlessPresenter&) = delete;

    void SetMonitors(std::vector<TMonitorDesc> Monitors);
    // Hot keys that "another program" holds: grabbing them fails.
    void SetTakenHotKeys(std::vector<std::pair<UINT, UINT>> Keys);

    // What was asked, for tests.
    Integer CursorShape();
    bool HasSurface(HWND Wnd);
    bool IsShown(HWND Wnd);
    bool IsIconic(HWND Wnd);
    bool IsZoomed(HWND Wnd);
    // Whether a compositing manager runs (it does unless told otherwise);
    // without one a shade (IsShade) is kept out of sight.
    void SetCompositing(bool Running);
    // Shown as asked but kept out of sight: a shade without compositing.
    bool IsHeldBack(HWND Wnd);
    // The region last set; empty without one (all of the window).
    std::optional<std::vector<RECT>> Shape(HWND Wnd);
    DWORD ExStyle(HWND Wnd);
    // The window's owner's surface, as the screen's transient-for.
    HWND Owner(HWND Wnd);
    bool IsAbove(HWND Wnd);
    bool IsSkippingTaskBar(HWND Wnd);
    RECT Bounds(HWND Wnd);
    String Title(HWND Wnd);
    Byte Opacity(HWND Wnd);
    // The window's icon as last set; empty for none.
    TPixelBuffer Icon(HWND Wnd);
    Integer UpdateCount(HWND Wnd);
    RECT LastUpdate(HWND Wnd);
    std::vector<std::pair<UINT, UINT>> GrabbedHotKeys();
    struct TMoveSize {
        HWND Wnd = nullptr;
        LRESULT HitCode = 0;
        POINT Point;
    };
    std::vector<TMoveSize> MoveSizeRequests();
    // The desktop picture last set; empty before.
    TPixelBuffer DesktopPicture();
    // The window was made as a spot on the desktop.
    bool IsSpot(HWND Wnd);

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

private:
    struct TSurface {
        RECT Bounds;
        String Title;
        Byte Opacity = 255;
        TPixelBuffer Icon;
        bool Shown = false;
        bool Iconic = false;
        bool Zoomed = false;
        Integer Updates = 0;
        RECT LastUpdate;
        bool Spot = false;
        DWORD ExStyle = 0;
        HWND Owner = nullptr;
        std::optional<std::vector<RECT>> Shape;
    };
    TSurface* Find(HWND Wnd);
    bool HeldBack(const TSurface& S) const;
    bool FCompositing = true;
    std::mutex FLock;
    std::vector<TMonitorDesc> FMonitors;
    std::map<HWND, TSurface> FSurfaces;
    HWND FForeground = nullptr;
    Integer FCursorShape = 68; // the arrow
    std::vector<std::pair<UINT, UINT>> FTaken;
    std::vector<std::pair<UINT, UINT>> FGrabbed;
    std::vector<TMoveSize> FMoveSize;
    TPixelBuffer FDesktop;
    bool FInstalled = false;
    TPresenter* FPrevious = nullptr;
};

// Makes the presenter a program starts with: the X11 one when DISPLAY is
// set and X_PRESENTER is not "headless", else none (the default headless
// one stays). Answers the presenter made (the caller installs and frees
// it), null when there is none.
TPresenter* MakeDisplayPresenter();
