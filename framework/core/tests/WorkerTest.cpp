#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.Engine.Worker.h"
#include "core/XCore.Engine.h"
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using XCore::Engine::TXEngine;

namespace {

// Records every notification in arrival order.
class TLog : public TObject {
public:
    struct TEntry {
        TClass Aspect;
        TObject* Sender;
        TThreadID Thread;
    };
    std::vector<TEntry> Got;
    std::vector<String> Names;
    std::vector<TXErrorData> Errors;
    void On(IXNotification* N)
    {
        Got.push_back({ N->GetAspect()->ClassType(), N->GetSender(), GetCurrentThreadId() });
        if (auto* Op = DynamicCast<TXOperationTerminatedAspect>(N->GetAspect())) {
            Names.push_back(Op->Name);
            Errors.push_back(Op->ErrorData);
        }
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TLog::On>(this); }
    std::vector<TClass> Classes() const
    {
        std::vector<TClass> R;
        for (auto& E : Got)
            R.push_back(E.Aspect);
        return R;
    }
};

class TPing : public TXCustomAspect {
    X_CLASS(TPing, TXCustomAspect)
};

// A progress that only notifies, for the forwarding of its notifications.
class TLoudProgress : public TXEmptyProgress {
    X_CLASS(TLoudProgress, TXEmptyProgress)
public:
    void StepIt() override { Broadcast(NewNotification(New<TPing>()).Get()); }
};

// Marks where DoTerminated runs among the notifications.
class TTestWorker : public TXCustomWorker {
    X_CLASS(TTestWorker, TXCustomWorker)
public:
    void Init() override
    {
        inherited::Init();
        Loud = MakeOwned<TLoudProgress>();
        FProgress = IPtr<IXProgress>(static_cast<IXProgress*>(Loud.get()));
    }
    void BeforeDestruction() override
    {
        inherited::BeforeDestruction();
        FProgress = nullptr;
    }
    TLog* Log = nullptr;
    Integer DoneCalls = 0;
    // Frees after the worker's own BeforeDestruction unsubscribed.
    TOwnedPtr<TLoudProgress> Loud;

protected:
    void DoTerminated() override
    {
        ++DoneCalls;
        if (Log)
            Log->Got.push_back({ nullptr, nullptr, 0 });
    }
};

class Workers : public testing::Test {
protected:
    void SetUp() override
    {
        Worker.reset(New<TTestWorker>(IPtr<IInterface>()));
        Worker->Log = &Log;
        Worker->SetName(u"scan");
        Worker->SubscribeAll(Log.Handler());
    }
    TLog Log;
    TOwnedPtr<TTestWorker> Worker;
};

}

X_REGISTER_CLASS(TPing)
X_REGISTER_CLASS(TLoudProgress)
X_REGISTER_CLASS(TTestWorker)

TEST_F(Workers, TerminateRunsDoTerminatedThenBroadcastsOperationAndTaskEndOnce)
{
    Worker->Terminate(TXErrorData::Create(44, 5, u"file"));
    Worker->Terminate(TXErrorData::Create(45, 0, u"other"));

    EXPECT_EQ(Log.Classes(),
        (std::vector<TClass> { nullptr, TXOperationTerminatedAspect::StaticClass(),
            TXTaskTerminatedAspect::StaticClass() }));
    EXPECT_EQ(Log.Got[1].Sender, Worker.get());
    EXPECT_EQ(Log.Got[2].Sender, Worker.get());
    ASSERT_EQ(Log.Names, std::vector<String> { u"scan" });
    EXPECT_EQ(Log.Errors[0].Code, 44);
    EXPECT_EQ(Log.Errors[0].Text, u"file");

    TXErrorData Kept;
    Worker->GetErrorData(Kept);
    EXPECT_EQ(Kept.Code, 44);
    EXPECT_EQ(Kept.SubCode, 5);
    EXPECT_TRUE(Worker->GetTerminated());
    EXPECT_FALSE(Worker->GetCancelled());
}

TEST_F(Workers, CancelEndsWithCodeOneAndOnlyTheTaskNotificationEvenTwice)
{
    Worker->Terminate(TXErrorData::Create(0, 0, {}));
    Log.Got.clear();
    Worker->Cancel();
    Worker->Cancel();

    EXPECT_EQ(Log.Classes(),
        (std::vector<TClass> { nullptr, TXTaskTerminatedAspect::StaticClass(), nullptr,
            TXTaskTerminatedAspect::StaticClass() }));
    EXPECT_TRUE(Worker->GetCancelled());
    TXErrorData Data;
    Worker->GetErrorData(Data);
    EXPECT_EQ(Data.Code, 1);
    EXPECT_EQ(Data.SubCode, 0);
    EXPECT_TRUE(Data.Text.empty());
}

TEST_F(Workers, TerminateWithCodeOneCountsAsCancelledAndResetMakesTheWorkerIdle)
{
    Worker->Terminate(TXErrorData::Create(1, 0, {}));
    EXPECT_TRUE(Worker->GetCancelled());

    Worker->Reset();
    EXPECT_FALSE(Worker->GetTerminated());
    EXPECT_FALSE(Worker->GetCancelled());
    TXErrorData Data;
    Worker->GetErrorData(Data);
    EXPECT_EQ(Data.Code, 0);

    // Idle again: the next end is announced.
    Log.Got.clear();
    Worker->Terminate(TXErrorData::Create(0, 0, {}));
    EXPECT_EQ(Log.Got.size(), 3u);
}

TEST_F(Workers, WithoutAHostProgressIsForwardedAtOnce)
{
    Worker->GetProgress()->StepIt();
    EXPECT_EQ(Log.Classes(), std::vector<TClass> { TPing::StaticClass() });
}

TEST(WorkerProgress, WithAHostProgressFromAThreadArrivesOnTheEnginesThreadWhenPumped)
{
    TManualClock Clock;
    TOwnedPtr<TXEngine> Engine(New<TXEngine>(u"main"));
    TLog Log;
    TOwnedPtr<TTestWorker> Worker(New<TTestWorker>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get()))));
    Worker->Subscribe(TPing::StaticClass(), Log.Handler());

    std::thread T([&] { Worker->GetProgress()->StepIt(); });
    T.join();
    EXPECT_TRUE(Log.Got.empty());

    MSG Msg;
    while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&Msg);
    ASSERT_EQ(Log.Got.size(), 1u);
    EXPECT_EQ(Log.Got[0].Thread, GetCurrentThreadId());
    Worker.reset();
}

TEST(WorkerProgress, ThePlainWorkerReportsToTheSharedEmptyProgress)
{
    TOwnedPtr<TXCustomWorker> Worker(New<TXCustomWorker>(IPtr<IInterface>()));
    IPtr<IXProgress> P = Worker->GetProgress();
    ASSERT_TRUE(P);
    EXPECT_EQ(InterfaceToObject(P.Get()), EmptyProgress());
    P->SetPerMille(500);
    EXPECT_EQ(P->GetPosition(), 0);
}
