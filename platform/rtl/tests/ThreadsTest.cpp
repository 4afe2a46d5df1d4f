#include "rtl/Threads.h"
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A worker whose body is given by the test.
class TTestThread : public TThread {
    X_CLASS(TTestThread, TThread)
public:
    std::function<void(TTestThread&)> Body;
    std::shared_ptr<std::promise<void>> Destroyed;
    ~TTestThread() override
    {
        if (Destroyed)
            Destroyed->set_value();
    }
    using TThread::SetReturnValue;

protected:
    void Execute() override
    {
        if (Body)
            Body(*this);
    }
};

TTestThread* MakeThread(std::function<void(TTestThread&)> Body)
{
    auto* T = New<TTestThread>(true);
    T->Body = std::move(Body);
    return T;
}

}
X_REGISTER_CLASS(TTestThread)

TEST(Threads, SynchronizeAndOnTerminateRunOnTheMainThreadWhileItWaits)
{
    TThreadID SyncThread = 0, TerminateThread = 0, WorkerThread = 0;
    bool ResumedAfterSync = false;
    TOwnedPtr<TTestThread> T(MakeThread([&](TTestThread& Self) {
        WorkerThread = GetCurrentThreadId();
        Self.Synchronize([&] { SyncThread = GetCurrentThreadId(); });
        ResumedAfterSync = SyncThread != 0;
        Self.SetReturnValue(42);
    }));
    T->SetOnTerminate([&](TObject* Sender) {
        EXPECT_EQ(Sender, T.get());
        TerminateThread = GetCurrentThreadId();
    });
    T->Start();
    EXPECT_EQ(T->WaitFor(), 42);
    EXPECT_TRUE(T->Finished());
    EXPECT_EQ(SyncThread, MainThreadID);
    EXPECT_EQ(TerminateThread, MainThreadID);
    EXPECT_NE(WorkerThread, MainThreadID);
    EXPECT_EQ(T->ThreadID(), WorkerThread);
    EXPECT_TRUE(ResumedAfterSync);
}

TEST(Threads, QueuedMethodsRunInOrderAtTheNextCheck)
{
    std::vector<int> Ran;
    TOwnedPtr<TTestThread> T(MakeThread([&](TTestThread& Self) {
        for (int I = 0; I < 3; ++I)
            Self.Queue([&Ran, I] { Ran.push_back(I); });
    }));
    T->Start();
    T->WaitFor();
    while (CheckSynchronize()) { }
    EXPECT_EQ(Ran, (std::vector<int> { 0, 1, 2 }));
}

TEST(Threads, QueuedMethodsOfAFreedThreadNeverRun)
{
    bool RanForFreed = false, RanForOther = false;
    TTestThread* Freed = MakeThread(nullptr);
    TOwnedPtr<TTestThread> Other(MakeThread(nullptr));
    std::thread([&] {
        TThread::Queue(Freed, [&] { RanForFreed = true; });
        TThread::Queue(Other.get(), [&] { RanForOther = true; });
    }).join();
    Freed->Free();
    CheckSynchronize();
    EXPECT_FALSE(RanForFreed);
    EXPECT_TRUE(RanForOther);
}

TEST(Threads, ExceptionsReachTheRightThread)
{
    bool WorkerCaught = false;
    TOwnedPtr<TTestThread> T(MakeThread([&](TTestThread& Self) {
        try {
            Self.Synchronize([] { throw EAbort(u"from main"); });
        } catch (const EAbort&) {
            WorkerCaught = true;
        }
        throw EConvertError(u"from worker");
    }));
    T->Start();
    T->WaitFor();
    EXPECT_TRUE(WorkerCaught);
    ASSERT_TRUE(T->FatalException());
    EXPECT_THROW(std::rethrow_exception(T->FatalException()), EConvertError);
}

TEST(Threads, LifecycleErrorsAreReported)
{
    TOwnedPtr<TTestThread> Suspended(MakeThread(nullptr));
    EXPECT_FALSE(Suspended->Started());
    EXPECT_THROW(Suspended->WaitFor(), EThread);
    Suspended->Start();
    EXPECT_THROW(Suspended->Start(), EThread);
    Suspended->WaitFor();

    // A thread terminated before it starts never runs its body.
    bool BodyRan = false;
    TOwnedPtr<TTestThread> Early(MakeThread([&](TTestThread&) { BodyRan = true; }));
    Early->Terminate();
    Early->Start();
    Early->WaitFor();
    EXPECT_FALSE(BodyRan);

    std::promise<bool> Raised;
    std::thread Other([&] {
        try {
            CheckSynchronize();
            Raised.set_value(false);
        } catch (const EThread&) {
            Raised.set_value(true);
        }
    });
    Other.join();
    EXPECT_TRUE(Raised.get_future().get());
}

TEST(Threads, FreeingAnUnfinishedThreadTerminatesAndWaits)
{
    std::promise<void> Entered;
    TTestThread* T = MakeThread([&](TTestThread& Self) {
        Entered.set_value();
        while (!Self.Terminated())
            std::this_thread::yield();
    });
    T->Start();
    Entered.get_future().wait();
    T->Free(); // returns only once Execute has seen Terminated
    SUCCEED();
}

TEST(Threads, FreeOnTerminateFreesOnItsOwnThread)
{
    auto Destroyed = std::make_shared<std::promise<void>>();
    auto Done = Destroyed->get_future();
    TTestThread* T = MakeThread(nullptr);
    T->Destroyed = Destroyed;
    T->SetFreeOnTerminate(true);
    EXPECT_THROW(T->WaitFor(), EThread);
    T->Start();
    Done.wait();
}

TEST(Threads, EndSettingsHoldUntilTheBodyEndsAndAreRefusedAfter)
{
    // Set while the body runs: both take effect.
    std::promise<void> Gate;
    std::shared_future<void> Open = Gate.get_future().share();
    auto Destroyed = std::make_shared<std::promise<void>>();
    auto Gone = Destroyed->get_future();
    TTestThread* Running = MakeThread([Open](TTestThread&) { Open.wait(); });
    Running->Destroyed = Destroyed;
    Running->Start();
    bool Ended = false;
    Running->SetOnTerminate([&](TObject*) { Ended = true; });
    Running->SetFreeOnTerminate(true);
    Gate.set_value();
    while (Gone.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        CheckSynchronize();
        std::this_thread::yield();
    }
    EXPECT_TRUE(Ended);

    // Once the body has ended, from OnTerminate or later: refused.
    TOwnedPtr<TTestThread> T(MakeThread(nullptr));
    int RefusedInside = 0;
    T->SetOnTerminate([&](TObject*) {
        try {
            T->SetFreeOnTerminate(true);
        } catch (const EThread&) {
            ++RefusedInside;
        }
        try {
            T->SetOnTerminate(nullptr);
        } catch (const EThread&) {
            ++RefusedInside;
        }
    });
    T->Start();
    T->WaitFor();
    EXPECT_EQ(RefusedInside, 2);
    EXPECT_THROW(T->SetFreeOnTerminate(true), EThread);
    EXPECT_FALSE(T->FreeOnTerminate());

    // Freeing itself under a waiter: refused.
    bool Refused = false;
    TOwnedPtr<TTestThread> Waited(MakeThread([&](TTestThread& Self) {
        Self.Synchronize([] {}); // the main thread is inside WaitFor now
        try {
            Self.SetFreeOnTerminate(true);
        } catch (const EThread&) {
            Refused = true;
        }
    }));
    Waited->Start();
    Waited->WaitFor();
    EXPECT_TRUE(Refused);
    EXPECT_FALSE(Waited->FreeOnTerminate());
}

namespace {
// Records on which thread each terminate request arrived.
class TRequestThread : public TTestThread {
    X_CLASS(TRequestThread, TTestThread)
public:
    std::vector<TThreadID> Requests;

protected:
    void TerminatedSet() override { Requests.push_back(GetCurrentThreadId()); }
};
}
X_REGISTER_CLASS(TRequestThread)

TEST(Threads, TerminateRequestsRunOnTheCallingThread)
{
    TOwnedPtr<TRequestThread> T(New<TRequestThread>(true));
    std::promise<TThreadID> Worker;
    T->Body = [&](TTestThread& Self) {
        Worker.set_value(GetCurrentThreadId());
        Self.Terminate();
    };
    T->Start();
    const TThreadID WorkerID = Worker.get_future().get();
    T->WaitFor();
    T->Terminate();
    EXPECT_EQ(T->Requests, (std::vector<TThreadID> { WorkerID, MainThreadID }));
    EXPECT_TRUE(T->Terminated());
}

// The end signal outlives a thread that frees itself, and a wait for it on
// the main thread runs the end handler meanwhile.
TEST(Threads, EndSignalWaitsForAThreadThatFreesItself)
{
    auto Destroyed = std::make_shared<std::promise<void>>();
    auto Gone = Destroyed->get_future();
    std::promise<void> Release;
    auto Released = Release.get_future().share();
    TTestThread* T = MakeThread([Released](TTestThread&) { Released.wait(); });
    T->Destroyed = Destroyed;
    bool HandlerRan = false;
    T->SetOnTerminate([&](TObject*) { HandlerRan = true; });
    T->SetFreeOnTerminate(true);
    std::shared_ptr<TThreadEnd> End = T->EndSignal();
    T->Start();
    EXPECT_FALSE(End->Ended());
    Release.set_value();
    End->WaitFor();
    EXPECT_TRUE(End->Ended());
    EXPECT_TRUE(HandlerRan);
    EXPECT_EQ(Gone.wait_for(std::chrono::seconds(0)), std::future_status::ready);
}

// A synchronized method of the thread's body that frees the thread (as a
// handler of the worker's own broadcast frees its gear) ends it: the body's
// wait gives up, the body runs on to its end, OnTerminate still runs, and
// the free returns. Waiting for the end inside such a method works alike
// for a thread that frees itself.
TEST(Threads, FreeingAThreadInsideItsOwnSynchronizedMethodEndsIt)
{
    for (bool FreesItself : { false, true }) {
        SCOPED_TRACE(FreesItself ? "frees itself" : "freed by its owner");
        bool AfterSync = false, Terminated = false, EndedBeforeReturn = false;
        auto Destroyed = std::make_shared<std::promise<void>>();
        auto Gone = Destroyed->get_future();
        TTestThread* T = MakeThread([&](TTestThread& Self) {
            Self.Synchronize([&Self, FreesItself, &EndedBeforeReturn] {
                if (FreesItself) {
                    std::shared_ptr<TThreadEnd> End = Self.EndSignal();
                    Self.Terminate();
                    End->WaitFor();
                    EndedBeforeReturn = End->Ended();
                } else {
                    Self.Free();
                    EndedBeforeReturn = true;
                }
            });
            AfterSync = Self.Terminated();
        });
        T->Destroyed = Destroyed;
        T->SetOnTerminate([&](TObject*) { Terminated = true; });
        T->SetFreeOnTerminate(FreesItself);
        std::shared_ptr<TThreadEnd> End = T->EndSignal();
        T->Start();
        End->WaitFor(); // runs the body's method meanwhile
        EXPECT_EQ(Gone.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        EXPECT_TRUE(AfterSync);
        EXPECT_TRUE(Terminated);
        EXPECT_TRUE(EndedBeforeReturn);
    }
}
