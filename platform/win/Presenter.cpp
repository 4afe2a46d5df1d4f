#include "win/Presenter.h"
#include <algorithm>
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

void THeadlessPresenter::SetTakenHotKeys(std::vector<std::pair<UINT, UINT>> Keys)
{
    std::lock_guard Guard(FLock);
    FTaken = std::move(Keys);
}

Integer THeadlessPresenter::CursorShape()
{
    std::lock_guard Guard(FLock);
    return FCursorShape;
}

bool THeadlessPresenter::HasSurface(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    return FSurfaces.count(Wnd) != 0;
}

bool THeadlessPresenter::IsShown(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It != FSurfaces.end() && It->second.Shown;
}

bool THeadlessPresenter::IsIconic(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It != FSurfaces.end() && It->second.Iconic;
}

RECT THeadlessPresenter::Bounds(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? RECT {} : It->second.Bounds;
}

String THeadlessPresenter::Title(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? String() : It->second.Title;
}

Byte THeadlessPresenter::Opacity(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? Byte(255) : It->second.Opacity;
}

TPixelBuffer THeadlessPresenter::Icon(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? TPixelBuffer() : It->second.Icon;
}

Integer THeadlessPresenter::UpdateCount(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? 0 : It->second.Updates;
}

RECT THeadlessPresenter::LastUpdate(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? RECT {} : It->second.LastUpdate;
}

std::vector<std::pair<UINT, UINT>> THeadlessPresenter::GrabbedHotKeys()
{
    std::lock_guard Guard(FLock);
    return FGrabbed;
}

std::vector<THeadlessPresenter::TMoveSize> THeadlessPresenter::MoveSizeRequests()
{
    std::lock_guard Guard(FLock);
    return FMoveSize;
}

TPixelBuffer THeadlessPresenter::DesktopPicture()
{
    std::lock_guard Guard(FLock);
    return FDesktop;
}

bool THeadlessPresenter::IsSpot(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    return It != FSurfaces.end() && It->second.Spot;
}

THeadlessPresenter::TSurface* THeadlessPresenter::Find(HWND Wnd)
{
    auto It = FSurfaces.find(Wnd);
    return It == FSurfaces.end() ? nullptr : &It->second;
}

bool THeadlessPresenter::HeldBack(const TSurface& S) const
{
    return !FCompositing && IsShade(S.ExStyle, S.Opacity);
}

bool THeadlessPresenter::IsZoomed(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S && S->Zoomed;
}

void THeadlessPresenter::SetCompositing(bool Running)
{
    std::lock_guard Guard(FLock);
    FCompositing = Running;
}

bool THeadlessPresenter::IsHeldBack(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S && S->Shown && HeldBack(*S);
}

std::optional<std::vector<RECT>> THeadlessPresenter::Shape(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S ? S->Shape : std::nullopt;
}

DWORD THeadlessPresenter::ExStyle(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S ? S->ExStyle : 0;
}

HWND THeadlessPresenter::Owner(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S ? S->Owner : nullptr;
}

bool THeadlessPresenter::IsAbove(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S && StaysOnTop(S->ExStyle);
}

bool THeadlessPresenter::IsSkippingTaskBar(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    const TSurface* S = Find(Wnd);
    return S && SkipsTaskBar(S->ExStyle, S->Owner != nullptr);
}

std::vector<TMonitorDesc> THeadlessPresenter::Monitors()
{
    std::lock_guard Guard(FLock);
    return FMonitors;
}

void THeadlessPresenter::CreateSurface(HWND Wnd, const TSurfaceDesc& Desc)
{
    std::lock_guard Guard(FLock);
    TSurface& S = FSurfaces[Wnd];
    S.Bounds = Desc.Bounds;
    S.Title = Desc.Title;
    S.Spot = IsDesktopSpot(Desc.ExStyle);
    S.ExStyle = Desc.ExStyle;
    // The screen knows an owner only by its surface.
    S.Owner = FSurfaces.count(Desc.Owner) ? Desc.Owner : nullptr;
}

void THeadlessPresenter::DestroySurface(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    FSurfaces.erase(Wnd);
    if (FForeground == Wnd)
        FForeground = nullptr;
}

void THeadlessPresenter::ShowWindow(HWND Wnd, Integer Cmd)
{
    std::lock_guard Guard(FLock);
    auto It = FSurfaces.find(Wnd);
    if (It == FSurfaces.end())
        return;
    TSurface& S = It->second;
    switch (Cmd) {
    case SW_HIDE: S.Shown = false; break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        S.Shown = true;
        S.Iconic = true;
        break;
    default:
        S.Shown = true;
        S.Iconic = false;
        if (Cmd == SW_MAXIMIZE || Cmd == SW_RESTORE || Cmd == SW_SHOWNORMAL)
            S.Zoomed = Cmd == SW_MAXIMIZE;
        break;
    }
}

void THeadlessPresenter::SetBounds(HWND Wnd, const RECT& Bounds)
{
    std::lock_guard Guard(FLock);
    if (auto It = FSurfaces.find(Wnd); It != FSurfaces.end())
        It->second.Bounds = Bounds;
}

void THeadlessPresenter::SetTitle(HWND Wnd, const String& Title)
{
    std::lock_guard Guard(FLock);
    if (auto It = FSurfaces.find(Wnd); It != FSurfaces.end())
        It->second.Title = Title;
}

void THeadlessPresenter::SetOpacity(HWND Wnd, Byte Alpha)
{
    std::lock_guard Guard(FLock);
    if (auto It = FSurfaces.find(Wnd); It != FSurfaces.end())
        It->second.Opacity = Alpha;
}

void THeadlessPresenter::SetShape(HWND Wnd, const std::vector<RECT>* Rects)
{
    std::lock_guard Guard(FLock);
    if (TSurface* S = Find(Wnd))
        S->Shape = Rects ? std::optional(*Rects) : std::nullopt;
}

void THeadlessPresenter::SetExStyle(HWND Wnd, DWORD ExStyle)
{
    std::lock_guard Guard(FLock);
    if (TSurface* S = Find(Wnd))
        S->ExStyle = ExStyle;
}

void THeadlessPresenter::SetIcon(HWND Wnd, const TPixelBuffer& Picture)
{
    std::lock_guard Guard(FLock);
    if (auto It = FSurfaces.find(Wnd); It != FSurfaces.end())
        It->second.Icon = Picture;
}

bool THeadlessPresenter::SetForeground(HWND Wnd)
{
    std::lock_guard Guard(FLock);
    // Never focused, as on the screen.
    if (const TSurface* S = Find(Wnd); S && (S->ExStyle & WS_EX_NOACTIVATE))
        return false;
    FForeground = Wnd;
    return true;
}

HWND THeadlessPresenter::Foreground()
{
    std::lock_guard Guard(FLock);
    return FForeground;
}

void THeadlessPresenter::Update(HWND Wnd, const RECT& Changed, const TPixelBuffer& Picture)
{
    std::lock_guard Guard(FLock);
    if (auto It = FSurfaces.find(Wnd); It != FSurfaces.end()) {
        ++It->second.Updates;
        It->second.LastUpdate = Changed;
    }
}

void THeadlessPresenter::SetCursorShape(Integer Shape)
{
    std::lock_guard Guard(FLock);
    FCursorShape = Shape;
}

bool THeadlessPresenter::GrabHotKey(UINT Modifiers, UINT VirtualKey)
{
    std::lock_guard Guard(FLock);
    const std::pair<UINT, UINT> Key { Modifiers, VirtualKey };
    if (std::find(FTaken.begin(), FTaken.end(), Key) != FTaken.end())
        return false;
    FGrabbed.push_back(Key);
    return true;
}

void THeadlessPresenter::ReleaseHotKey(UINT Modifiers, UINT VirtualKey)
{
    std::lock_guard Guard(FLock);
    auto It = std::find(FGrabbed.begin(), FGrabbed.end(), std::pair<UINT, UINT> { Modifiers, VirtualKey });
    if (It != FGrabbed.end())
        FGrabbed.erase(It);
}

void THeadlessPresenter::BeginMoveSize(HWND Wnd, LRESULT HitCode, POINT Point)
{
    std::lock_guard Guard(FLock);
    FMoveSize.push_back({ Wnd, HitCode, Point });
}

bool THeadlessPresenter::SetDesktopPicture(const TPixelBuffer& Picture)
{
    std::lock_guard Guard(FLock);
    FDesktop = Picture;
    return true;
}
