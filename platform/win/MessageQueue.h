// Internal to the window layer: the window objects behind handles and the
// per-thread queues, shared by the window, queue and timer sources.
#pragma once
#include "win/WinApi.h"
#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace WinDetail {

struct TThreadQueue;

struct TWindowObject {
    HWND Handle = nullptr;
    TThreadID ThreadId = 0;
    std::weak_ptr<TThreadQueue> Queue;
    HWND Parent = nullptr;
    String ClassName;
    String Text;
    TWindowProc Function;               // set for windows made on a function
    std::atomic<WNDPROC> Proc { nullptr };
    std::atomic<LONG_PTR> UserData { 0 };
    std::atomic<LONG_PTR> Style { 0 };
    std::atomic<LONG_PTR> ExStyle { 0 };
    std::atomic<bool> Alive { true };
    bool Destroying = false;            // owner thread only
};
using TWindowRef = std::shared_ptr<TWindowObject>;

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
    bool Done = false;                  // guarded by the sender's lock
};

struct TPostedMessage {
    MSG Msg;
    TWindowRef Window;                  // null for thread messages
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
    size_t FHead = 0;               // the first not yet taken

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
