#include "win/Timers.h"
#include "win/MessageQueue.h"
#include <algorithm>

using namespace WinDetail;

X_REGISTER_CLASS(TTimerObject)

namespace WinDetail {

TTimerEntry* DueTimer(TThreadQueue& Queue, UInt64 Now, HWND Wnd, UINT Min, UINT Max)
{
    TTimerEntry* Best = nullptr;
    for (auto& T : Queue.Timers) {
        if (T.Due > Now || !MatchesFilter(T.Wnd, WM_TIMER, Wnd, Min, Max))
            continue;
        if (!Best || T.Due < Best->Due || (T.Due == Best->Due && T.Seq < Best->Seq))
            Best = &T;
    }
    return Best;
}

std::optional<UInt64> NextTimerDue(TThreadQueue& Queue, HWND Wnd, UINT Min, UINT Max)
{
    std::optional<UInt64> Result;
    for (auto& T : Queue.Timers)
        if (MatchesFilter(T.Wnd, WM_TIMER, Wnd, Min, Max) && (!Result || T.Due < *Result))
            Result = T.Due;
    return Result;
}

void DropWindowTimers(TThreadQueue& Queue, HWND Wnd)
{
    std::erase_if(Queue.Timers, [Wnd](const TTimerEntry& T) { return T.Wnd == Wnd; });
}

bool TimerAlive(TThreadQueue& Queue, HWND Wnd, UINT_PTR Id, TIMERPROC Proc)
{
    return std::any_of(Queue.Timers.begin(), Queue.Timers.end(),
        [&](const TTimerEntry& T) { return T.Wnd == Wnd && T.Id == Id && T.Proc == Proc; });
}

}

UINT_PTR SetTimer(HWND Wnd, UINT_PTR IDEvent, UINT Elapse, TIMERPROC TimerFunc)
{
    const TQueueRef& Queue = CurrentQueue();
    if (Wnd) {
        TWindowRef Window = FindWindow(Wnd);
        if (!Window || Window->ThreadId != Queue->ThreadId)
            return 0;
    }
    Elapse = std::clamp(Elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const UInt64 Due = TimeSource().TickCount() + Elapse;
    {
        std::lock_guard Guard(Queue->Lock);
        auto& Timers = Queue->Timers;
        auto Existing = std::find_if(Timers.begin(), Timers.end(),
            [&](const TTimerEntry& T) { return T.Wnd == Wnd && T.Id == IDEvent && (Wnd || IDEvent); });
        if (Existing != Timers.end()) {
            Existing->Elapse = Elapse;
            Existing->Proc = TimerFunc;
            Existing->Due = Due;
        } else {
            TTimerEntry Entry;
            Entry.Wnd = Wnd;
            Entry.Id = IDEvent;
            if (!Wnd) {
                // A new thread timer gets an id no other thread timer holds.
                auto Taken = [&](UINT_PTR Id) {
                    return std::any_of(Timers.begin(), Timers.end(),
                        [&](const TTimerEntry& T) { return !T.Wnd && T.Id == Id; });
                };
                do {
                    Entry.Id = Queue->NextThreadTimerId++;
                    if (Queue->NextThreadTimerId == 0)
                        Queue->NextThreadTimerId = 1;
                } while (Entry.Id == 0 || Taken(Entry.Id));
            }
            Entry.Elapse = Elapse;
            Entry.Proc = TimerFunc;
            Entry.Due = Due;
            Entry.Seq = ++Queue->TimerSeq;
            Timers.push_back(Entry);
            IDEvent = Entry.Id;
        }
    }
    WinDetail::Wake(*Queue);
    return Wnd ? (IDEvent ? IDEvent : 1) : IDEvent;
}

bool KillTimer(HWND Wnd, UINT_PTR IDEvent)
{
    const TQueueRef& Queue = CurrentQueue();
    std::lock_guard Guard(Queue->Lock);
    return std::erase_if(Queue->Timers, [&](const TTimerEntry& T) { return T.Wnd == Wnd && T.Id == IDEvent; }) > 0;
}

void TTimerObject::Create()
{
    inherited::Create();
    FSelf = std::make_shared<std::atomic<TTimerObject*>>(this);
    FWindow = CreateHiddenWindow([Self = FSelf](HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) -> LRESULT {
        if (Msg == WM_TIMER) {
            if (TTimerObject* Timer = Self->load())
                Timer->Timer();
            return 0;
        }
        return DefWindowProc(Wnd, Msg, WParam, LParam);
    });
}

TTimerObject::~TTimerObject()
{
    if (FSelf)
        FSelf->store(nullptr);
    if (!FWindow)
        return;
    // Freed on another thread the window cannot be destroyed here; its owner
    // closes it at its next pump.
    if (GetWindowThreadProcessId(FWindow) == GetCurrentThreadId())
        DestroyWindow(FWindow);
    else
        PostMessage(FWindow, WM_CLOSE, 0, 0);
}

void TTimerObject::SetEnabled(bool Value)
{
    if (Value != FEnabled) {
        FEnabled = Value;
        UpdateTimer();
    }
}

void TTimerObject::SetInterval(Cardinal Value)
{
    if (Value != FInterval) {
        FInterval = Value;
        UpdateTimer();
    }
}

void TTimerObject::SetOnTimer(TTimerEvent Value)
{
    FOnTimer = std::move(Value);
    UpdateTimer();
}

void TTimerObject::Timer()
{
    // A copy: the handler may free this object and with it FOnTimer.
    if (TTimerEvent Handler = FOnTimer)
        Handler(this);
}

void TTimerObject::UpdateTimer()
{
    if (!FWindow)
        return;
    KillTimer(FWindow, 1);
    if (FEnabled && FInterval > 0 && FOnTimer)
        SetTimer(FWindow, 1, FInterval, nullptr);
}
