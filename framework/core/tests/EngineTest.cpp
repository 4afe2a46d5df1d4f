#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.Engine.h"
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using XCore::Engine::TXEngine;
using XCore::Engine::TXGear;

namespace {

class TSeqAspect : public TXCustomAspect {
    X_CLASS(TSeqAspect, TXCustomAspect)
public:
    static inline std::atomic<int> Freed { 0 };
    using inherited::Create;
    virtual void Create(Integer ASource, Integer ASeq)
    {
        Source = ASource;
        Seq = ASeq;
        inherited::Create();
    }
    ~TSeqAspect() override { ++Freed; }
    Integer Source = 0;
    Integer Seq = 0;
};

class TRunCountCommand : public TXManagedObject, public IXCommand {
    X_CLASS(TRunCountCommand, TXManagedObject)
    X_INTERFACES(TRunCountCommand, IXCommand)
public:
    using inherited::Create;
    virtual void Create(bool ACan, int* ARuns)
    {
        Can = ACan;
        Runs = ARuns;
        CreateManaged(2);
    }
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override { return TXManagedObject::QueryInterface(IID, Obj); }
    Integer _AddRef() override { return TXManagedObject::_AddRef(); }
    Integer _Release() override { return TXManagedObject::_Release(); }
    bool CanExecute() override { return Can; }
    Integer GetResult() override { return 0; }
    void Execute() override { ++*Runs; }
    void Reserved() override { }

    bool Can = false;
    int* Runs = nullptr;
};

class TStartGear : public TXGear {
    X_CLASS(TStartGear, TXGear)
public:
    std::vector<String>* Log = nullptr;
    void Start() override { Log->push_back(GetName() + u" start"); }
    void Stop() override { Log->push_back(GetName() + u" stop"); }
};

struct TDelivery {
    Integer Source, Seq;
    TThreadID Thread;
};

class TSink : public TObject {
public:
    std::vector<TDelivery> Got;
    std::function<void(TSeqAspect*)> Action;
    void On(IXNotification* N)
    {
        auto* A = static_cast<TSeqAspect*>(N->GetAspect());
        Got.push_back({ A->Source, A->Seq, GetCurrentThreadId() });
        if (Action)
            Action(A);
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TSink::On>(this); }
    std::vector<Integer> Seqs() const
    {
        std::vector<Integer> R;
        for (auto& D : Got)
            R.push_back(D.Seq);
        return R;
    }
};

IPtr<IXNotification> Seq(Integer Source, Integer N)
{
    return NewNotification(New<TSeqAspect>(Source, N));
}

class Engines : public testing::Test {
protected:
    void SetUp() override
    {
        Drop();
        Engine.reset(New<TXEngine>(u"main"));
        Obs.reset(New<TXObservable>(Host()));
        Obs->Subscribe(TSeqAspect::StaticClass(), Sink.Handler());
    }
    void TearDown() override
    {
        Obs.reset();
        Engine.reset();
        Drop();
    }

    IPtr<IInterface> Host() { return IPtr<IInterface>(static_cast<IXEngine*>(Engine.get())); }

    static void Drop()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE)) { }
    }
    static void Pump()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE) && Msg.message != WM_QUIT)
            DispatchMessage(&Msg);
    }
    // Messages of the engine's kind still waiting in this thread's queue.
    bool QueueMessageWaiting()
    {
        MSG Msg;
        return PeekMessage(&Msg, Engine->GetHandle(), XM_ENGINEQUEUE, XM_ENGINEQUEUE, PM_NOREMOVE) &&
            Msg.message == XM_ENGINEQUEUE;
    }

    TManualClock Clock;
    TOwnedPtr<TXEngine> Engine;
    TOwnedPtr<TXObservable> Obs;
    TSink Sink;
};

}

X_REGISTER_CLASS(TSeqAspect)
X_REGISTER_CLASS(TRunCountCommand)
X_REGISTER_CLASS(TStartGear)

TEST_F(Engines, PostsFromWorkersAreDeliveredInOrderOnTheMainThread)
{
    constexpr int Workers = 4, Each = 2000;
    std::atomic<int> Running { Workers };
    std::vector<std::thread> Threads;
    for (int W = 0; W < Workers; ++W)
        Threads.emplace_back([&, W] {
            for (int I = 0; I < Each; ++I)
                Obs->PostNotification(Seq(W, I).Get());
            --Running;
        });
    // Drain while the workers still post.
    while (Running > 0 || QueueMessageWaiting())
        Pump();
    for (auto& T : Threads)
        T.join();
    Pump();

    ASSERT_EQ(Sink.Got.size(), size_t(Workers * Each));
    std::vector<int> Next(Workers, 0);
    for (const TDelivery& D : Sink.Got) {
        EXPECT_EQ(D.Thread, GetCurrentThreadId());
        ASSERT_EQ(D.Seq, Next[D.Source]++) << "worker " << D.Source;
    }
    EXPECT_EQ(Engine->Queue()->Count(), 0);
}

TEST_F(Engines, ABurstOfPostsIsDeliveredByOneDrainAfterTheLoopRuns)
{
    for (int I = 0; I < 10; ++I)
        Obs->PostNotification(Seq(0, I).Get());
    EXPECT_TRUE(Sink.Got.empty());

    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(Msg.message, XM_ENGINEQUEUE);
    DispatchMessage(&Msg);
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    // The nine further queue messages went with that one dispatch.
    EXPECT_FALSE(PeekMessage(&Msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Engines, AQuitMetWhileRemovingQueueMessagesIsPostedAgain)
{
    Obs->PostNotification(Seq(0, 0).Get());
    Obs->PostNotification(Seq(0, 1).Get());
    PostQuitMessage(7);
    Obs->PostNotification(Seq(0, 2).Get());

    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    ASSERT_EQ(Msg.message, XM_ENGINEQUEUE);
    DispatchMessage(&Msg);
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 0, 1, 2 }));
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(Msg.message, WM_QUIT);
    EXPECT_EQ(Msg.wParam, 7u);
}

TEST_F(Engines, SendDeliversWhatWaitsFirstThenReturns)
{
    Obs->PostNotification(Seq(0, 1).Get());
    Obs->PostNotification(Seq(0, 2).Get());
    Obs->SendNotification(Seq(0, 3).Get());
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 1, 2, 3 }));
    Pump();
    EXPECT_EQ(Sink.Got.size(), 3u);
}

TEST_F(Engines, HandlersThatPostAreServedByTheSameDrain)
{
    Sink.Action = [&](TSeqAspect* A) {
        if (A->Seq < 3)
            Obs->PostNotification(Seq(0, A->Seq + 1).Get());
    };
    Obs->PostNotification(Seq(0, 0).Get());
    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessage(&Msg);
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 0, 1, 2, 3 }));
}

TEST_F(Engines, AnObservableFreedByItsOwnDeliveryStopsThere)
{
    struct TCase {
        const char* Name;
        bool Posted; // else sent; posted with a second message behind the first
        bool Counted; // freed by releasing its last reference, else by Free
    };
    const TCase Cases[] = {
        { "sent", false, false },
        { "posted", true, false },
        { "sent, counted", false, true },
        { "posted, counted", true, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Obs.reset();
        IPtr<IXObservable> Counted;
        TXObservable* Target = C.Counted ? NewManagedObservable<TXObservable>(2, Host()) : New<TXObservable>(Host());
        if (C.Counted)
            Counted = IPtr<IXObservable>(static_cast<IXObservable*>(Target));
        else
            Obs.reset(Target);
        Target->Subscribe(TSeqAspect::StaticClass(), Sink.Handler());
        Sink.Got.clear();
        Sink.Action = [&](TSeqAspect*) {
            Obs.reset();
            Counted.Reset();
        };
        if (C.Posted) {
            Target->PostNotification(Seq(0, 1).Get());
            Target->PostNotification(Seq(0, 2).Get());
            Pump();
        } else
            Target->SendNotification(Seq(0, 1).Get());
        EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 1 }));
        EXPECT_EQ(Engine->Queue()->Count(), 0);
        Sink.Action = nullptr;
    }
}

TEST_F(Engines, AStackNotificationRecordIsRefusedByTheQueue)
{
    for (bool Posted : { true, false }) {
        SCOPED_TRACE(Posted ? "posted" : "sent");
        {
            TOwnedPtr<TSeqAspect> Aspect(New<TSeqAspect>(0, 1));
            TXNotificationRec Rec;
            IXNotification* N = Rec.Init(u"", nullptr, Aspect.get());
            if (Posted)
                EXPECT_THROW(Obs->PostNotification(N), EInvalidOperation);
            else
                EXPECT_THROW(Obs->SendNotification(N), EInvalidOperation);
        }
        EXPECT_EQ(Engine->Queue()->Count(), 0);
        Pump(); // nothing left that points into the ended frame
        EXPECT_TRUE(Sink.Got.empty());
    }
    Obs->PostNotification(Seq(0, 2).Get());
    Pump();
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 2 }));
}

TEST_F(Engines, PurgeDropsOneTargetAndKeepsTheOrderOfTheRest)
{
    TSink Other;
    TOwnedPtr<TXObservable> Obs2(New<TXObservable>(Host()));
    Obs2->Subscribe(TSeqAspect::StaticClass(), Other.Handler());
    TSeqAspect::Freed = 0;
    for (int I = 0; I < 6; ++I)
        (I % 2 ? Obs2 : Obs)->PostNotification(Seq(0, I).Get());
    Engine->PurgeMessages(Obs.get());
    EXPECT_EQ(TSeqAspect::Freed, 3);
    Pump();
    EXPECT_TRUE(Sink.Got.empty());
    EXPECT_EQ(Other.Seqs(), (std::vector<Integer> { 1, 3, 5 }));
}

TEST_F(Engines, APurgeDuringADrainReachesWhatTheDrainHasTakenAlready)
{
    // The drain takes the whole backlog at once; a handler that frees the
    // other observable (which purges it) still stops its later messages,
    // and the order of the rest holds.
    TSink Other;
    TOwnedPtr<TXObservable> Obs2(New<TXObservable>(Host()));
    Obs2->Subscribe(TSeqAspect::StaticClass(), Other.Handler());
    for (int I = 0; I < 8; ++I)
        (I % 2 ? Obs2 : Obs)->PostNotification(Seq(0, I).Get());
    Sink.Action = [&](TSeqAspect* A) {
        if (A->Seq == 2)
            Obs2.reset();
    };
    Pump();
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 0, 2, 4, 6 }));
    EXPECT_EQ(Other.Seqs(), (std::vector<Integer> { 1 }));
    EXPECT_EQ(Engine->Queue()->Count(), 0);
}

TEST_F(Engines, AnObservableLeavesTheQueueWhenItIsDestroyed)
{
    Obs->PostNotification(Seq(0, 0).Get());
    Obs.reset();
    Pump(); // would deliver to the freed observable
    EXPECT_TRUE(Sink.Got.empty());
    EXPECT_EQ(Engine->Queue()->Count(), 0);
}

TEST_F(Engines, CommandsRunInGearsAndOtherTargetsDropMessages)
{
    TOwnedPtr<TXGear> Gear(New<TXGear>(Host(), u"worker"));
    int Runs = 0;
    Gear->PostGearMessage(NewIntf<IXCommand, TRunCountCommand>(true, &Runs).Get());
    Gear->PostGearMessage(NewIntf<IXCommand, TRunCountCommand>(false, &Runs).Get());
    EXPECT_EQ(Runs, 0);
    Pump();
    EXPECT_EQ(Runs, 1);
    Gear->SendGearMessage(NewIntf<IXCommand, TRunCountCommand>(true, &Runs).Get());
    EXPECT_EQ(Runs, 2);

    // A notification to a plain object, and a command to an observable
    // that is no gear: dropped without error, and released.
    TObject Plain;
    TSeqAspect::Freed = 0;
    Engine->PostMessage(&Plain, Seq(0, 0).Get());
    Engine->PostMessage(Obs.get(), NewIntf<IXCommand, TRunCountCommand>(true, &Runs).Get());
    Pump();
    EXPECT_EQ(Runs, 2);
    EXPECT_EQ(TSeqAspect::Freed, 1);
    EXPECT_TRUE(Sink.Got.empty());
}

TEST_F(Engines, AnEngineIsItsOwnHost)
{
    TSink Own;
    Engine->Subscribe(TSeqAspect::StaticClass(), Own.Handler());
    Engine->PostNotification(Seq(0, 1).Get());
    EXPECT_TRUE(Own.Got.empty());
    Pump();
    EXPECT_EQ(Own.Seqs(), (std::vector<Integer> { 1 }));
    Engine->SendNotification(Seq(0, 2).Get());
    EXPECT_EQ(Own.Seqs(), (std::vector<Integer> { 1, 2 }));
}

// An observable may outlast its host engine (a control freed after the
// application's engine at a program's end): it then touches nothing of the
// engine, and what it sends or posts is broadcast at once.
TEST_F(Engines, AnObservableOutlivingItsHostEngineNoLongerReachesIt)
{
    Obs->PostNotification(Seq(0, 1).Get());
    Engine.reset();
    EXPECT_TRUE(Sink.Got.empty());
    Obs->PostNotification(Seq(0, 2).Get());
    Obs->SendNotification(Seq(0, 3).Get());
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 2, 3 }));
    Obs->SetHost(nullptr);
    Obs.reset();
}

TEST_F(Engines, DestroyingTheEngineReleasesQueuedMessagesUndelivered)
{
    Obs.reset();
    TSink Own;
    Engine->Subscribe(TSeqAspect::StaticClass(), Own.Handler());
    TSeqAspect::Freed = 0;
    for (int I = 0; I < 3; ++I)
        Engine->PostNotification(Seq(0, I).Get());
    Engine.reset();
    EXPECT_EQ(TSeqAspect::Freed, 3);
    Pump(); // the window is gone with its queue message
    EXPECT_TRUE(Own.Got.empty());
}

TEST_F(Engines, AHandlerThatRaisesLeavesTheRestForTheNextTurn)
{
    Sink.Action = [](TSeqAspect* A) {
        if (A->Seq == 0)
            throw EAbort(u"failed");
    };
    for (int I = 0; I < 3; ++I)
        Obs->PostNotification(Seq(0, I).Get());
    MSG Msg;
    ASSERT_TRUE(PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_THROW(DispatchMessage(&Msg), EAbort);
    Pump();
    EXPECT_EQ(Sink.Seqs(), (std::vector<Integer> { 0, 1, 2 }));
}

TEST_F(Engines, GearsAreFoundByNameAndStartedInOrder)
{
    std::vector<String> Log;
    TOwnedPtr<TStartGear> A(New<TStartGear>(Host(), u"a")), B(New<TStartGear>(Host(), u"b"));
    A->Log = B->Log = &Log;
    Engine->GetGears()->Add(IPtr<IXGear>(static_cast<IXGear*>(A.get())));
    Engine->GetGears()->Add(IPtr<IXGear>(static_cast<IXGear*>(B.get())));
    Engine->Start();
    Engine->Stop();
    EXPECT_EQ(Log, (std::vector<String> { u"a start", u"b start", u"a stop", u"b stop" }));
    EXPECT_EQ(InterfaceToObject(Engine->FindGear(u"b").Get()), B.get());
    EXPECT_FALSE(Engine->FindGear(u"B"));
    EXPECT_FALSE(Engine->FindGearInterface(u"a"));
    EXPECT_FALSE(Engine->FindGearInterface(u"none"));
    Engine->GetGears()->Clear();
}

TEST(EngineWithoutWindow, RefusesToPostInsteadOfLosingTheMessage)
{
    TOwnedPtr<TXCustomEngine> Engine(New<TXCustomEngine>());
    TSeqAspect::Freed = 0;
    EXPECT_THROW(Engine->PostNotification(Seq(0, 0).Get()), EInvalidOperation);
    EXPECT_EQ(TSeqAspect::Freed, 1);
    EXPECT_EQ(Engine->Queue()->Count(), 0);
}
