#include "win/Monitors.h"
#include "win/MessageQueue.h"
#include "win/Presenter.h"
#include "win/WindowTree.h"
#include "rtl/StrUtils.h"
#include <algorithm>
#include <limits>

namespace {

HMONITOR HandleOf(size_t Index)
{
    return reinterpret_cast<HMONITOR>(Index + 1);
}

bool IndexOf(HMONITOR Monitor, const std::vector<TMonitorDesc>& Monitors, size_t& Index)
{
    const auto Value = reinterpret_cast<std::uintptr_t>(Monitor);
    if (Value == 0 || Value > Monitors.size())
        return false;
    Index = Value - 1;
    return true;
}

// The adapters in the order their first monitor comes.
std::vector<Integer> Adapters(const std::vector<TMonitorDesc>& Monitors)
{
    std::vector<Integer> Ids;
    for (const TMonitorDesc& M : Monitors)
        if (std::find(Ids.begin(), Ids.end(), M.Adapter) == Ids.end())
            Ids.push_back(M.Adapter);
    return Ids;
}

String AdapterDevice(size_t Index)
{
    return u"\\\\.\\DISPLAY" + IntToStr(Integer(Index + 1));
}

Int64 Overlap(const RECT& A, const RECT& B)
{
    const Int64 W = std::min<Int64>(A.right, B.right) - std::max<Int64>(A.left, B.left);
    const Int64 H = std::min<Int64>(A.bottom, B.bottom) - std::max<Int64>(A.top, B.top);
    return W > 0 && H > 0 ? W * H : 0;
}

Int64 DistanceSquared(const RECT& R, POINT P)
{
    const Int64 Dx = P.x < R.left ? Int64(R.left) - P.x : P.x >= R.right ? Int64(P.x) - R.right + 1 : 0;
    const Int64 Dy = P.y < R.top ? Int64(R.top) - P.y : P.y >= R.bottom ? Int64(P.y) - R.bottom + 1 : 0;
    return Dx * Dx + Dy * Dy;
}

HMONITOR Fallback(const std::vector<TMonitorDesc>& Monitors, DWORD Flags, POINT Near)
{
    if (Monitors.empty())
        return nullptr;
    switch (Flags & 0x7F) {
    case MONITOR_DEFAULTTOPRIMARY:
        for (size_t I = 0; I < Monitors.size(); ++I)
            if (Monitors[I].Primary)
                return HandleOf(I);
        return HandleOf(0);
    case MONITOR_DEFAULTTONEAREST: {
        size_t Best = 0;
        Int64 BestDistance = std::numeric_limits<Int64>::max();
        for (size_t I = 0; I < Monitors.size(); ++I) {
            const Int64 D = DistanceSquared(Monitors[I].Bounds, Near);
            if (D < BestDistance) {
                BestDistance = D;
                Best = I;
            }
        }
        return HandleOf(Best);
    }
    default: return nullptr;
    }
}

}

HMONITOR MonitorFromPoint(POINT Point, DWORD Flags)
{
    const std::vector<TMonitorDesc> Monitors = Presenter().Monitors();
    for (size_t I = 0; I < Monitors.size(); ++I) {
        const RECT& B = Monitors[I].Bounds;
        if (Point.x >= B.left && Point.x < B.right && Point.y >= B.top && Point.y < B.bottom)
            return HandleOf(I);
    }
    return Fallback(Monitors, Flags, Point);
}

HMONITOR MonitorFromRect(const RECT& Rect, DWORD Flags)
{
    const std::vector<TMonitorDesc> Monitors = Presenter().Monitors();
    size_t Best = 0;
    Int64 BestArea = 0;
    for (size_t I = 0; I < Monitors.size(); ++I) {
        const Int64 Area = Overlap(Monitors[I].Bounds, Rect);
        if (Area > BestArea) {
            BestArea = Area;
            Best = I;
        }
    }
    if (BestArea > 0)
        return HandleOf(Best);
    const POINT Centre { LONG((Int64(Rect.left) + Rect.right) / 2), LONG((Int64(Rect.top) + Rect.bottom) / 2) };
    return Fallback(Monitors, Flags, Centre);
}

HMONITOR MonitorFromWindow(HWND Wnd, DWORD Flags)
{
    RECT Bounds;
    WinDetail::TWindowRef Window = WinDetail::FindWindow(Wnd);
    if (!Window || !WinDetail::TopLevelOf(Window)->Placed || !GetWindowRect(Wnd, &Bounds))
        return Fallback(Presenter().Monitors(), Flags, {});
    return MonitorFromRect(Bounds, Flags);
}

bool GetMonitorInfo(HMONITOR Monitor, MONITORINFOEX* Info)
{
    const std::vector<TMonitorDesc> Monitors = Presenter().Monitors();
    size_t I;
    if (!Info || !IndexOf(Monitor, Monitors, I))
        return false;
    const std::vector<Integer> Ids = Adapters(Monitors);
    Info->rcMonitor = Monitors[I].Bounds;
    Info->rcWork = Monitors[I].WorkArea;
    Info->dwFlags = Monitors[I].Primary ? MONITORINFOF_PRIMARY : 0;
    Info->szDevice = AdapterDevice(size_t(std::find(Ids.begin(), Ids.end(), Monitors[I].Adapter) - Ids.begin()));
    return true;
}

std::vector<HMONITOR> EnumDisplayMonitors()
{
    std::vector<HMONITOR> Handles;
    const size_t Count = Presenter().Monitors().size();
    for (size_t I = 0; I < Count; ++I)
        Handles.push_back(HandleOf(I));
    return Handles;
}

HRESULT GetDpiForMonitor(HMONITOR Monitor, MONITOR_DPI_TYPE Type, UINT* DpiX, UINT* DpiY)
{
    const std::vector<TMonitorDesc> Monitors = Presenter().Monitors();
    size_t I;
    if (!DpiX || !DpiY || !IndexOf(Monitor, Monitors, I))
        return E_INVALIDARG;
    *DpiX = Monitors[I].DpiX;
    *DpiY = Monitors[I].DpiY;
    return S_OK;
}

bool EnumDisplayDevices(StringView Device, DWORD DevNum, DISPLAY_DEVICE* Out, DWORD Flags)
{
    if (!Out)
        return false;
    const std::vector<TMonitorDesc> Monitors = Presenter().Monitors();
    const std::vector<Integer> Ids = Adapters(Monitors);
    if (Device.empty()) {
        if (DevNum >= Ids.size())
            return false;
        Out->DeviceName = AdapterDevice(DevNum);
        Out->DeviceString.clear();
        Out->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
        bool First = true;
        for (const TMonitorDesc& M : Monitors)
            if (M.Adapter == Ids[DevNum]) {
                if (First)
                    Out->DeviceString = M.AdapterName;
                First = false;
                if (M.Primary)
                    Out->StateFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
            }
        return true;
    }
    for (size_t A = 0; A < Ids.size(); ++A) {
        if (Device != AdapterDevice(A))
            continue;
        DWORD N = 0;
        for (const TMonitorDesc& M : Monitors) {
            if (M.Adapter != Ids[A])
                continue;
            if (N == DevNum) {
                Out->DeviceName = AdapterDevice(A) + u"\\Monitor" + IntToStr(Integer(N));
                Out->DeviceString = M.Name;
                Out->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
                return true;
            }
            ++N;
        }
    }
    return false;
}
