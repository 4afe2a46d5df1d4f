#include "win/MessageQueue.h"
#include "rtl/Threads.h"
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
    Sent->Sender->Wake.notify_all();
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
    } catch (...) {     // answer the sender, then pass the failure on
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
        CheckTimeChange(*Queue);
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
                if (Remove)
                    Queue->Posted.erase(It);
                return TFetch::Message;
            }
            ++It;
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
        Queue->FetchWaiting = true;
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
    TPostedMessage Posted { MSG { Wnd, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().TickCount()), {} },
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
        Queue->Wake.notify_all();
    return true;
}

TWindowPoster::TWindowPoster(HWND Wnd) : FHandle(Wnd), FWindow(FindWindow(Wnd))
{
}

bool TWindowPoster::Post(UINT Msg, WPARAM WParam, LPARAM LParam) const
{
    if (!FWindow || !FWindow->Alive)
        return false;
    TQueueRef Queue = FWindow->Queue.lock();
    if (!Queue)
        return false;
    TPostedMessage Posted { MSG { FHandle, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().TickCount()), {} },
                            FWindow };
    bool Wake;
    {
        std::lock_guard Guard(Queue->Lock);
        if (!Queue->Alive || !FWindow->Alive)
            return false;
        Queue->Posted.push_back(std::move(Posted));
        Wake = std::exchange(Queue->FetchWaiting, false);
    }
    if (Wake)
        Queue->Wake.notify_all();
    return true;
}

Integer RemovePostedMessages(HWND Wnd, UINT Msg)
{
    const TQueueRef& Queue = CurrentQueue();
    std::lock_guard Guard(Queue->Lock);
    // The window's own record stays alive with the window: releasing the
    // removed messages' hold on it frees nothing under the lock.
    return Integer(Queue->Posted.erase_if([&](const TPostedMessage& P) {
        return P.Msg.hwnd == Wnd && P.Msg.message == Msg;
    }));
}

bool PostThreadMessage(DWORD ThreadId, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TQueueRef Queue = ThreadId == GetCurrentThreadId() ? CurrentQueue() : FindQueue(ThreadId);
    if (!Queue)
        return false;
    TPostedMessage Posted { MSG { nullptr, Msg, WParam, LParam, static_cast<DWORD>(TimeSource().TickCount()), {} },
                            nullptr };
    bool Wake;
    {
        std::lock_guard Guard(Queue->Lock);
        if (!Queue->Alive)
            return false;
        Queue->Posted.push_back(std::move(Posted));
        Wake = std::exchange(Queue->FetchWaiting, false);
    }
    if (Wake)
        Queue->Wake.notify_all();
    return true;
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TWindowRef Window = FindWindow(Wnd);
    if (!Window)
        return 0;
    if (Window->ThreadId == GetCurrentThreadId())
        return CallWindowProc(Window->Proc, Wnd, Msg, WParam, LParam);
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
    Target->Wake.notify_all();
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
    Queue->Wake.notify_all();
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
    return false;
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
    TWindowRef Window = FindWindow(Msg->hwnd);
    if (!Window || Window->ThreadId != GetCurrentThreadId())
        return 0;
    return CallWindowProc(Window->Proc, Msg->hwnd, Msg->message, Msg->wParam, Msg->lParam);
}
