#include "rtl/Threads.h"
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

X_REGISTER_CLASS(TThread)

std::atomic<void (*)()> WakeMainThread { nullptr };

namespace {

struct TSyncEntry {
    TThread* Thread = nullptr;
    TThreadMethod Method;
    bool Synchronous = false;
    bool Running = false; // taken by the main thread, under SyncLock
    std::uint64_t TakenAt = 0; // the count of end waits begun when it was taken
    bool Done = false;
    std::exception_ptr Error;
};

// How many waits of the main thread for a thread's end have begun (under
// SyncLock): orders them against the hand-overs taken meanwhile.
std::uint64_t EndWaitsBegun = 0;

// One lock and condition for the hand-over list and for threads finishing,
// so that the main thread waiting for a worker also sees its hand-overs.
std::mutex& SyncLock()
{
    static auto* Lock = new std::mutex;
    return *Lock;
}

std::condition_variable& SyncCond()
{
    static auto* Cond = new std::condition_variable;
    return *Cond;
}

std::deque<std::shared_ptr<TSyncEntry>>& SyncList()
{
    static auto* List = new std::deque<std::shared_ptr<TSyncEntry>>;
    return *List;
}

std::atomic<bool> Pending { false };

void HandOver(const std::shared_ptr<TSyncEntry>& Entry)
{
    {
        std::lock_guard Guard(SyncLock());
        SyncList().push_back(Entry);
        Pending = true;
    }
    SyncCond().notify_all();
    if (auto Wake = WakeMainThread.load())
        Wake();
}

bool OnMainThread()
{
    return GetCurrentThreadId() == MainThreadID;
}

}

void TThread::Create(bool CreateSuspended)
{
    inherited::Create();
    FCreateSuspended = CreateSuspended;
}

void TThread::AfterConstruction()
{
    inherited::AfterConstruction();
    if (!FCreateSuspended)
        Start();
}

void TThread::BeforeDestruction()
{
    // Wait here, not in the destructor: Execute must not run on while the
    // descendant's part of the object is being destroyed.
    if (FStarted && FHandle.joinable() && FHandle.get_id() != std::this_thread::get_id()) {
        Terminate();
        {
            std::lock_guard Guard(FEndLock);
            ++FWaiters;
        }
        WaitForFinish();
        FHandle.join();
    }
    inherited::BeforeDestruction();
}

TThread::~TThread()
{
    if (FHandle.joinable())
        FHandle.detach(); // freed by itself on terminating
    RemoveQueuedEvents(this);
}

void TThread::Start()
{
    if (FStarted)
        throw EThread(u"Cannot call Start on a running or finished thread");
    FStarted = true;
    FHandle = std::thread([this] { Run(); });
    // The thread holds back until this object is set up, so that one that
    // frees itself cannot be gone while Start still fills it in.
    std::unique_lock Lock(SyncLock());
    SyncCond().wait(Lock, [this] { return FThreadID.load() != 0; });
    FLaunched = true;
    Lock.unlock();
    SyncCond().notify_all();
}

void TThread::Terminate()
{
    {
        // Under the lock, so a Synchronize that checks it cannot miss it.
        std::lock_guard Guard(SyncLock());
        FTerminated = true;
    }
    SyncCond().notify_all();
    TerminatedSet();
}

Integer TThread::WaitFor()
{
    if (!FStarted)
        throw EThread(u"Cannot wait for a thread that was not started");
    if (FThreadID.load() == GetCurrentThreadId())
        throw EThread(u"A thread cannot wait for itself");
    {
        std::lock_guard Guard(FEndLock);
        if (FFreeOnTerminate)
            throw EThread(u"Cannot wait for a thread that frees itself");
        ++FWaiters;
    }
    WaitForFinish();
    return FReturnValue;
}

void TThread::WaitForFinish()
{
    struct TLeave {
        TThread* Self;
        ~TLeave()
        {
            std::lock_guard Guard(Self->FEndLock);
            --Self->FWaiters;
        }
    } Leave { this };
    const bool Main = OnMainThread();
    std::unique_lock Lock(SyncLock());
    if (Main)
        FEnd->MainWaits();
    while (!FFinished) {
        if (Main && !SyncList().empty()) {
            Lock.unlock();
            CheckSynchronize();
            Lock.lock();
            continue;
        }
        SyncCond().wait(Lock);
    }
}

// ---- TThreadEnd ----

bool TThreadEnd::Ended() const
{
    std::lock_guard Guard(SyncLock());
    return FEnded;
}

void TThreadEnd::Signal()
{
    {
        std::lock_guard Guard(SyncLock());
        FEnded = true;
    }
    SyncCond().notify_all();
}

void TThreadEnd::MainWaits()
{
    FMainWaits = true;
    FMainWaitBegan = ++EndWaitsBegun;
    SyncCond().notify_all();
}

void TThreadEnd::WaitFor()
{
    const bool Main = OnMainThread();
    std::unique_lock Lock(SyncLock());
    if (Main)
        MainWaits();
    while (!FEnded) {
        if (Main && !SyncList().empty()) {
            Lock.unlock();
            CheckSynchronize();
            Lock.lock();
            continue;
        }
        SyncCond().wait(Lock);
    }
}

bool TThread::FreeOnTerminate() const
{
    std::lock_guard Guard(FEndLock);
    return FFreeOnTerminate;
}

void TThread::SetFreeOnTerminate(bool Value)
{
    std::lock_guard Guard(FEndLock);
    CheckEndNotTaken();
    // It would be gone under whoever waits for it.
    if (Value && FWaiters > 0)
        throw EThread(u"Cannot make a thread free itself while it is waited for");
    FFreeOnTerminate = Value;
}

TThreadNotifyEvent TThread::OnTerminate() const
{
    std::lock_guard Guard(FEndLock);
    return FOnTerminate;
}

void TThread::SetOnTerminate(TThreadNotifyEvent Value)
{
    std::lock_guard Guard(FEndLock);
    CheckEndNotTaken();
    FOnTerminate = std::move(Value);
}

void TThread::CheckEndNotTaken() const
{
    if (FEndTaken)
        throw EThread(u"The thread has ended its work: how it ends can no longer be changed");
}

void TThread::DoTerminate()
{
    // Unchanged from here on: the end settings are taken.
    if (TThreadNotifyEvent Handler = OnTerminate())
        Synchronize([this, Handler] { Handler(this); });
}

void TThread::Run()
{
    {
        std::unique_lock Lock(SyncLock());
        FThreadID = GetCurrentThreadId();
        SyncCond().notify_all();
        SyncCond().wait(Lock, [this] { return FLaunched; });
    }
    try {
        if (!FTerminated)
            Execute();
    } catch (...) { // kept for the owner, as the thread's fatal exception
        FFatalException = std::current_exception();
    }
    bool FreeThread;
    {
        std::lock_guard Guard(FEndLock);
        FEndTaken = true;
        FreeThread = FFreeOnTerminate;
    }
    try {
        DoTerminate();
    } catch (...) { // the first failure is the one the owner sees
        if (!FFatalException)
            FFatalException = std::current_exception();
    }
    {
        std::lock_guard Guard(SyncLock());
        FFinished = true;
    }
    SyncCond().notify_all();
    // Kept here: the object may be gone before the signal is given.
    std::shared_ptr<TThreadEnd> End = FEnd;
    if (FreeThread)
        Free();
    End->Signal();
}

void TThread::Synchronize(TThread* Thread, TThreadMethod Method)
{
    if (!Method)
        return;
    if (OnMainThread()) {
        Method();
        return;
    }
    // Only the body's own calls give up: OnTerminate, after the body, runs
    // while the main thread waits, and must run.
    bool Interruptible = false;
    if (Thread && Thread->FThreadID.load() == GetCurrentThreadId()) {
        std::lock_guard Guard(Thread->FEndLock);
        Interruptible = !Thread->FEndTaken;
    }
    auto Entry = std::make_shared<TSyncEntry>();
    Entry->Thread = Thread;
    Entry->Method = std::move(Method);
    Entry->Synchronous = true;
    HandOver(Entry);
    std::unique_lock Lock(SyncLock());
    // Terminated while the main thread waits for the end: a method not run
    // yet, or taken by that wait, is run by it (the wait serves hand-overs).
    // A wait for the end begun after the method was taken runs inside the
    // method (there is one main thread), so the method cannot return before
    // the end, and the thread goes on without it.
    auto GivenUp = [&] {
        return Interruptible && Entry->Running && Thread->FTerminated.load() && Thread->FEnd->FMainWaits &&
            Thread->FEnd->FMainWaitBegan > Entry->TakenAt;
    };
    SyncCond().wait(Lock, [&] { return Entry->Done || GivenUp(); });
    if (!Entry->Done)
        return;
    if (Entry->Error)
        std::rethrow_exception(Entry->Error);
}

void TThread::Queue(TThread* Thread, TThreadMethod Method)
{
    if (!Method)
        return;
    if (OnMainThread()) {
        Method();
        return;
    }
    auto Entry = std::make_shared<TSyncEntry>();
    Entry->Thread = Thread;
    Entry->Method = std::move(Method);
    HandOver(Entry);
}

void TThread::RemoveQueuedEvents(TThread* Thread)
{
    std::lock_guard Guard(SyncLock());
    auto& List = SyncList();
    std::erase_if(List, [Thread](const auto& E) { return !E->Synchronous && E->Thread == Thread; });
    Pending = !List.empty();
}

bool CheckSynchronize()
{
    if (!OnMainThread())
        throw EThread(u"CheckSynchronize called from a thread that is not the main thread");
    if (!Pending)
        return false;
    std::size_t Round;
    {
        std::lock_guard Guard(SyncLock());
        Round = SyncList().size();
    }
    bool Ran = false;
    // Only what was handed over before this call: a worker that keeps
    // queuing cannot hold the main thread here for ever.
    for (; Round > 0; --Round) {
        std::shared_ptr<TSyncEntry> Entry;
        {
            std::lock_guard Guard(SyncLock());
            if (SyncList().empty())
                break;
            Entry = SyncList().front();
            SyncList().pop_front();
            Entry->Running = true;
            Entry->TakenAt = EndWaitsBegun;
            Pending = !SyncList().empty();
        }
        Ran = true;
        if (!Entry->Synchronous) {
            Entry->Method();
            continue;
        }
        try {
            Entry->Method();
        } catch (...) { // raised again on the thread that asked for the call
            Entry->Error = std::current_exception();
        }
        {
            std::lock_guard Guard(SyncLock());
            Entry->Done = true;
        }
        SyncCond().notify_all();
    }
    return Ran;
}

bool SynchronizePending()
{
    return Pending;
}
