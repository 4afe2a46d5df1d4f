#include "win/Presenter.h"
#include <atomic>

namespace {

std::atomic<TPresenter*> Installed { nullptr };

THeadlessPresenter& DefaultPresenter()
{
    // Never destroyed: windows may ask it during the statics' teardown.
    static auto* Default = new THeadlessPresenter(false);
    return *Default;
}

}

TPresenter& Presenter()
{
    TPresenter* P = Installed.load();
    return P ? *P : DefaultPresenter();
}

TPresenter* SetPresenter(TPresenter* P)
{
    return Installed.exchange(P);
}

THeadlessPresenter::THeadlessPresenter(bool Install)
{
    TMonitorDesc Monitor;
    Monitor.Bounds = { 0, 0, 1920, 1080 };
    Monitor.WorkArea = Monitor.Bounds;
    Monitor.Primary = true;
    Monitor.Name = u"Headless monitor";
    Monitor.AdapterName = u"Headless display";
    FMonitors.push_back(Monitor);
    if (Install) {
        FPrevious = SetPresenter(this);
        FInstalled = true;
    }
}

THeadlessPresenter::~THeadlessPresenter()
{
    // Only if still installed: another presenter may have replaced this one.
    TPresenter* Self = this;
    if (FInstalled)
        Installed.compare_exchange_strong(Self, FPrevious);
}

void THeadlessPresenter::SetMonitors(std::vector<TMonitorDesc> Monitors)
{
    std::lock_guard Guard(FLock);
    FMonitors = std::move(Monitors);
}

Integer THeadlessPresenter::CursorShape()
{
    std::lock_guard Guard(FLock);
    return FCursorShape;
}

std::vector<TMonitorDesc> THeadlessPresenter::Monitors()
{
    std::lock_guard Guard(FLock);
    return FMonitors;
}

void THeadlessPresenter::ShowWindow(HWND Wnd, Integer Cmd)
{
    std::lock_guard Guard(FLock);
    TSurface& S = FSurfaces[Wnd];
    switch (Cmd) {
    case SW_HIDE:
        S.Shown = false;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        S.Iconic = true;
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        S.Shown = true;
        S.Iconic = false;
        break;
    default:
        S.Shown = true;
        break;
    }
}

bool THeadlessPresenter::IsIconic(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It != FSurfaces.end() && It->second.Iconic;
}

bool THeadlessPresenter::IsShown(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It != FSurfaces.end() && It->second.Shown;
}

void THeadlessPresenter::SetBounds(HWND Wnd, const RECT& Bounds)
{
    std::lock_guard Guard(FLock);
    TSurface& S = FSurfaces[Wnd];
    S.Bounds = Bounds;
    S.Placed = true;
}

bool THeadlessPresenter::GetBounds(HWND Wnd, RECT& Bounds)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    if (It == FSurfaces.end() || !It->second.Placed)
        return false;
    Bounds = It->second.Bounds;
    return true;
}

bool THeadlessPresenter::SetForeground(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    FForeground = Wnd;
    return true;
}

HWND THeadlessPresenter::Foreground()
{
    std::lock_guard Guard(FLock);
    return FForeground;
}

void THeadlessPresenter::SetCursorShape(Integer Shape)
{
    std::lock_guard Guard(FLock);
    FCursorShape = Shape;
}
