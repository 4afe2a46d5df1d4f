#include "core/XSpark.Classes.h"
#include "rtl/Units.h"
#include "core/XCore.App.h"

X_REGISTER_CLASS(TXObservableComponent)

X_UNIT(XSpark_Classes, "XSpark.Classes", ({ "XCore.Classes", "XCore.App" }), nullptr, nullptr)

void TXObservableComponent::Create(TComponent* AOwner)
{
    IPtr<IInterface> Host;
    if (IPtr<IXEngine> Engine = Supports<IXEngine>(AOwner))
        Host = IPtr<IInterface>(static_cast<IInterface*>(Engine.Get()));
    else
        Host = AppEngineHost();
    FObservable.reset(New<TXContainedObservable>(std::move(Host), static_cast<TObject*>(this)));
    inherited::Create(AOwner);
}

void TXObservableComponent::BeforeDestruction()
{
    inherited::BeforeDestruction();
    FObservable.reset();
}

TXContainedObservable* TXObservableComponent::Live()
{
    if (!FObservable)
        throw EInvalidOperation(u"The component's observable is gone");
    return FObservable.get();
}

void TXObservableComponent::SubscribeTopic(const String& Topic, TClass AspectClass,
    const TXNotificationHandler& Handler)
{
    Live()->SubscribeTopic(Topic, AspectClass, Handler);
}

void TXObservableComponent::Subscribe(TClass AspectClass, const TXNotificationHandler& Handler)
{
    Live()->Subscribe(AspectClass, Handler);
}

void TXObservableComponent::SubscribeAll(const TXNotificationHandler& Handler)
{
    Live()->SubscribeAll(Handler);
}

void TXObservableComponent::SubscribeTopicKeeper(const String& Topic, TClass AspectClass,
    IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback, const TXNotificationHandler& Handler)
{
    Live()->SubscribeTopicKeeper(Topic, AspectClass, Keeper, Callback, Handler);
}

void TXObservableComponent::SubscribeKeeper(TClass AspectClass, IPtr<IXObserverKeeper>& Keeper,
    const TXKeeperCallback& Callback, const TXNotificationHandler& Handler)
{
    Live()->SubscribeKeeper(AspectClass, Keeper, Callback, Handler);
}

void TXObservableComponent::SubscribeAllKeeper(IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
    const TXNotificationHandler& Handler)
{
    Live()->SubscribeAllKeeper(Keeper, Callback, Handler);
}

// Once the observable is gone there is nothing left to end or to tell.

void TXObservableComponent::Unsubscribe(TClass AspectClass, const TXNotificationHandler& Handler)
{
    if (FObservable)
        FObservable->Unsubscribe(AspectClass, Handler);
}

void TXObservableComponent::UnsubscribeMethod(const TXNotificationHandler& Handler)
{
    if (FObservable)
        FObservable->UnsubscribeMethod(Handler);
}

void TXObservableComponent::UnsubscribeComponent(TObject* Component)
{
    if (FObservable)
        FObservable->UnsubscribeComponent(Component);
}

void TXObservableComponent::UnsubscribeObject(IInterface* Intf)
{
    if (FObservable)
        FObservable->UnsubscribeObject(Intf);
}

void TXObservableComponent::UnsubscribeKeeper(IXObserverKeeper* Keeper)
{
    if (FObservable)
        FObservable->UnsubscribeKeeper(Keeper);
}

void TXObservableComponent::Broadcast(IXNotification* Notification)
{
    if (FObservable)
        FObservable->Broadcast(Notification);
}

void TXObservableComponent::SendNotification(IXNotification* Notification)
{
    if (FObservable)
        FObservable->SendNotification(Notification);
}

void TXObservableComponent::PostNotification(IXNotification* Notification)
{
    if (FObservable)
        FObservable->PostNotification(Notification);
}

TObject* TXObservableComponent::GetObservableContainer()
{
    return this;
}
