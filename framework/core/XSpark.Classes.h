// The observable component: a component that others subscribe to. It owns
// an observable whose container is the component and answers every
// IXObservable operation through it, so skins, settings components and the
// like are observed as any other observable is:
//
//     Skin->Subscribe(TXActionAspect::StaticClass(), Handler);
//     Skin->PostNotification(NewNotification(New<TXActionAspect>(1), Skin).Get());
//
// Sending and posting go through the owner's engine when the owner is one,
// else through the application engine.
#pragma once
#include "rtl/Component.h"
#include "core/XCore.Engine.Observers.h"

class TXObservableComponent : public TXComponent, public virtual IXObservable {
    X_CLASS(TXObservableComponent, TXComponent)
    X_INTERFACES(TXObservableComponent, IXObservable)
    X_NOT_COUNTED
public:
    using inherited::Create;
    // The observable exists before the component joins its owner, so the
    // owner may subscribe when it is told of the insertion.
    void Create(TComponent* AOwner) override;
    // After the owned components are gone (they may unsubscribe on the way
    // out), the observable goes: its queued posts are dropped and the
    // keepers' callbacks get this component.
    void BeforeDestruction() override;

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
    TObject* GetObservableContainer() override;

    // Null only once the component is being torn down.
    TXContainedObservable* Observable() const { return FObservable.get(); }

private:
    // The observable for a new subscription; raises once it is gone, so a
    // late subscription is not silently lost.
    TXContainedObservable* Live();

    TOwnedPtr<TXContainedObservable> FObservable;
};
