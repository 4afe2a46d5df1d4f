// The presenter: the one road from this layer to a screen. Top-level
// windows are shown, placed, minimised and brought forward through it; it
// answers the monitors with their DPI and shows the pointer's cursor.
//
// Without a display the headless presenter serves: it remembers what it is
// asked and has a fixed list of monitors that tests may set:
//
//     THeadlessPresenter Screen;              // installs itself
//     Screen.SetMonitors({ { {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96, 96, true } });
//     MonitorFromPoint({ 10, 10 }, MONITOR_DEFAULTTONULL);
#pragma once
#include "win/Messages.h"
#include <map>
#include <mutex>
#include <vector>

struct TMonitorDesc {
    RECT Bounds;
    RECT WorkArea;
    UINT DpiX = 96;
    UINT DpiY = 96;
    bool Primary = false;
    String Name = u"Monitor";           // the monitor's description
    Integer Adapter = 0;                // monitors with one number share an adapter
    String AdapterName = u"Display adapter";
};

class TPresenter {
public:
    virtual ~TPresenter() = default;

    // In the system's order; one of them is flagged primary.
    virtual std::vector<TMonitorDesc> Monitors() = 0;

    // Top-level windows. Cmd is SW_HIDE, SW_SHOWNORMAL, SW_MINIMIZE,
    // SW_RESTORE...
    virtual void ShowWindow(HWND Wnd, Integer Cmd) = 0;
    virtual bool IsIconic(HWND Wnd) = 0;
    virtual bool IsShown(HWND Wnd) = 0;
    virtual void SetBounds(HWND Wnd, const RECT& Bounds) = 0;
    // False for a window the presenter has not placed.
    virtual bool GetBounds(HWND Wnd, RECT& Bounds) = 0;
    // False when the window manager refuses.
    virtual bool SetForeground(HWND Wnd) = 0;
    virtual HWND Foreground() = 0;

    // The pointer's cursor, an X cursor-font shape number.
    virtual void SetCursorShape(Integer Shape) = 0;
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
    Integer CursorShape();

    std::vector<TMonitorDesc> Monitors() override;
    void ShowWindow(HWND Wnd, Integer Cmd) override;
    bool IsIconic(HWND Wnd) override;
    bool IsShown(HWND Wnd) override;
    void SetBounds(HWND Wnd, const RECT& Bounds) override;
    bool GetBounds(HWND Wnd, RECT& Bounds) override;
    bool SetForeground(HWND Wnd) override;
    HWND Foreground() override;
    void SetCursorShape(Integer Shape) override;

private:
    struct TSurface {
        RECT Bounds;
        bool Placed = false;
        bool Shown = false;
        bool Iconic = false;
    };
    std::mutex FLock;
    std::vector<TMonitorDesc> FMonitors;
    std::map<HWND, TSurface> FSurfaces;
    HWND FForeground = nullptr;
    Integer FCursorShape = 68;          // the arrow
    bool FInstalled = false;
    TPresenter* FPrevious = nullptr;
};
