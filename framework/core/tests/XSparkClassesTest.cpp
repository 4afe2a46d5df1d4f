#include "win/Time.h"
#include "win/WinApi.h"
#include "core/XCore.App.h"
#include "core/XSpark.Classes.h"
#include <gtest/gtest.h>
#include <vector>

using XCore::Engine::TXEngine;

namespace {

class TActionLog : public TObject {
public:
    std::vector<Integer> Got;
    void On(IXNotification* N) { Got.push_back(static_cast<TXActionAspect*>(N->GetAspect())->ActionID); }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TActionLog::On>(this); }
};

IPtr<IXNotification> Action(Integer Id)
{
    return NewNotification(New<TXActionAspect>(Id));
}

// An owner that is an engine as far as queries go, the way a form answers
// for the engine it carries. It subscribes to each observable component it
// is given, as soon as it is told of it.
class TEngineOwner : public TComponent {
    X_CLASS(TEngineOwner, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        FEngine = New<TXEngine>(u"owner");
        inherited::Create(AOwner);
    }
    ~TEngineOwner() override { FreeAndNil(FEngine); }
    bool GetInterface(const TGUID& IID, void** Obj) override
    {
        if (IID == IXEngine::IID)
            return FEngine->GetInterface(IID, Obj);
        return inherited::GetInterface(IID, Obj);
    }
    TXEngine* Engine() const { return FEngine; }
    TActionLog Log;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        inherited::Notification(AComponent, Operation);
        if (auto* C = DynamicCast<TXObservableComponent>(AComponent)) {
            if (Operation == opInsert)
                C->Subscribe(TXActionAspect::StaticClass(), Log.Handler());
            else
                C->UnsubscribeComponent(&Log);
        }
    }

private:
    TXEngine* FEngine = nullptr;
};

// A component that holds a keeper on its owner's observable and ends that
// subscription itself when it goes.
class TKeeperChild : public TComponent {
    X_CLASS(TKeeperChild, TComponent)
public:
    void Create(TComponent* AOwner) override
    {
        inherited::Create(AOwner);
        static_cast<TXObservableComponent*>(AOwner)->SubscribeAllKeeper(
            Keeper, [](TObject*) { ++Detached; }, Log.Handler());
    }
    ~TKeeperChild() override { Keeper = nullptr; }
    IPtr<IXObserverKeeper> Keeper;
    TActionLog Log;
    static inline int Detached = 0;
};

class ObservableComponent : public testing::Test {
protected:
    void SetUp() override { Pump(); }
    void TearDown() override { Pump(); }
    static void Pump()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE) && Msg.message != WM_QUIT)
            DispatchMessage(&Msg);
    }
    static TObject* HostOf(TXObservableComponent* C) { return InterfaceToObject(C->Observable()->GetHost()); }

    TManualClock Clock;
    TActionLog Log;
};

}

X_REGISTER_CLASS(TEngineOwner)
X_REGISTER_CLASS(TKeeperChild)

TEST_F(ObservableComponent, WithoutAnEngineOwnerTheApplicationEngineCarriesItsPosts)
{
    TOwnedPtr<TComponent> PlainOwner(New<TComponent>(nullptr));
    for (TComponent* Owner : { static_cast<TComponent*>(nullptr), PlainOwner.get() }) {
        TOwnedPtr<TXObservableComponent> Comp(New<TXObservableComponent>(Owner));
        ASSERT_NE(GetAppEngine(), nullptr);
        EXPECT_EQ(HostOf(Comp.get()), GetAppEngine());

        // Subscribed through the interface the component answers.
        IPtr<IXObservable> Obs = Supports<IXObservable>(Comp.get());
        ASSERT_TRUE(Obs);
        EXPECT_EQ(Obs->GetObservableContainer(), Comp.get());
        EXPECT_EQ(Comp->Observable()->GetContainer(), Comp.get());
        Obs->Subscribe(TXActionAspect::StaticClass(), Log.Handler());

        Comp->Broadcast(Action(1).Get());
        Comp->SendNotification(Action(2).Get());
        Comp->PostNotification(Action(3).Get());
        EXPECT_EQ(Log.Got, (std::vector<Integer> { 1, 2 }));
        Pump();
        EXPECT_EQ(Log.Got, (std::vector<Integer> { 1, 2, 3 }));

        Obs->UnsubscribeComponent(&Log);
        Comp->Broadcast(Action(4).Get());
        EXPECT_EQ(Log.Got.size(), 3u);
        Log.Got.clear();
    }
}

TEST_F(ObservableComponent, AnOwnerThatIsAnEngineHostsItAndMaySubscribeOnInsertion)
{
    TOwnedPtr<TEngineOwner> Owner(New<TEngineOwner>(nullptr));
    TXObservableComponent* Comp = New<TXObservableComponent>(Owner.get());
    EXPECT_EQ(HostOf(Comp), Owner->Engine());

    Comp->PostNotification(Action(5).Get());
    EXPECT_EQ(Owner->Engine()->Queue()->Count(), 1);
    EXPECT_EQ(GetAppEngine()->Queue()->Count(), 0);
    EXPECT_TRUE(Owner->Log.Got.empty());
    Pump();
    EXPECT_EQ(Owner->Log.Got, std::vector<Integer> { 5 });
    Comp->Free();
}

TEST_F(ObservableComponent, FreeingWithLiveSubscriptionsDropsPostsAndDetachesKeepers)
{
    TXObservableComponent* Comp = New<TXObservableComponent>(nullptr);
    Comp->Subscribe(TXActionAspect::StaticClass(), Log.Handler());
    std::vector<TObject*> Containers;
    IPtr<IXObserverKeeper> Keeper;
    TActionLog KeptLog;
    Comp->SubscribeKeeper(
        TXActionAspect::StaticClass(), Keeper, [&](TObject* Container) { Containers.push_back(Container); },
        KeptLog.Handler());
    TKeeperChild::Detached = 0;
    auto* Child = New<TKeeperChild>(Comp);

    Comp->Broadcast(Action(6).Get());
    EXPECT_EQ(Child->Log.Got, std::vector<Integer> { 6 });
    Comp->PostNotification(Action(7).Get());
    TObject* Gone = Comp;
    Comp->Free();

    // The owned child ended its own subscription before the observable went.
    EXPECT_EQ(TKeeperChild::Detached, 0);
    EXPECT_EQ(Containers, std::vector<TObject*> { Gone });
    Keeper = nullptr; // ends nothing now
    Pump();
    EXPECT_EQ(Log.Got, std::vector<Integer> { 6 });
    EXPECT_EQ(KeptLog.Got, std::vector<Integer> { 6 });
    EXPECT_EQ(Containers.size(), 1u);
}
