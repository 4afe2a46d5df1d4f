// Internal to the window layer: the window objects behind handles and the
// per-thread queues, shared by the window, queue and timer sources.
#pragma once
#include "win/Cursors.h"
#include "win/Input.h"
#include "win/PixelBuffer.h"
#include "win/RectRegion.h"
#include "win/WinApi.h"
#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <vector>

namespace WinDetail {

struct TThreadQueue;
struct TWindowObject;
using TWindowRef = std::shared_ptr<TWindowObject>;

struct TWindowObject {
    HWND Handle = nullptr;
    TThreadID ThreadId = 0;
    std::weak_ptr<TThreadQueue> Queue;
    HWND Parent = nullptr;
    String ClassName;
    String Text;
    TWindowProc Function; // set for windows made on a function
    std::atomic<WNDPROC> Proc { nullptr };
    std::atomic<LONG_PTR> UserData { 0 };
    std::atomic<LONG_PTR> Style { 0 };
    std::atomic<LONG_PTR> ExStyle { 0 };
    std::atomic<bool> Alive { true };
    std::atomic<UINT_PTR> Id { 0 };

    // The rest belongs to the owner thread alone.
    bool Destroying = false;
    HWND Owner = nullptr; // top-level windows: the window they belong to
    std::vector<TWindowRef> Children; // bottom first: later ones lie over earlier ones
    RECT Rect; // the parent's client coordinates (the screen's at the top)
    RECT Client; // the client area in window coordinates
    bool Placed = false; // given a place (created with one, moved or sized)
    UINT ClassStyle = 0;
    HCURSOR ClassCursor = nullptr;
    TRectRegion Update; // window coordinates
    bool Erase = false;
    bool TrackLeave = false;
    HWND LastActivePopup = nullptr;
    // Top-level windows: the backing store the window and its children
    // paint into (the size of the window), the parts of it the screen has
    // not been given yet, and whether the presenter has a surface for it.
    std::shared_ptr<TPixelBuffer> Store;
    TRectRegion Dirty;
    bool HasSurface = false;
    // Top-level windows: the opacity of a layered window (255: opaque) and
    // the picture the window manager shows for the window (empty: none).
    Byte Alpha = 255;
    std::shared_ptr<const TPixelBuffer> IconPicture;
    // The window's region (window coordinates): what lies outside neither
    // shows nor takes the pointer. None: the whole window.
    std::optional<std::vector<RECT>> Shape;

    bool Child() const { return (DWORD(Style.load()) & WS_CHILD) != 0; }
    bool Visible() const { return (DWORD(Style.load()) & WS_VISIBLE) != 0; }
    bool Enabled() const { return (DWORD(Style.load()) & WS_DISABLED) == 0; }
    bool Iconic() const { return (DWORD(Style.load()) & WS_MINIMIZE) != 0; }
    RECT WindowArea() const { return { 0, 0, RectWidth(Rect), RectHeight(Rect) }; }
};

struct TTimerEntry {
    HWND Wnd = nullptr;
    UINT_PTR Id = 0;
    UINT Elapse = 0;
    TIMERPROC Proc = nullptr;
    UInt64 Due = 0;
    UInt64 Seq = 0;
};

struct TSentMessage {
    MSG Msg;
    TWindowRef Window;
    std::shared_ptr<TThreadQueue> Sender;
    LRESULT Result = 0;
    bool Done = false; // guarded by the sender's lock
};

struct TPostedMessage {
    MSG Msg;
    TWindowRef Window; // null for thread messages
};

// The posted messages of a thread, first in first out, in storage that is
// kept when they are taken: a post in a steady stream allocates nothing.
class TPostedQueue {
public:
    using iterator = std::vector<TPostedMessage>::iterator;
    iterator begin() { return FItems.begin() + std::ptrdiff_t(FHead); }
    iterator end() { return FItems.end(); }
    bool empty() const { return FHead == FItems.size(); }
    size_t size() const { return FItems.size() - FHead; }
    void push_back(TPostedMessage&& Message)
    {
        // Taken ones at the front are dropped once they are half of it.
        if (FHead > 0 && FHead >= FItems.size() / 2) {
            FItems.erase(FItems.begin(), FItems.begin() + std::ptrdiff_t(FHead));
            FHead = 0;
        }
        FItems.push_back(std::move(Message));
    }
    iterator erase(iterator It)
    {
        if (It == begin()) {
            *It = TPostedMessage {};
            ++FHead;
            Settle();
            return begin();
        }
        return FItems.erase(It);
    }
    template<class P>
    size_t erase_if(P&& Pred)
    {
        const auto Kept = std::remove_if(begin(), end(), Pred);
        const size_t N = size_t(end() - Kept);
        FItems.erase(Kept, end());
        Settle();
        return N;
    }
    void clear()
    {
        FItems.clear();
        FHead = 0;
    }

private:
    std::vector<TPostedMessage> FItems;
    size_t FHead = 0; // the first not yet taken

    void Settle()
    {
        if (FHead == FItems.size())
            clear();
    }
};

struct TThreadQueue {
    TThreadID ThreadId = 0;
    std::mutex Lock;
    std::condition_variable Wake;
    bool Alive = true;
    TPostedQueue Posted;
    std::deque<std::shared_ptr<TSentMessage>> Sent;
    // The owner waits in a fetch: the first post wakes it, later ones need
    // not (a wake is a system call).
    bool FetchWaiting = false;
    bool QuitPosted = false;
    int QuitCode = 0;
    std::vector<TTimerEntry> Timers;
    UInt64 TimerSeq = 0;
    UINT_PTR NextThreadTimerId = 1;
    UInt64 TimeChangesSeen = 0;
    // Raw input not yet routed, and the one routed message not yet taken.
    std::deque<TInputEvent> Input;
    std::optional<MSG> RoutedInput;
    // Wakes a loop that waits in poll() on the presenter's descriptor.
    std::atomic<int> WakeFd { -1 };

    // The owner thread's alone: windows whose update region is not empty,
    // top-level windows whose pictures wait to be composed, focus,
    // activation, capture and the pointer's last window.
    std::map<std::uintptr_t, std::weak_ptr<TWindowObject>> NeedPaint;
    std::map<std::uintptr_t, std::weak_ptr<TWindowObject>> NeedCompose;
    // The time change is looked for on every 32nd fetch and whenever a
    // fetch finds nothing else to do (reading the clocks costs).
    int TimeCheckCountdown = 0;
    // The window of the posted message handed out last, so its dispatch
    // need not look it up again.
    TWindowRef Fetched;
    HWND Focus = nullptr;
    HWND Active = nullptr;
    HWND Capture = nullptr;
    HWND Hover = nullptr;
};
using TQueueRef = std::shared_ptr<TThreadQueue>;

// The calling thread's queue, made on first use.
const TQueueRef& CurrentQueue();
TQueueRef FindQueue(TThreadID ThreadId);
// Null for a dead or unknown handle.
TWindowRef FindWindow(HWND Wnd);
// Live top-level windows of a thread, oldest first.
std::vector<TWindowRef> TopLevelWindows(TThreadID ThreadId);
// Wakes every thread waiting for messages.
void WakeAllQueues();
void WakeQueue(TThreadID ThreadId);
// Wakes the queue's waiting thread; the queue's lock is held or not.
void Wake(TThreadQueue& Queue);
// Runs the window's procedure (its function, for a window made on one).
LRESULT CallWindow(const TWindowRef& Window, UINT Msg, WPARAM WParam, LPARAM LParam);

// The window behind a handle of the calling thread; null for a dead
// handle or another thread's window.
TWindowRef OwnWindow(HWND Wnd);
TWindowRef ParentOf(const TWindowObject& Window);
// The top-level window a window lies in (itself at the top).
TWindowRef TopLevelOf(const TWindowRef& Window);
// Visible with every ancestor.
bool ReallyVisible(const TWindowObject& Window);
// Top-level windows of every thread, topmost first.
std::vector<TWindowRef> TopLevelZOrder();
// Puts a top-level window (and the windows it owns, above it) on top.
void BringTopLevelToFront(const TWindowRef& Window);
void SendTopLevelToBack(const TWindowRef& Window);
void DropFromZOrder(HWND Wnd);
// SetWindowPos; FromScreen: the presenter reported the change, so it is not
// told again.
bool PlaceWindow(const TWindowRef& Window, HWND InsertAfter, Integer X, Integer Y, Integer Cx, Integer Cy, UINT Flags,
    bool FromScreen);

// Painting, for the rest of the layer.
// Marks a rectangle of a window (window coordinates) as changed in its
// top-level window's backing store, for the screen.
void MarkChanged(const TWindowRef& Window, const RECT& Area);
// A child window came, moved, or changed its size or place in the Z
// order: what the store holds of it and its descendants is stale, so they
// paint again whole.
void InvalidateTree(const TWindowRef& Window);
// A child window left Area (its parent's client coordinates): the parent
// and the siblings there paint it again.
void ExposeInParent(const TWindowRef& Window, const RECT& Area);
// The window's area (window coordinates) in its top-level window's
// coordinates, cut to every ancestor's client area.
RECT AreaInTopLevel(const TWindowRef& Window, const RECT& Area);
// Nothing of the window lies inside its parents' client areas.
bool WhollyClipped(const TWindowRef& Window);
void InvalidateWindow(const TWindowRef& Window, const RECT& Area, bool Erase);
// The next window of the queue to get WM_PAINT, passing the filter.
HWND NextPaintWindow(TThreadQueue& Queue, HWND Wnd, UINT Min, UINT Max);
// Window size changes: the client area is asked again.
void RecalcClient(const TWindowRef& Window);
void WindowGone(const TWindowRef& Window);
// Top-level windows: the presenter's surface is made when first shown.
void EnsureSurface(const TWindowRef& Window);

// Input, for the message loop: turns the oldest raw record into a message
// (false when it made none). Runs window procedures; no lock held.
bool RouteInput(const TInputEvent& Event, MSG& Msg);
void InputWindowGone(TThreadQueue& Queue, HWND Wnd);
void HotKeysWindowGone(HWND Wnd);

bool MatchesFilter(HWND MsgWnd, UINT Message, HWND Wnd, UINT Min, UINT Max);
// Under the queue's lock: the earliest due timer that passes the filter, or
// null; and the earliest due time of any timer passing the filter.
TTimerEntry* DueTimer(TThreadQueue& Queue, UInt64 Now, HWND Wnd, UINT Min, UINT Max);
std::optional<UInt64> NextTimerDue(TThreadQueue& Queue, HWND Wnd, UINT Min, UINT Max);
// Under the queue's lock: drops the timers of a window.
void DropWindowTimers(TThreadQueue& Queue, HWND Wnd);
// Under the queue's lock: whether a timer with this procedure still exists.
bool TimerAlive(TThreadQueue& Queue, HWND Wnd, UINT_PTR Id, TIMERPROC Proc);

}
