// Observables: lists of subscriptions (aspect class, optional topic,
// handler) that broadcast notifications to the matching handlers.
//
// A subscription for a class receives notifications of that class and of
// its descendants; TObject receives everything. A topic narrows only what
// descendants deliver: a notification of exactly the subscribed class
// arrives whatever its topic. Broadcasting holds the list's monitor for the
// whole call; handlers may subscribe, unsubscribe and broadcast again on
// the same list from the same thread (removals are deferred, additions wait
// for the next broadcast). A handler may free the observable itself: the
// broadcast then delivers nothing more and the list goes when it ends.
//
// With a host engine, SendNotification and PostNotification go through the
// engine's queue; without one they broadcast at once.
#pragma once
#include <memory>
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.Lite.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Engine.Interfaces.h"

struct TXObserverData {
    TClass AspectClass = nullptr;
    Word Reserved = 0;
    TXNotificationHandler Handler;
    IXObserverKeeper* Keeper = nullptr; // not counted
    String Topic;
};

// Written into the class of an entry removed during a broadcast; nothing
// inherits from it, so the entry never matches again.
class TXDeletedObserverAspect : public TObject {
    X_CLASS(TXDeletedObserverAspect, TObject)
};

using TXObserverDataLiteList = TXLiteList<TXObserverData>;

// The subscriptions of one observable, in the order they were made. Every
// operation holds the list's monitor.
class TXObserverDataList : public TXObserverDataLiteList {
    X_CLASS(TXObserverDataList, TXObserverDataLiteList)
public:
    using inherited::Create;
    using TXObserverDataLiteList::IndexOf;
    // Without a comparer: equality over all five fields.
    void Create(TItemComparer AComparer) override;

    // Some subscription was made for exactly Class.
    bool HasAspectClass(TClass Class);
    bool IsNotifying();
    Integer IndexOf(TClass Class, const TXNotificationHandler& Handler);
    void AddObserver(const String& Topic, TClass Class, const TXNotificationHandler& Handler);
    // The keeper the caller gets: NewKeeper for a new entry, else the
    // existing entry's keeper (null when it has none).
    IXObserverKeeper* AddKeeperObserver(const String& Topic, TClass Class, IXObserverKeeper* NewKeeper,
        const TXNotificationHandler& Handler);
    void RemoveObserver(TClass Class, const TXNotificationHandler& Handler);
    void RemoveMethod(const TXNotificationHandler& Handler);
    void RemoveComponent(TObject* Obj);
    void RemoveKeeper(IXObserverKeeper* Keeper);
    void MarkDeleted(Integer Index);
    void Compact();
    void Broadcast(IXNotification* Notification);
    // Frees the list, or, while it broadcasts (a handler freed its owner),
    // stops delivering and leaves the free to the outermost broadcast.
    void FreeWhenIdle();
    // Calls Detach on the keeper of every live entry, last entry first.
    void DetachKeepers();

    Integer BusyCount() const { return FBusyCount; }
    bool Pending() const { return FPending; }

private:
    Integer FBusyCount = 0;
    bool FPending = false;
    bool FFreeWhenIdle = false;

    void Deliver(IXNotification* Notification);

    template<class F>
    void RemoveWhere(F Matches);
    void RemoveAt(Integer Index);
};

// The token of a keeper subscription.
class TXObserverKeeper : public TInterfacedObject, public IXObserverKeeper {
    X_CLASS(TXObserverKeeper, TInterfacedObject)
public:
    using inherited::Create;
    virtual void Create(IXObservable* AObservable, const TXKeeperCallback& ACallback);
    ~TXObserverKeeper() override;

    X_FORWARD_IINTERFACE(TInterfacedObject)

    // The observable goes away: the callback gets its container, and the
    // keeper's release later ends nothing.
    void Detach() override;
    // The subscription ended some other way; no callback.
    void Forget() { FObservable = nullptr; }
    IXObservable* Observable() const { return FObservable; }

private:
    IXObservable* FObservable = nullptr; // not counted
    TXKeeperCallback FCallback;
};

class TXObservable : public TXManagedObject, public virtual IXObservable {
    X_CLASS(TXObservable, TXManagedObject)
    X_INTERFACES(TXObservable, IXObservable)
public:
    // Counting off: the owner frees the observable.
    void Create() override { Create(nullptr); }
    virtual void Create(IPtr<IInterface> AHost);
    virtual void CreateManaged(Byte CountMode, IPtr<IInterface> AHost);
    void Init() override;
    // Leaves the host (purging what is queued for this observable there),
    // then detaches the keepers.
    void BeforeDestruction() override;
    ~TXObservable() override;

    X_FORWARD_IINTERFACE(TXManagedObject)

    void SubscribeTopic(const String& Topic, TClass AspectClass, const TXNotificationHandler& Handler) override;
    void Subscribe(TClass AspectClass, const TXNotificationHandler& Handler) override;
    void SubscribeAll(const TXNotificationHandler& Handler) override;
    void SubscribeTopicKeeper(const String& Topic, TClass AspectClass, IPtr<IXObserverKeeper>& Keeper,
        const TXKeeperCallback& Callback, const TXNotificationHandler& Handler) override;
    void SubscribeKeeper(TClass AspectClass, IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) override;
    void SubscribeAllKeeper(IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) override;
    void Unsubscribe(TClass AspectClass, const TXNotificationHandler& Handler) override;
    void UnsubscribeMethod(const TXNotificationHandler& Handler) override;
    void UnsubscribeComponent(TObject* Component) override;
    void UnsubscribeObject(IInterface* Intf) override;
    void UnsubscribeKeeper(IXObserverKeeper* Keeper) override;
    void Broadcast(IXNotification* Notification) override;
    void SendNotification(IXNotification* Notification) override;
    void PostNotification(IXNotification* Notification) override;
    TObject* GetObservableContainer() override { return GetContainer(); }

    virtual void SetHost(IPtr<IInterface> NewHost);
    virtual TObject* GetContainer() { return nullptr; }
    // Null when the observable broadcasts itself.
    IInterface* GetHost() const { return FHost.Get(); }
    TXObserverDataList* Observers() const { return FList; }

protected:
    // The host as an engine, or null (also once that engine has ended).
    IXEngine* HostEngine() const { return HostEnded() ? nullptr : FHostEngine.Get(); }
    // Called by an observable that hosts others (an engine): from then on
    // they see its end and no longer reach into it.
    void TellEnd() { FLife = std::make_shared<int>(0); }

private:
    // Whether the host was an observable that tells its end, and ended.
    bool HostEnded() const { return FHostWatched && FHostLife.expired(); }
    void WatchHost();

    IPtr<IInterface> FHost;
    IPtr<IXEngine> FHostEngine;
    TXObserverDataList* FList = nullptr;
    std::shared_ptr<const void> FLife; // only while it tells its end
    std::weak_ptr<const void> FHostLife;
    bool FHostWatched = false;
};

// An observable inside a component, which is its container.
class TXContainedObservable : public TXObservable {
    X_CLASS(TXContainedObservable, TXObservable)
public:
    using inherited::Create;
    using inherited::CreateManaged;
    virtual void Create(IPtr<IInterface> AHost, TObject* AOwner);
    virtual void CreateManaged(Byte CountMode, IPtr<IInterface> AHost, TObject* AOwner);
    TObject* GetContainer() override { return FOwner; }
    TObject* Owner() const { return FOwner; }

private:
    TObject* FOwner = nullptr;
};

// The same for an owner of type T.
template<class T>
class TXContainedObservableOf : public TXContainedObservable {
    X_CLASS_TEMPLATE(TXContainedObservableOf, TXContainedObservable, u"TXContainedObservable<T>")
public:
    using inherited::Create;
    using inherited::CreateManaged;
    virtual void Create(IPtr<IInterface> AHost, T* AOwner)
    {
        inherited::Create(std::move(AHost), static_cast<TObject*>(AOwner));
    }
    T* Owner() const { return static_cast<T*>(inherited::Owner()); }
};

// Builds T through its CreateManaged(CountMode, Args...).
template<class T, class... A>
T* NewManagedObservable(Byte CountMode, A&&... Args)
{
    T* Obj = new T();
    try {
        Obj->CreateManaged(CountMode, std::forward<A>(Args)...);
    } catch (...) { // free the half-made object, pass the failure on
        delete Obj;
        throw;
    }
    Obj->AfterConstruction();
    return Obj;
}

void SubscribeActionAspect(IXObservable* Observable, const TXNotificationHandler& Handler);
void SubscribeActionAspectOnTopic(IXObservable* Observable, const String& Topic, const TXNotificationHandler& Handler);
