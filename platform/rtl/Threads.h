// TThread: a worker thread in the class library's shape.
//
//     class TScan : public TThread {
//         X_CLASS(TScan, TThread)
//     protected:
//         void Execute() override {
//             while (!Terminated()) { ...; Synchronize([&] { ShowProgress(); }); }
//         }
//     };
//     auto* Scan = New<TScan>(true);          // created suspended
//     Scan->SetOnTerminate([](TObject*) { ... });  // runs on the main thread
//     Scan->Start();
//
// Synchronize runs a method on the main thread and waits for it; Queue
// hands it over without waiting. Both are run by CheckSynchronize(), which
// the main thread's message loop calls whenever it pumps; WakeMainThread is
// called after each hand-over so that a waiting message loop wakes up (the
// window layer sets it; the runtime cannot depend on that layer).
#pragma once
#include "rtl/Object.h"
#include <condition_variable>
#include <exception>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

X_EXCEPTION(EThread, Exception)

using TThreadMethod = std::function<void()>;
using TThreadNotifyEvent = std::function<void(TObject* Sender)>;

// The end of a thread for good: set after OnTerminate has run and, for a
// thread that frees itself, after it is gone. Whoever must not outlast the
// thread's work (the owner of data it reads) keeps this and waits on it,
// which works also for a thread that frees itself.
class TThreadEnd {
public:
    bool Ended() const;
    // On the main thread it keeps running handed-over methods meanwhile.
    void WaitFor();

private:
    friend class TThread;
    void Signal();
    // Under the hand-over lock: the main thread waits for this end.
    void MainWaits();
    bool FEnded = false;
    bool FMainWaits = false;
    // When the main thread last began waiting for this end, in the count of
    // such waits (under the hand-over lock).
    std::uint64_t FMainWaitBegan = 0;
};

class TThread : public TObject {
    X_CLASS(TThread, TObject)
public:
    // Starts the thread at once unless CreateSuspended; then Start does.
    void Create(bool CreateSuspended);
    void Create() override { Create(false); }
    void AfterConstruction() override;
    // An unfinished thread is terminated and waited for.
    void BeforeDestruction() override;
    ~TThread() override;

    void Start();
    // Sets Terminated, then calls TerminatedSet on the calling thread.
    void Terminate();
    // Waits until Execute has ended and OnTerminate has run. On the main
    // thread it keeps running synchronized methods meanwhile, so a worker
    // that synchronizes cannot dead-lock against it. Answers ReturnValue.
    Integer WaitFor();

    bool Terminated() const { return FTerminated.load(); }
    bool Finished() const { return FFinished.load(); }
    bool Started() const { return FStarted; }
    TThreadID ThreadID() const { return FThreadID.load(); }
    Integer ReturnValue() const { return FReturnValue; }
    // What Execute raised, if anything.
    std::exception_ptr FatalException() const { return FFatalException; }
    // The end signal of this thread; take it while the thread exists.
    std::shared_ptr<TThreadEnd> EndSignal() const { return FEnd; }

    // Freed on its own thread after OnTerminate; never touch it then.
    // Both may be set from any thread until Execute has ended; the thread
    // decides how it ends at that point, and later changes raise EThread
    // (so no caller believes a change took effect that did not). Freeing
    // itself cannot be switched on while a WaitFor or Free waits for it.
    bool FreeOnTerminate() const;
    void SetFreeOnTerminate(bool Value);
    TThreadNotifyEvent OnTerminate() const;
    void SetOnTerminate(TThreadNotifyEvent Value);

    void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
    void Queue(TThreadMethod Method) { Queue(this, std::move(Method)); }
    // Thread may be null (any thread may call these). On the main thread
    // both run Method at once. An exception raised by a synchronized method
    // passes on to the caller of Synchronize.
    // A thread's own Synchronize from its Execute stops waiting once the
    // thread is terminated and the main thread waits for its end: a method
    // not yet run is dropped, and one running (which is then what waits,
    // by freeing or waiting for the thread) goes on without the thread, so
    // after that it must touch nothing of the thread or its caller's frame.
    static void Synchronize(TThread* Thread, TThreadMethod Method);
    static void Queue(TThread* Thread, TThreadMethod Method);
    // Drops queued methods of Thread that have not run yet.
    static void RemoveQueuedEvents(TThread* Thread);

protected:
    virtual void Execute() = 0;
    // Runs after every Terminate on the thread that called it.
    virtual void TerminatedSet() { }
    // Runs OnTerminate on the main thread.
    virtual void DoTerminate();
    void SetReturnValue(Integer Value) { FReturnValue = Value; }

private:
    void Run();
    // Waits for the end for a caller already counted in FWaiters, and
    // counts it out again.
    void WaitForFinish();
    // Raises EThread once the thread has taken its end settings.
    void CheckEndNotTaken() const;

    std::thread FHandle;
    std::atomic<bool> FTerminated { false };
    std::atomic<bool> FFinished { false };
    std::atomic<TThreadID> FThreadID { 0 };
    bool FCreateSuspended = false;
    bool FStarted = false;
    bool FLaunched = false;
    Integer FReturnValue = 0;
    std::exception_ptr FFatalException;
    // Guards the end settings until the thread takes them.
    mutable std::mutex FEndLock;
    bool FEndTaken = false;
    Integer FWaiters = 0;
    bool FFreeOnTerminate = false;
    TThreadNotifyEvent FOnTerminate;
    std::shared_ptr<TThreadEnd> FEnd = std::make_shared<TThreadEnd>();
};

// Runs the methods handed to the main thread. Call it on the main thread
// only (EThread otherwise). Answers whether anything ran. A queued method
// that raises stops the round and its exception passes on; the methods
// behind it stay for the next call.
bool CheckSynchronize();
// True while methods wait to be run by CheckSynchronize.
bool SynchronizePending();
// Called (from any thread) after a method is handed to the main thread.
extern std::atomic<void (*)()> WakeMainThread;
