#include "win/MessageQueue.h"
#include "rtl/Threads.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

using namespace WinDetail;

namespace {

const HWND ThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));

bool OnMainThread()
{
    return GetCurrentThreadId() == MainThreadID;
}

void Complete(const std::shared_ptr<TSentMessage>& Sent, LRESULT Result)
{
    {
        std::lock_guard Guard(Sent->Sender->Lock);
        Sent->Result = Result;
        Sent->Done = true;
    }
    WinDetail::Wake(*Sent->Sender);
}

// Handles one message sent from another thread; Lock is held on entry and on
// return, and released while the procedure runs.
void HandleSent(TThreadQueue& Queue, std::unique_lock<std::mutex>& Lock)
{
    auto Sent = Queue.Sent.front();
    Queue.Sent.pop_front();
    Lock.unlock();
    LRESULT Result = 0;
    try {
        if (Sent->Window->Alive)
            Result = CallWindowProc(Sent->Window->Proc, Sent->Msg.hwnd, Sent->Msg.message, Sent->Msg.wParam,
                Sent->Msg.lParam);
    } catch (...) { // answer the sender, then pass the failure on
        // The sender gets 0; the failure belongs to this thread's loop.
        Complete(Sent, 0);
        Lock.lock();
        throw;
    }
    Complete(Sent, Result);
    Lock.lock();
}

// Windows hears of a set clock through WM_TIMECHANGE, sent to the thread's
// top-level windows at its next pump.
void CheckTimeChange(TThreadQueue& Queue)
{
    const UInt64 Changes = TimeSource().WallClockChanges();
    {
        std::lock_guard Guard(Queue.Lock);
        if (Changes == Queue.TimeChangesSeen)
            return;
        Queue.TimeChangesSeen = Changes;
    }
    for (auto& Window : TopLevelWindows(Queue.ThreadId))
        if (Window->Alive)
            CallWindowProc(Window->Proc, Window->Handle, WM_TIMECHANGE, 0, 0);
}

// The main thread's wait when the presenter has a descriptor: poll() on it
// and on the queue's event descriptor, which every waker writes to.
void WaitWithPresenter(TThreadQueue& Queue, std::unique_lock<std::mutex>& Lock, int Fd, std::optional<UInt64> Due)
{
    int WakeFd = Queue.WakeFd.load();
    if (WakeFd < 0) {
        WakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (WakeFd < 0) {
            TimeSource().Wait(Queue.Wake, Lock, Due);
            return;
        }
        Queue.WakeFd = WakeFd;
    }
    // A manual clock only moves when advanced, which wakes the queue; the
    // real one is waited for at most a second at a time.
    int Timeout = 1000;
    if (Due) {
        const UInt64 Now = TimeSource().TickCount();
        Timeout = *Due <= Now ? 0 : int(std::min<UInt64>(*Due - Now, 1000));
    }
    Lock.unlock();
    pollfd Fds[2] = { { Fd, POLLIN, 0 }, { WakeFd, POLLIN, 0 } };
    ::poll(Fds, 2, Timeout);
    std::uint64_t Count;
    while (::read(WakeFd, &Count, sizeof Count) > 0) { }
    Lock.lock();
}

enum class TFetch { Message, Quit, Nothing, BadWindow };

TFetch Fetch(MSG* Msg, HWND Wnd, UINT Min, UINT Max, UINT Flags, bool Wait)
{
    const TQueueRef& Queue = CurrentQueue();
    if (Wnd && Wnd != ThreadMessagesOnly) {
        TWindowRef Window = FindWindow(Wnd);
        if (!Window || Window->ThreadId != Queue->ThreadId)
            return TFetch::BadWindow;
    }
    const bool Remove = (Flags & PM_REMOVE) != 0;
    const bool Main = OnMainThread();
    bool TimeChecked = false;
    for (;;) {
        // Methods that workers handed to the main thread run here. A waiting
        // GetMessage then returns WM_NULL, so that a loop waiting for what
        // such a method changes gets to look again instead of sleeping on.
        if (Main && CheckSynchronize() && Wait) {
            *Msg = MSG {};
            Msg->message = WM_NULL;
            Msg->time = static_cast<DWORD>(TimeSource().TickCount());
            return TFetch::Message;
        }
        if (!TimeChecked && --Queue->TimeCheckCountdown <= 0) {
            Queue->TimeCheckCountdown = 32;
            TimeChecked = true;
            CheckTimeChange(*Queue);
        }
        // What the screen sent becomes input records before anything is looked at.
        if (Main)
            Presenter().Dispatch();
        std::unique_lock Lock(Queue->Lock);
        while (!Queue->Sent.empty())
            HandleSent(*Queue, Lock);

        for (auto It = Queue->Posted.begin(); It != Queue->Posted.end();) {
            if (It->Window && !It->Window->Alive) {
                It = Queue->Posted.erase(It);
                continue;
            }
            if (MatchesFilter(It->Msg.hwnd, It->Msg.message, Wnd, Min, Max)) {
                *Msg = It->Msg;
                Queue->Fetched = It->Window;
                if (Remove)
                    Queue->Posted.erase(It);
                return TFetch::Message;
            }
            ++It;
        }
        // Input after the posted messages: one raw record at a time is routed
        // when the message made of the one before has been taken.
        if (!Queue->RoutedInput && !Queue->Input.empty()) {
            const TInputEvent Event = Queue->Input.front();
            Queue->Input.pop_front();
            Lock.unlock();
            MSG Routed;
            const bool Made = RouteInput(Event, Routed);
            Lock.lock();
            if (Made)
                Queue->RoutedInput = Routed;
            continue;
        }
        if (Queue->RoutedInput && MatchesFilter(Queue->RoutedInput->hwnd, Queue->RoutedInput->message, Wnd, Min, Max)) {
            *Msg = *Queue->RoutedInput;
            if (Remove)
                Queue->RoutedInput.reset();
            return TFetch::Message;
        }
        if (Queue->QuitPosted) {
            *Msg = MSG {};
            Msg->message = WM_QUIT;
            Msg->wParam = static_cast<WPARAM>(Queue->QuitCode);
            Msg->time = static_cast<DWORD>(TimeSource().TickCount());
            if (Remove)
                Queue->QuitPosted = false;
            return TFetch::Quit;
        }
        // A fetch with no posted message or input to hand out looks at the
        // clock before it paints or fires timers.
        if (!TimeChecked) {
            TimeChecked = true;
            Lock.unlock();
            CheckTimeChange(*Queue);
            continue;
        }
        // WM_PAINT is made, never posted: it comes while a window's update
        // region is not empty. Once nothing is left to paint, the pictures
        // are composed and shown.
        if (HWND PaintWnd = NextPaintWindow(*Queue, Wnd, Min, Max)) {
            *Msg = MSG {};
            Msg->hwnd = PaintWnd;
            Msg->message = WM_PAINT;
            Msg->time = static_cast<DWORD>(TimeSource().TickCount());
            return TFetch::Message;
        }
        if (!Queue->NeedCompose.empty()) {
            Lock.unlock();
            FlushWindowPictures();
            continue;
        }
        const UInt64 Now = TimeSource().TickCount();
        if (TTimerEntry* Timer = DueTimer(*Queue, Now, Wnd, Min, Max)) {
            *Msg = MSG {};
            Msg->hwnd = Timer->Wnd;
            Msg->message = WM_TIMER;
            Msg->wParam = Timer->Id;
            Msg->lParam = reinterpret_cast<LPARAM>(Timer->Proc);
            Msg->time = static_cast<DWORD>(Now);
            if (Remove)
                Timer->Due = Now + Timer->Elapse;
            return TFetch::Message;
        }
        if (!Wait)
            return TFetch::Nothing;
        if (Main && SynchronizePending())
            continue;
        if (TimeSource().WallClockChanges() != Queue->TimeChangesSeen)
            continue;
        const int PresenterFd = Main ? Presenter().FileDescriptor() : -1;
        Queue->FetchWaiting = true;
        if (PresenterFd >= 0)
            WaitWithPresenter(*Queue, Lock, PresenterFd, NextTimerDue(*Queue, Wnd, Min, Max));
        else
            TimeSource().Wait(Queue->Wake, Lock, NextTimerDue(*Queue, Wnd, Min, Max));
        Queue->FetchWaiting = false;
    }
}

}

namespace WinDetail {

bool MatchesFilter(HWND MsgWnd, UINT Message, HWND Wnd, UINT Min, UINT Max)
{
    if (Wnd == ThreadMessagesOnly ? MsgWnd != nullptr : Wnd && MsgWnd != Wnd)
        return false;
    return (Min == 0 && Max == 0) || (Message >= Min && Message <= Max);
}

}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    if (!Wnd)
        return PostThreadMessage(GetCurrentThreadId(), Msg, WParam, LParam);
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return false;
    TQueueRef Queue = Window->Queue.lock();
    if (!Queue)
        return false;
    TPostedMessage Posted { MSG { Wnd, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().CoarseTickCount()), {} },
        Window };
    bool Wake;
    {
        std::lock_guard Guard(Queue->Lock);
        if (!Queue->Alive || !Window->Alive)
            return false;
        Queue->Posted.push_back(std::move(Posted));
        Wake = std::exchange(Queue->FetchWaiting, false);
    }
    if (Wake)
        WinDetail::Wake(*Queue);
    return true;
}

TWindowPoster::TWindowPoster(HWND Wnd)
    : FHandle(Wnd)
    , FWindow(FindWindow(Wnd))
{ }

bool TWindowPoster::Post(UINT Msg, WPARAM WParam, LPARAM LParam) const
{
    if (!FWindow || !FWindow->Alive)
        return false;
    TQueueRef Queue = FWindow->Queue.lock();
    if (!Queue)
        return false;
    TPostedMessage Posted {
        MSG { FHandle, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().CoarseTickCount()), {} }, FWindow
    };
    bool Wake;
    {
        std::lock_guard Guard(Queue->Lock);
        if (!Queue->Alive || !FWindow->Alive)
            return false;
        Queue->Posted.push_back(std::move(Posted));
        Wake = std::exchange(Queue->FetchWaiting, false);
    }
    if (Wake)
        WinDetail::Wake(*Queue);
    return true;
}

Integer RemovePostedMessages(HWND Wnd, UINT Msg)
{
    const TQueueRef& Queue = CurrentQueue();
    std::lock_guard Guard(Queue->Lock);
    // The window's own record stays alive with the window: releasing the
    // removed messages' hold on it frees nothing under the lock.
    return Integer(
        Queue->Posted.erase_if([&](const TPostedMessage& P) { return P.Msg.hwnd == Wnd && P.Msg.message == Msg; }));
}

bool PostThreadMessage(DWORD ThreadId, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TQueueRef Queue = ThreadId == GetCurrentThreadId() ? CurrentQueue() : FindQueue(ThreadId);
    if (!Queue)
        return false;
    TPostedMessage Posted {
        MSG { nullptr, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().CoarseTickCount()), {} }, nullptr
    };
    bool Wake;
    {
        std::lock_guard Guard(Queue->Lock);
        if (!Queue->Alive)
            return false;
        Queue->Posted.push_back(std::move(Posted));
        Wake = std::exchange(Queue->FetchWaiting, false);
    }
    if (Wake)
        WinDetail::Wake(*Queue);
    return true;
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    if (Window->ThreadId == GetCurrentThreadId())
        return CallWindow(Window, Msg, WParam, LParam);
    TQueueRef Target = Window->Queue.lock();
    if (!Target)
        return 0;
    const TQueueRef& Self = CurrentQueue();
    auto Sent = std::make_shared<TSentMessage>();
    Sent->Msg = MSG { Wnd, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().TickCount()), {} };
    Sent->Window = Window;
    Sent->Sender = Self;
    {
        std::lock_guard Guard(Target->Lock);
        if (!Target->Alive)
            return 0;
        Target->Sent.push_back(Sent);
    }
    WinDetail::Wake(*Target);
    // Wait, but keep handling what is sent to this thread, so that two
    // threads sending to each other do not dead-lock.
    const bool Main = OnMainThread();
    std::unique_lock Lock(Self->Lock);
    while (!Sent->Done) {
        if (!Self->Sent.empty()) {
            HandleSent(*Self, Lock);
            continue;
        }
        if (Main && SynchronizePending()) {
            Lock.unlock();
            CheckSynchronize();
            Lock.lock();
            continue;
        }
        Self->Wake.wait(Lock);
    }
    return Sent->Result;
}

void PostQuitMessage(int ExitCode)
{
    const TQueueRef& Queue = CurrentQueue();
    {
        std::lock_guard Guard(Queue->Lock);
        Queue->QuitPosted = true;
        Queue->QuitCode = ExitCode;
    }
    WinDetail::Wake(*Queue);
}

bool PeekMessage(MSG* Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax, UINT RemoveMsg)
{
    if (!Msg)
        return false;
    const TFetch Result = Fetch(Msg, Wnd, MsgFilterMin, MsgFilterMax, RemoveMsg, false);
    return Result == TFetch::Message || Result == TFetch::Quit;
}

int GetMessage(MSG* Msg, HWND Wnd, UINT MsgFilterMin, UINT MsgFilterMax)
{
    if (!Msg)
        return -1;
    switch (Fetch(Msg, Wnd, MsgFilterMin, MsgFilterMax, PM_REMOVE, true)) {
    case TFetch::Message: return 1;
    case TFetch::Quit: return 0;
    default: return -1;
    }
}

void WaitMessage()
{
    MSG Msg;
    Fetch(&Msg, nullptr, 0, 0, PM_NOREMOVE, true);
}

bool TranslateMessage(const MSG* Msg)
{
    if (!Msg || !Msg->lPrivate || (Msg->message != WM_KEYDOWN && Msg->message != WM_SYSKEYDOWN))
        return false;
    const UINT CharMessage = Msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    const char32_t C = char32_t(Msg->lPrivate);
    if (C > 0xFFFF) {
        PostMessage(Msg->hwnd, CharMessage, WPARAM(0xD800 + ((C - 0x10000) >> 10)), Msg->lParam);
        PostMessage(Msg->hwnd, CharMessage, WPARAM(0xDC00 + ((C - 0x10000) & 0x3FF)), Msg->lParam);
    } else {
        PostMessage(Msg->hwnd, CharMessage, WPARAM(C), Msg->lParam);
    }
    return true;
}

LRESULT DispatchMessage(const MSG* Msg)
{
    if (!Msg)
        return 0;
    if (Msg->message == WM_TIMER && Msg->lParam) {
        // Only a live timer's own procedure: a timer killed after its message
        // was taken, or a forged lParam, calls nothing.
        auto Proc = reinterpret_cast<TIMERPROC>(Msg->lParam);
        const TQueueRef& Queue = CurrentQueue();
        {
            std::lock_guard Guard(Queue->Lock);
            if (!TimerAlive(*Queue, Msg->hwnd, Msg->wParam, Proc))
                return 0;
        }
        Proc(Msg->hwnd, WM_TIMER, Msg->wParam, static_cast<DWORD>(TimeSource().TickCount()));
        return 0;
    }
    const TQueueRef& Queue = CurrentQueue();
    TWindowRef Window = Queue->Fetched && Queue->Fetched->Handle == Msg->hwnd ? Queue->Fetched : FindWindow(Msg->hwnd);
    if (!Window || !Window->Alive || Window->ThreadId != GetCurrentThreadId())
        return 0;
    return CallWindow(Window, Msg->message, Msg->wParam, Msg->lParam);
}
