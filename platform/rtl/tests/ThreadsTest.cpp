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
    T->OnTerminate = [&](TObject* Sender) {
        EXPECT_EQ(Sender, T.get());
        TerminateThread = GetCurrentThreadId();
    };
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
    T->Free();                  // returns only once Execute has seen Terminated
    SUCCEED();
}

TEST(Threads, FreeOnTerminateFreesOnItsOwnThread)
{
    auto Destroyed = std::make_shared<std::promise<void>>();
    auto Done = Destroyed->get_future();
    TTestThread* T = MakeThread(nullptr);
    T->Destroyed = Destroyed;
    T->FreeOnTerminate = true;
    EXPECT_THROW(T->WaitFor(), EThread);
    T->Start();
    Done.wait();
}
