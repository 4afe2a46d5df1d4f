#include "core/XCore.Engine.Observers.h"
#include "core/XCore.Factory.h"
#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

// A subscriber that logs what reaches it and may act inside the callback.
class TRecorder : public TObject {
public:
    explicit TRecorder(std::vector<String>* ALog, String ATag)
        : Log(ALog)
        , Tag(std::move(ATag))
    { }
    std::vector<String>* Log;
    String Tag;
    std::function<void(IXNotification*)> Action;

    void On(IXNotification* N)
    {
        Log->push_back(Tag);
        if (Action)
            Action(N);
    }
    void Other(IXNotification*) { Log->push_back(Tag + u"/other"); }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TRecorder::On>(this); }
};

class Observables : public testing::Test {
protected:
    TOwnedPtr<TXObservable> Obs { New<TXObservable>() };
    std::vector<String> Log;

    void Send(TXCustomAspect* Aspect, const String& Topic = {})
    {
        Obs->Broadcast(NewNotification(Aspect, nullptr, Topic).Get());
    }
};

}

TEST_F(Observables, MatchByExactClassOrAncestorWithTopic)
{
    struct Case {
        TClass Subscribed;
        const char16_t* SubTopic;
        TClass Sent;
        const char16_t* SentTopic;
        bool Delivered;
    } Cases[] = {
        // Exactly the subscribed class: the topic is not compared.
        { TXChangedAspect::StaticClass(), u"a", TXChangedAspect::StaticClass(), u"b", true },
        { TXChangedAspect::StaticClass(), u"a", TXChangedAspect::StaticClass(), u"", true },
        // A descendant: only with an empty or the same topic.
        { TXChangedAspect::StaticClass(), u"a", TXSizeChangedAspect::StaticClass(), u"a", true },
        { TXChangedAspect::StaticClass(), u"a", TXSizeChangedAspect::StaticClass(), u"b", false },
        { TXChangedAspect::StaticClass(), u"a", TXSizeChangedAspect::StaticClass(), u"", false },
        { TXChangedAspect::StaticClass(), u"a", TXSizeChangedAspect::StaticClass(), u"A", false },
        { TXChangedAspect::StaticClass(), u"", TXSizeChangedAspect::StaticClass(), u"x", true },
        // Unrelated classes, and an ancestor sent to a descendant's subscriber.
        { TXChangedAspect::StaticClass(), u"", TXActionAspect::StaticClass(), u"", false },
        { TXSizeChangedAspect::StaticClass(), u"", TXChangedAspect::StaticClass(), u"", false },
        // TObject takes everything.
        { TObject::StaticClass(), u"", TXActionAspect::StaticClass(), u"z", true },
    };
    for (const Case& C : Cases) {
        Log.clear();
        TOwnedPtr<TXObservable> O(New<TXObservable>());
        TRecorder R(&Log, u"r");
        O->SubscribeTopic(C.SubTopic, C.Subscribed, R.Handler());
        auto* Aspect = static_cast<TXCustomAspect*>(CreateInstanceOf(C.Sent));
        O->Broadcast(NewNotification(Aspect, nullptr, C.SentTopic).Get());
        EXPECT_EQ(Log.size(), C.Delivered ? 1u : 0u)
            << StringToUTF8(C.Subscribed->Name) << "/" << StringToUTF8(C.SubTopic) << " <- "
            << StringToUTF8(C.Sent->Name) << "/" << StringToUTF8(C.SentTopic);
    }
}

TEST_F(Observables, CallsInSubscriptionOrderAndIgnoresDuplicates)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    Obs->Subscribe(TXChangedAspect::StaticClass(), B.Handler());
    Obs->SubscribeAll(A.Handler());
    // The same handler for the same class again, even with a topic: ignored.
    Obs->SubscribeTopic(u"t", TXChangedAspect::StaticClass(), B.Handler());
    EXPECT_EQ(Obs->Observers()->Count(), 2);
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"b", u"a" }));

    Obs->Unsubscribe(TXChangedAspect::StaticClass(), B.Handler());
    Log.clear();
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"a" }));
    EXPECT_TRUE(Obs->Observers()->HasAspectClass(TObject::StaticClass()));
    EXPECT_FALSE(Obs->Observers()->HasAspectClass(TXChangedAspect::StaticClass()));
}

TEST_F(Observables, RemovalByMethodAndByObject)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    Obs->Subscribe(TXChangedAspect::StaticClass(), A.Handler());
    Obs->Subscribe(TXActionAspect::StaticClass(), A.Handler());
    Obs->Subscribe(TXChangedAspect::StaticClass(), TXNotificationHandler::Of<&TRecorder::Other>(&A));
    Obs->Subscribe(TXChangedAspect::StaticClass(), B.Handler());

    Obs->UnsubscribeMethod(A.Handler());
    EXPECT_EQ(Obs->Observers()->Count(), 2);
    Obs->UnsubscribeComponent(&A);
    Obs->UnsubscribeComponent(nullptr);
    EXPECT_EQ(Obs->Observers()->Count(), 1);
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"b" }));
}

TEST_F(Observables, UnsubscribingDuringABroadcastIsDeferred)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b"), C(&Log, u"c");
    Obs->SubscribeAll(A.Handler());
    Obs->SubscribeAll(B.Handler());
    Obs->SubscribeAll(C.Handler());
    bool Nested = false;
    A.Action = [&](IXNotification* N) {
        if (Nested)
            return;
        Nested = true;
        // Removes a later subscriber, and itself, then broadcasts again.
        Obs->UnsubscribeMethod(C.Handler());
        Obs->UnsubscribeComponent(&A);
        EXPECT_EQ(Obs->Observers()->Count(), 3);
        EXPECT_TRUE(Obs->Observers()->IsNotifying());
        Obs->Broadcast(N);
        EXPECT_EQ(Obs->Observers()->Count(), 3); // only the outermost compacts
    };
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"a", u"b", u"b" }));
    EXPECT_EQ(Obs->Observers()->Count(), 1);
    EXPECT_FALSE(Obs->Observers()->Pending());
    EXPECT_FALSE(Obs->Observers()->IsNotifying());
}

TEST_F(Observables, SubscriptionsMadeDuringABroadcastWaitForTheNext)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    Obs->SubscribeAll(A.Handler());
    A.Action = [&](IXNotification*) { Obs->SubscribeAll(B.Handler()); };
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"a" }));
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"a", u"a", u"b" }));
}

TEST_F(Observables, AHandlerThatRaisesStopsTheBroadcastAndLeavesTheListUsable)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b"), C(&Log, u"c");
    Obs->SubscribeAll(A.Handler());
    Obs->SubscribeAll(B.Handler());
    Obs->SubscribeAll(C.Handler());
    B.Action = [&](IXNotification*) {
        Obs->UnsubscribeComponent(&A);
        throw EAbort(u"stop");
    };
    EXPECT_THROW(Send(New<TXChangedAspect>()), EAbort);
    EXPECT_EQ(Log, (std::vector<String> { u"a", u"b" }));
    EXPECT_FALSE(Obs->Observers()->IsNotifying());
    EXPECT_EQ(Obs->Observers()->Count(), 2);

    B.Action = nullptr;
    Log.clear();
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"b", u"c" }));
}

TEST_F(Observables, BadSubscriptionsAreRefused)
{
    TRecorder A(&Log, u"a");
    EXPECT_THROW(Obs->Subscribe(nullptr, A.Handler()), EArgumentException);
    EXPECT_THROW(Obs->SubscribeAll(TXNotificationHandler {}), EArgumentException);
    EXPECT_EQ(Obs->Observers()->Count(), 0);
    Obs->Broadcast(nullptr);
}

TEST_F(Observables, WithoutAHostSendAndPostBroadcastAtOnce)
{
    TRecorder A(&Log, u"a");
    Obs->SubscribeAll(A.Handler());
    Obs->PostNotification(NewNotification(New<TXChangedAspect>()).Get());
    Obs->SendNotification(NewNotification(New<TXChangedAspect>()).Get());
    EXPECT_EQ(Log.size(), 2u);
}

TEST_F(Observables, ReleasingTheKeeperEndsTheSubscription)
{
    TRecorder A(&Log, u"a");
    IPtr<IXObserverKeeper> Keeper;
    Obs->SubscribeKeeper(TXChangedAspect::StaticClass(), Keeper, nullptr, A.Handler());
    ASSERT_TRUE(Keeper);
    // The same class and handler again answers the first keeper.
    IPtr<IXObserverKeeper> Again;
    Obs->SubscribeKeeper(TXChangedAspect::StaticClass(), Again, nullptr, A.Handler());
    EXPECT_EQ(Again, Keeper);
    EXPECT_EQ(Obs->Observers()->Count(), 1);
    Again.Reset();
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log.size(), 1u);

    Keeper.Reset();
    EXPECT_EQ(Obs->Observers()->Count(), 0);
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log.size(), 1u);
}

TEST_F(Observables, ReleasingAKeeperInsideABroadcastStopsLaterCalls)
{
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    IPtr<IXObserverKeeper> KeepB;
    Obs->SubscribeAll(A.Handler());
    Obs->SubscribeAllKeeper(KeepB, nullptr, B.Handler());
    A.Action = [&](IXNotification*) { KeepB.Reset(); };
    Send(New<TXChangedAspect>());
    EXPECT_EQ(Log, (std::vector<String> { u"a" }));
    EXPECT_EQ(Obs->Observers()->Count(), 1);
}

TEST_F(Observables, AnObservableFreedByAHandlerOfItsOwnBroadcastStopsThere)
{
    struct TCase {
        const char* Name;
        bool Nested; // a first handler broadcasts again; the free comes inside
        std::vector<String> Expected;
    };
    const TCase Cases[] = {
        { "freed by the first broadcast", false, { u"a", u"b" } },
        { "freed inside a nested broadcast", true, { u"a", u"a", u"b" } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Obs.reset(New<TXObservable>());
        Log.clear();
        TRecorder A(&Log, u"a"), B(&Log, u"b"), After(&Log, u"after");
        IPtr<IXObserverKeeper> Keeper;
        bool Again = C.Nested;
        A.Action = [&](IXNotification* N) {
            if (std::exchange(Again, false))
                Obs->Broadcast(N);
        };
        B.Action = [&](IXNotification*) { Obs.reset(); };
        Obs->SubscribeAll(A.Handler());
        Obs->SubscribeAll(B.Handler());
        Obs->SubscribeAllKeeper(Keeper, nullptr, After.Handler());
        Send(New<TXChangedAspect>());
        EXPECT_EQ(Log, C.Expected);
        EXPECT_FALSE(Obs);
        Keeper.Reset(); // must not reach the freed observable
    }
}

TEST(ObservableKeepers, DestroyingTheObservableDetachesEachKeeperOnce)
{
    std::vector<String> Log;
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    TObject Container;
    auto* Obs = New<TXContainedObservable>(nullptr, &Container);
    std::vector<TObject*> Calls;
    auto Callback = [&](TObject* C) { Calls.push_back(C); };
    IPtr<IXObserverKeeper> KeepA, KeepB;
    Obs->SubscribeKeeper(TXChangedAspect::StaticClass(), KeepA, Callback, A.Handler());
    Obs->SubscribeTopicKeeper(u"t", TXActionAspect::StaticClass(), KeepB, Callback, B.Handler());
    Obs->Free();
    EXPECT_EQ(Calls, (std::vector<TObject*> { &Container, &Container }));
    // Released after their observable is gone: nothing happens.
    KeepA.Reset();
    KeepB.Reset();
    EXPECT_EQ(Calls.size(), 2u);
}

TEST(ObservableKeepers, AKeeperWhoseSubscriptionEndedOtherwiseForgetsTheObservable)
{
    std::vector<String> Log;
    TRecorder A(&Log, u"a");
    auto* Obs = New<TXObservable>();
    bool Called = false;
    IPtr<IXObserverKeeper> Keeper;
    Obs->SubscribeKeeper(
        TXChangedAspect::StaticClass(), Keeper, [&](TObject*) { Called = true; }, A.Handler());
    Obs->UnsubscribeMethod(A.Handler());
    auto* K = DynamicCast<TXObserverKeeper>(InterfaceToObject(Keeper.Get()));
    ASSERT_TRUE(K);
    EXPECT_EQ(K->Observable(), nullptr);
    Obs->Free();
    Keeper.Reset(); // must not reach the freed observable
    EXPECT_FALSE(Called);
}

TEST(ObservableKeepers, SubscribeActionAspectRoutines)
{
    std::vector<String> Log;
    TRecorder A(&Log, u"a"), B(&Log, u"b");
    TOwnedPtr<TXObservable> Obs(New<TXObservable>());
    SubscribeActionAspect(Obs.get(), A.Handler());
    SubscribeActionAspectOnTopic(Obs.get(), u"menu", B.Handler());
    Obs->Broadcast(NewNotification(New<TXActionAspect>(1), nullptr, u"other").Get());
    EXPECT_EQ(Log, (std::vector<String> { u"a", u"b" }));
}
