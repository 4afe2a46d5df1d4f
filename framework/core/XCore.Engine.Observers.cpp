#include "core/XCore.Engine.Observers.h"

X_REGISTER_CLASS(TXDeletedObserverAspect)
X_REGISTER_CLASS(TXObserverDataList)
X_REGISTER_CLASS(TXObserverKeeper)
X_REGISTER_CLASS(TXObservable)
X_REGISTER_CLASS(TXContainedObservable)

namespace {

template<class T>
Integer Order(const T& A, const T& B)
{
    return A < B ? -1 : (B < A ? 1 : 0);
}

Integer CompareObserverData(const TXObserverData& L, const TXObserverData& R)
{
    auto Addr = [](const void* P) { return reinterpret_cast<std::uintptr_t>(P); };
    auto Code = [](TXNotificationHandler::TThunk C) { return reinterpret_cast<std::uintptr_t>(C); };
    if (Integer C = Order(Addr(L.AspectClass), Addr(R.AspectClass)))
        return C;
    if (Integer C = Order(L.Reserved, R.Reserved))
        return C;
    if (Integer C = Order(Code(L.Handler.Code), Code(R.Handler.Code)))
        return C;
    if (Integer C = Order(Addr(L.Handler.Data), Addr(R.Handler.Data)))
        return C;
    if (Integer C = Order(Addr(L.Keeper), Addr(R.Keeper)))
        return C;
    return L.Topic.compare(R.Topic) < 0 ? -1 : (L.Topic == R.Topic ? 0 : 1);
}

const IPtr<IComparer<TXObserverData>>& ObserverDataComparer()
{
    static const IPtr<IComparer<TXObserverData>> Comparer = TComparer<TXObserverData>::Construct(&CompareObserverData);
    return Comparer;
}

// A keeper whose entry goes away by other means than its own release must
// not reach back into the observable later, which may be gone by then.
void ForgetKeeper(IXObserverKeeper* Keeper)
{
    if (auto* K = DynamicCast<TXObserverKeeper>(InterfaceToObject(Keeper)))
        K->Forget();
}

void CheckSubscription(TClass AspectClass, const TXNotificationHandler& Handler)
{
    if (!AspectClass)
        throw EArgumentException(u"A subscription needs an aspect class");
    if (Handler.IsEmpty())
        throw EArgumentException(u"A subscription needs a handler");
}

}

// ---- TXObserverDataList ----

void TXObserverDataList::Create(TItemComparer AComparer)
{
    inherited::Create(AComparer ? std::move(AComparer) : ObserverDataComparer());
}

bool TXObserverDataList::HasAspectClass(TClass Class)
{
    TMonitorLock Lock(this);
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I).AspectClass == Class)
            return true;
    return false;
}

bool TXObserverDataList::IsNotifying()
{
    TMonitorLock Lock(this);
    return FBusyCount > 0;
}

Integer TXObserverDataList::IndexOf(TClass Class, const TXNotificationHandler& Handler)
{
    TMonitorLock Lock(this);
    for (Integer I = 0; I < Count(); ++I) {
        const TXObserverData& E = Items(I);
        if (E.AspectClass == Class && E.Handler == Handler)
            return I;
    }
    return -1;
}

void TXObserverDataList::AddObserver(const String& Topic, TClass Class, const TXNotificationHandler& Handler)
{
    TMonitorLock Lock(this);
    if (IndexOf(Class, Handler) < 0)
        Add(TXObserverData { Class, 0, Handler, nullptr, Topic });
}

IXObserverKeeper* TXObserverDataList::AddKeeperObserver(const String& Topic, TClass Class, IXObserverKeeper* NewKeeper,
    const TXNotificationHandler& Handler)
{
    TMonitorLock Lock(this);
    Integer I = IndexOf(Class, Handler);
    if (I >= 0)
        return Items(I).Keeper;
    Add(TXObserverData { Class, 0, Handler, NewKeeper, Topic });
    return NewKeeper;
}

void TXObserverDataList::RemoveAt(Integer Index)
{
    if (IXObserverKeeper* K = std::exchange(GetPItem(Index)->Keeper, nullptr))
        ForgetKeeper(K);
    if (FBusyCount > 0)
        MarkDeleted(Index);
    else
        Delete(Index);
}

template<class F>
void TXObserverDataList::RemoveWhere(F Matches)
{
    TMonitorLock Lock(this);
    for (Integer I = Count() - 1; I >= 0; --I)
        if (Matches(Items(I)))
            RemoveAt(I);
}

void TXObserverDataList::RemoveObserver(TClass Class, const TXNotificationHandler& Handler)
{
    TMonitorLock Lock(this);
    if (FBusyCount > 0) {
        RemoveWhere([&](const TXObserverData& E) { return E.AspectClass == Class && E.Handler == Handler; });
        return;
    }
    Integer I = IndexOf(Class, Handler);
    if (I >= 0)
        RemoveAt(I);
}

void TXObserverDataList::RemoveMethod(const TXNotificationHandler& Handler)
{
    RemoveWhere([&](const TXObserverData& E) {
        return E.AspectClass != TXDeletedObserverAspect::StaticClass() && E.Handler == Handler;
    });
}

void TXObserverDataList::RemoveComponent(TObject* Obj)
{
    if (!Obj)
        return;
    RemoveWhere([&](const TXObserverData& E) {
        return E.AspectClass != TXDeletedObserverAspect::StaticClass() && E.Handler.Data == Obj;
    });
}

void TXObserverDataList::RemoveKeeper(IXObserverKeeper* Keeper)
{
    if (!Keeper)
        return;
    RemoveWhere([&](const TXObserverData& E) { return E.Keeper == Keeper; });
}

void TXObserverDataList::MarkDeleted(Integer Index)
{
    TMonitorLock Lock(this);
    TXObserverData* E = GetPItem(Index);
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    E->AspectClass = TXDeletedObserverAspect::StaticClass();
    FPending = true;
}

void TXObserverDataList::Compact()
{
    TMonitorLock Lock(this);
    for (Integer I = Count() - 1; I >= 0; --I)
        if (Items(I).AspectClass == TXDeletedObserverAspect::StaticClass())
            Delete(I);
    FPending = false;
}

void TXObserverDataList::Broadcast(IXNotification* Notification)
{
    if (!Notification)
        return;
    bool FreeNow = false;
    {
        TMonitorLock Lock(this);
        ++FBusyCount;
        // Also when a handler raises: the list is left usable and compacted,
        // or freed when its owner let go of it meanwhile (after the lock).
        struct TLeave {
            TXObserverDataList* List;
            bool& FreeNow;
            ~TLeave()
            {
                if (List->FPending && List->FBusyCount == 1)
                    List->Compact();
                if (--List->FBusyCount == 0)
                    FreeNow = List->FFreeWhenIdle;
            }
        } Leave { this, FreeNow };
        Deliver(Notification);
    }
    if (FreeNow)
        Free();
}

void TXObserverDataList::Deliver(IXNotification* Notification)
{
    TXCustomAspect* Aspect = Notification->GetAspect();
    TClass C = Aspect ? Aspect->ClassType() : TObject::StaticClass();
    bool HaveTopic = false;
    String Topic;
    // Entries added by handlers wait for the next broadcast; nothing more
    // goes out once the owner let go of the list.
    const Integer N = Count();
    for (Integer I = 0; I < N && I < Count() && !FFreeWhenIdle; ++I) {
        const TXObserverData& E = Items(I);
        bool Call = false;
        if (Aspect && C == E.AspectClass)
            Call = true;
        else if (C->InheritsFrom(E.AspectClass)) {
            if (E.Topic.empty())
                Call = true;
            else {
                if (!HaveTopic) {
                    Topic = Notification->GetTopic();
                    HaveTopic = true;
                }
                Call = E.Topic == Topic;
            }
        }
        if (Call) {
            TXNotificationHandler Handler = E.Handler; // a handler may grow the list
            Handler(Notification);
        }
    }
}

void TXObserverDataList::FreeWhenIdle()
{
    {
        TMonitorLock Lock(this);
        if (FBusyCount > 0) {
            FFreeWhenIdle = true;
            return;
        }
    }
    Free();
}

void TXObserverDataList::DetachKeepers()
{
    TMonitorLock Lock(this);
    // A callback may end other subscriptions; walk down from the live end.
    for (Integer I = Count() - 1; I >= 0; --I) {
        if (I >= Count()) {
            I = Count();
            continue;
        }
        if (IXObserverKeeper* K = std::exchange(GetPItem(I)->Keeper, nullptr))
            K->Detach();
    }
}

// ---- TXObserverKeeper ----

void TXObserverKeeper::Create(IXObservable* AObservable, const TXKeeperCallback& ACallback)
{
    FObservable = AObservable;
    FCallback = ACallback;
    inherited::Create();
}

TXObserverKeeper::~TXObserverKeeper()
{
    if (IXObservable* O = std::exchange(FObservable, nullptr))
        O->UnsubscribeKeeper(this);
}

void TXObserverKeeper::Detach()
{
    IXObservable* O = std::exchange(FObservable, nullptr);
    if (!O || !FCallback)
        return;
    // The callback may release this keeper.
    TXKeeperCallback Callback = FCallback;
    Callback(O->GetObservableContainer());
}

// ---- TXObservable ----

void TXObservable::Create(IPtr<IInterface> AHost)
{
    CreateManaged(0, std::move(AHost));
}

void TXObservable::CreateManaged(Byte CountMode, IPtr<IInterface> AHost)
{
    FHost = std::move(AHost);
    FHostEngine = FHost.As<IXEngine>();
    WatchHost();
    TXManagedObject::CreateManaged(CountMode);
}

void TXObservable::Init()
{
    inherited::Init();
    FList = New<TXObserverDataList>();
}

void TXObservable::BeforeDestruction()
{
    FLife.reset();
    SetHost(nullptr);
    if (FList)
        FList->DetachKeepers();
    inherited::BeforeDestruction();
}

TXObservable::~TXObservable()
{
    // A handler of this observable's own broadcast may be what frees it.
    if (TXObserverDataList* List = std::exchange(FList, nullptr))
        List->FreeWhenIdle();
}

void TXObservable::SubscribeTopic(const String& Topic, TClass AspectClass, const TXNotificationHandler& Handler)
{
    CheckSubscription(AspectClass, Handler);
    FList->AddObserver(Topic, AspectClass, Handler);
}

void TXObservable::Subscribe(TClass AspectClass, const TXNotificationHandler& Handler)
{
    SubscribeTopic(String(), AspectClass, Handler);
}

void TXObservable::SubscribeAll(const TXNotificationHandler& Handler)
{
    SubscribeTopic(String(), TObject::StaticClass(), Handler);
}

void TXObservable::SubscribeTopicKeeper(const String& Topic, TClass AspectClass, IPtr<IXObserverKeeper>& Keeper,
    const TXKeeperCallback& Callback, const TXNotificationHandler& Handler)
{
    CheckSubscription(AspectClass, Handler);
    IPtr<IXObserverKeeper> NewKeeper(
        static_cast<IXObserverKeeper*>(New<TXObserverKeeper>(static_cast<IXObservable*>(this), Callback)));
    Keeper = FList->AddKeeperObserver(Topic, AspectClass, NewKeeper.Get(), Handler);
    // An unused new keeper goes here; its entry does not exist, so nothing ends.
}

void TXObservable::SubscribeKeeper(TClass AspectClass, IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
    const TXNotificationHandler& Handler)
{
    SubscribeTopicKeeper(String(), AspectClass, Keeper, Callback, Handler);
}

void TXObservable::SubscribeAllKeeper(IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
    const TXNotificationHandler& Handler)
{
    SubscribeTopicKeeper(String(), TObject::StaticClass(), Keeper, Callback, Handler);
}

void TXObservable::Unsubscribe(TClass AspectClass, const TXNotificationHandler& Handler)
{
    FList->RemoveObserver(AspectClass, Handler);
}

void TXObservable::UnsubscribeMethod(const TXNotificationHandler& Handler)
{
    FList->RemoveMethod(Handler);
}

void TXObservable::UnsubscribeComponent(TObject* Component)
{
    FList->RemoveComponent(Component);
}

void TXObservable::UnsubscribeObject(IInterface* Intf)
{
    FList->RemoveComponent(InterfaceToObject(Intf));
}

void TXObservable::UnsubscribeKeeper(IXObserverKeeper* Keeper)
{
    FList->RemoveKeeper(Keeper);
}

void TXObservable::Broadcast(IXNotification* Notification)
{
    FList->Broadcast(Notification);
}

void TXObservable::SendNotification(IXNotification* Notification)
{
    if (IXEngine* Engine = HostEngine())
        Engine->SendMessage(this, Notification);
    else
        Broadcast(Notification);
}

void TXObservable::PostNotification(IXNotification* Notification)
{
    if (IXEngine* Engine = HostEngine())
        Engine->PostMessage(this, Notification);
    else
        Broadcast(Notification);
}

void TXObservable::WatchHost()
{
    auto* Host = DynamicCast<TXObservable>(InterfaceToObject(FHostEngine.Get()));
    FHostWatched = Host && Host != this && Host->FLife;
    FHostLife = FHostWatched ? Host->FLife : std::weak_ptr<const void>();
}

void TXObservable::SetHost(IPtr<IInterface> NewHost)
{
    if (HostEnded()) {
        // Its memory is gone: nothing to purge there, nothing to release.
        FHost.Detach();
        FHostEngine.Detach();
        FHostWatched = false;
    }
    TObject* Old = InterfaceToObject(FHost.Get());
    if (NewHost == FHost || (Old && Old == InterfaceToObject(NewHost.Get())))
        return;
    if (FHostEngine && Old != this)
        FHostEngine->PurgeMessages(this);
    // The engine reference goes last: releasing the host may free it.
    IPtr<IXEngine> OldEngine = std::move(FHostEngine);
    FHostEngine = NewHost.As<IXEngine>();
    FHost = std::move(NewHost);
    WatchHost();
}

// ---- TXContainedObservable ----

void TXContainedObservable::Create(IPtr<IInterface> AHost, TObject* AOwner)
{
    CreateManaged(0, std::move(AHost), AOwner);
}

void TXContainedObservable::CreateManaged(Byte CountMode, IPtr<IInterface> AHost, TObject* AOwner)
{
    FOwner = AOwner;
    inherited::CreateManaged(CountMode, std::move(AHost));
}

// ---- Subscription routines ----

void SubscribeActionAspect(IXObservable* Observable, const TXNotificationHandler& Handler)
{
    Observable->SubscribeTopic(String(), TXActionAspect::StaticClass(), Handler);
}

void SubscribeActionAspectOnTopic(IXObservable* Observable, const String& Topic, const TXNotificationHandler& Handler)
{
    Observable->SubscribeTopic(Topic, TXActionAspect::StaticClass(), Handler);
}
