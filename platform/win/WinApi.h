// The window layer's stand-in for the Windows messaging calls the programs
// use: hidden windows with window procedures, one message queue per thread,
// posting and sending, timers, registered messages and the clock.
//
// A window belongs to the thread that created it; its messages are handled
// there, when that thread pumps:
//
//     HWND Wnd = CreateHiddenWindow([](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
//         if (M == WM_APP + 200) { ...; return 0; }
//         return DefWindowProc(W, M, WP, LP);
//     });
//     PostMessage(Wnd, WM_APP + 200, 0, 0);        // from any thread
//     MSG Msg;
//     while (GetMessage(&Msg, nullptr, 0, 0) > 0) {
//         TranslateMessage(&Msg);
//         DispatchMessage(&Msg);
//     }
//
// On the main thread every pump also runs the methods that worker threads
// hand over with TThread::Synchronize and TThread::Queue.
#pragma once
#include "win/Messages.h"
#include "win/Time.h"
#include <functional>
#include <memory>
#include <vector>

namespace WinDetail {
struct TWindowObject;
}

using ATOM = Word;
using TWindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
using TWndMethod = std::function<void(TMessage&)>;

struct HICON__;

struct WNDCLASS {
    UINT style = 0; // CS_DBLCLKS, CS_HREDRAW...
    WNDPROC lpfnWndProc = nullptr;
    HICON__* hCursor = nullptr; // shown over the client area; null: the arrow
    const Char* lpszClassName = nullptr;
};

// Window classes, by name without regard to case. 0 / false when the name is
// empty or taken, or the procedure is null.
ATOM RegisterClass(const WNDCLASS& Class);
bool UnregisterClass(StringView ClassName);

// A window of a registered class, owned by the calling thread, at X, Y
// (the parent's client coordinates, the screen's for a top-level window)
// and of that size. With WS_CHILD it lives in Parent (a window of the same
// thread); without, it is a top-level window that Parent's top-level
// window owns (it stays above it and goes with it). It receives
// WM_NCCALCSIZE and WM_CREATE (lParam a CREATESTRUCT*; -1 refuses the
// window), then is shown when Style has WS_VISIBLE. Null for an unknown
// class or a dead parent.
HWND CreateWindowEx(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, Integer X, Integer Y,
    Integer Width, Integer Height, HWND Parent = nullptr, void* Param = nullptr);
// The same without a place: an empty rectangle at 0, 0 that counts as
// never placed.
HWND CreateWindowEx(DWORD ExStyle, StringView ClassName, StringView WindowName, DWORD Style, HWND Parent = nullptr,
    void* Param = nullptr);
// A hidden top-level window whose procedure is Proc. Null when Proc is empty.
HWND CreateHiddenWindow(TWindowProc Proc, LONG_PTR UserData = 0);
// The class library's hidden window on a window method; the method's
// TMessage::Result is the procedure's answer.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// Destroys the windows it owns and its child windows first, hides it,
// sends WM_DESTROY and WM_NCDESTROY, kills the window's timers and drops
// its posted messages. Only the owner thread may
// destroy a window; false otherwise or for a dead handle.
bool DestroyWindow(HWND Wnd);
bool IsWindow(HWND Wnd);
// The owner thread's id, 0 for a dead handle.
DWORD GetWindowThreadProcessId(HWND Wnd, DWORD* ProcessId = nullptr);
// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND Wnd);
// The desktop: a window made in it is a top-level window with no owner.
HWND GetDesktopWindow();
// A window's text and class name; empty for a dead handle. False for a
// dead handle.
bool SetWindowText(HWND Wnd, StringView Text);
String GetWindowText(HWND Wnd);
String GetClassName(HWND Wnd);
// The live top-level windows of every thread, oldest first.
std::vector<HWND> EnumWindows();

// GWLP_WNDPROC, GWLP_USERDATA, GWLP_ID, GWL_STYLE, GWL_EXSTYLE and
// GWLP_HWNDPARENT (the owner of a top-level window: setting it to a window
// that the window itself owns, or to a dead one, changes nothing; a
// child's parent never changes through it); other indexes and dead
// handles answer 0. Set
// answers the previous value; a null window procedure is refused. Styles
// set here change no state: SetWindowPos with SWP_FRAMECHANGED asks the
// frame again, ShowWindow and EnableWindow show and enable.
LONG_PTR GetWindowLongPtr(HWND Wnd, int Index);
LONG_PTR SetWindowLongPtr(HWND Wnd, int Index, LONG_PTR Value);
LRESULT CallWindowProc(WNDPROC Proc, HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// What a window does with a message it leaves alone (win/DefWindowProc.cpp
// tells which).
LRESULT DefWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// Message ids from 0xC000 upward, one per name without regard to case,
// stable for the process; 0 for an empty name or when the range is used up.
UINT RegisterWindowMessage(StringView Name);
// The id of a name registered before; 0 when it never was.
UINT FindWindowMessage(StringView Name);

// Posting: to a window's owner thread (a null window: the calling thread),
// from any thread. False for a dead window or a thread without a queue.
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
bool PostThreadMessage(DWORD ThreadId, UINT Msg, WPARAM WParam, LPARAM LParam);
// A window held for posting to it often: a post through it needs no look-up
// of the handle. It keeps the window's record, never the window itself:
// posts answer false once the window is destroyed.
class TWindowPoster {
public:
    TWindowPoster() = default;
    explicit TWindowPoster(HWND Wnd);
    HWND Handle() const { return FHandle; }
    // As PostMessage to the window.
    bool Post(UINT Msg, WPARAM WParam, LPARAM LParam) const;

private:
    HWND FHandle = nullptr;
    std::shared_ptr<WinDetail::TWindowObject> FWindow;
};
// Removes, in one pass, every message Msg posted to the calling thread's
// window Wnd; answers how many. A pending WM_QUIT stays pending.
Integer RemovePostedMessages(HWND Wnd, UINT Msg);
// On the owner thread the procedure runs at once. From another thread the
// message is handled when the owner pumps and the caller waits (handling
// messages sent to itself meanwhile). 0 for a dead window or when the owner
// thread ends first.
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Sets the calling thread's quit flag: WM_QUIT (wParam = ExitCode) is handed
// out when no posted message is waiting, before any timer.
void PostQuitMessage(int ExitCode);

// Filters: Wnd null takes every message of the thread, (HWND)-1 only thread
// messages, else that window's; Min = Max = 0 takes every number. WM_QUIT is
// handed out whatever the filter. WM_TIMER is made when a timer is due and
// no matching posted message waits, the earliest due first; removing it
// re-arms the timer from that moment.
bool PeekMessage(MSG* Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax, UINT RemoveMsg);
// Blocks until a message is there: 1, or 0 for WM_QUIT, -1 for a bad window
// filter.
int GetMessage(MSG* Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax);
// Blocks until a message is waiting.
void WaitMessage();
bool TranslateMessage(const MSG* Msg);
// Runs the window procedure of Msg's window (or the timer's procedure);
// answers its result, 0 for a dead window or a window of another thread.
LRESULT DispatchMessage(const MSG* Msg);

// Timers of the calling thread. With a window, the timer is that window's and
// answers nonzero; without one, a thread timer whose id is answered. Elapse
// is clamped to USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM. 0 for a window that
// is dead or another thread's.
UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse, TIMERPROC TimerFunc);
bool KillTimer(HWND Wnd, UINT_PTR IDEvent);

// The clock, read through the installed time source.
DWORD GetTickCount();
UInt64 GetTickCount64();
void GetSystemTime(SYSTEMTIME* Time);
void GetLocalTime(SYSTEMTIME* Time);
DWORD GetCurrentProcessId();
// Pauses the calling thread on the installed time source (a manual clock
// advances instead of waiting).
void Sleep(DWORD Milliseconds);
