// Window message numbers and the types that carry messages. The numbers are
// the Windows ones, because the programs store, compare and post them as
// such (WM_APP + 200 is 32968).
#pragma once
#include "rtl/Types.h"
#include <cstdint>

using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;

// A window handle names a window object of this layer; it is a number, not
// a pointer, so a stale handle is detected rather than followed.
struct HWND__;
using HWND = HWND__*;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

// Right and bottom are exclusive.
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;     // tick count when the message was posted
    POINT pt;
};

// The class library's message record handed to window methods.
struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// The data of WM_COPYDATA; cbData is the size of lpData in bytes.
struct COPYDATASTRUCT {
    ULONG_PTR dwData = 0;
    DWORD cbData = 0;
    void* lpData = nullptr;
};

// lParam of WM_CREATE.
struct CREATESTRUCT {
    void* lpCreateParams = nullptr;
    HWND hwndParent = nullptr;
    LONG style = 0;
    const Char* lpszName = nullptr;
    const Char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_TIMECHANGE = 0x001E;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;
// RegisterWindowMessage hands out numbers from here up to 0xFFFF.
constexpr UINT MAXINTATOM = 0xC000;

// PeekMessage flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// ShowWindow commands.
constexpr Integer SW_HIDE = 0;
constexpr Integer SW_SHOWNORMAL = 1;
constexpr Integer SW_SHOWMINIMIZED = 2;
constexpr Integer SW_SHOWMAXIMIZED = 3;
constexpr Integer SW_SHOW = 5;
constexpr Integer SW_MINIMIZE = 6;
constexpr Integer SW_RESTORE = 9;

// wParam of WM_SYSCOMMAND.
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_RESTORE = 0xF120;

// Get/SetWindowLongPtr indexes.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;

// Extended window styles the framework reads and changes.
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Shortest and longest timer intervals; SetTimer clamps to them.
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
