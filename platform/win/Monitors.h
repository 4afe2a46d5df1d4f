// Monitors, their DPI and the display adapters, as the presenter reports
// them. A monitor handle is the monitor's place in the presenter's list
// (from 1); it names another monitor when the list changes.
#pragma once
#include "win/Messages.h"
#include <vector>

struct HMONITOR__;
using HMONITOR = HMONITOR__*;

// What MonitorFrom... answers when no monitor holds the point or window.
constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;

constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFOEX {
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags = 0;
    String szDevice; // the adapter's device name
};

enum MONITOR_DPI_TYPE { MDT_EFFECTIVE_DPI = 0, MDT_ANGULAR_DPI = 1, MDT_RAW_DPI = 2 };

constexpr DWORD DISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x1;
constexpr DWORD DISPLAY_DEVICE_PRIMARY_DEVICE = 0x4;

struct DISPLAY_DEVICE {
    String DeviceName; // "\\.\DISPLAY1", or "\\.\DISPLAY1\Monitor0"
    String DeviceString; // the adapter's or the monitor's description
    DWORD StateFlags = 0;
};

HMONITOR MonitorFromPoint(POINT Point, DWORD Flags);
// The monitor that holds most of Rect.
HMONITOR MonitorFromRect(const RECT& Rect, DWORD Flags);
// The monitor that holds most of the window's rectangle; a window the
// presenter has not placed gets the Flags answer.
HMONITOR MonitorFromWindow(HWND Wnd, DWORD Flags);
bool GetMonitorInfo(HMONITOR Monitor, MONITORINFOEX* Info);
std::vector<HMONITOR> EnumDisplayMonitors();
// S_OK, or E_INVALIDARG for a monitor that is not there.
HRESULT GetDpiForMonitor(HMONITOR Monitor, MONITOR_DPI_TYPE Type, UINT* DpiX, UINT* DpiY);

// Device empty: the DevNum-th display adapter; else the DevNum-th monitor
// of the adapter with that device name. False past the last one.
bool EnumDisplayDevices(StringView Device, DWORD DevNum, DISPLAY_DEVICE* Out, DWORD Flags);
