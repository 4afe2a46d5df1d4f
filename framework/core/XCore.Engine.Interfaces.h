// The interfaces of the notification engine: messages, notifications,
// commands, observables, gears and engines.
//
// Interfaces that extend one another inherit virtually, so an object that
// implements an interface and one of its descendants (a gear is an
// observable; an engine is a gear) has one subobject of each and its class
// implements every operation once.
#pragma once
#include "rtl/Interfaces.h"
#include "win/Messages.h"
#include <functional>

class TXCustomAspect;
struct IXNotification;

// Anything an engine queue can carry.
struct IXMessage : IInterface { };

struct IXNotification : IXMessage {
    X_GUID("{5BC47003-9CEE-4E80-91C8-D767148DAD08}")
    virtual String GetTopic() = 0;
    virtual TObject* GetSender() = 0;
    virtual TXCustomAspect* GetAspect() = 0;
};

// A notification whose aspect is known to be a TAspect.
template<class TAspect>
struct IXNotificationOf : virtual IXNotification {
    virtual TAspect* GetTypedAspect() = 0;
};

// A message that a gear runs.
struct IXCommand : IXMessage {
    X_GUID("{07F40CAB-175D-4210-AC33-BDF9EA8B157E}")
    virtual bool CanExecute() = 0;
    virtual Integer GetResult() = 0;
    virtual void Execute() = 0;
    // Kept for the commands of the recovery program; nothing calls it.
    virtual void Reserved() = 0;
};

// A method of an object that takes a notification. Make one with
// TXNotificationHandler::Of<&TForm::Changed>(Form). The code identifies the
// method, so two handlers of one method and one object compare equal.
struct TXNotificationHandler {
    using TThunk = void (*)(TObject* Obj, IXNotification* Notification);

    TThunk Code = nullptr;
    TObject* Data = nullptr;

    template<auto Method, class T>
    static TXNotificationHandler Of(T* Obj)
    {
        TThunk Thunk = [](TObject* Self, IXNotification* N) { (static_cast<T*>(Self)->*Method)(N); };
        return { Thunk, static_cast<TObject*>(Obj) };
    }
    bool IsEmpty() const { return Code == nullptr; }
    void operator()(IXNotification* Notification) const { Code(Data, Notification); }

    friend bool operator==(const TXNotificationHandler&, const TXNotificationHandler&) = default;
};

// Called with the observable's container when the observable goes away
// before the keeper.
using TXKeeperCallback = std::function<void(TObject* Container)>;

// Holds one subscription: releasing the last reference ends it.
struct IXObserverKeeper : IInterface {
    virtual void Detach() = 0;
};

struct IXObservable : IInterface {
    X_GUID("{B20EF935-64CA-4664-8996-8386C69F511A}")
    virtual void SubscribeTopic(const String& Topic, TClass AspectClass, const TXNotificationHandler& Handler) = 0;
    virtual void Subscribe(TClass AspectClass, const TXNotificationHandler& Handler) = 0;
    virtual void SubscribeAll(const TXNotificationHandler& Handler) = 0;
    virtual void SubscribeTopicKeeper(const String& Topic, TClass AspectClass, IPtr<IXObserverKeeper>& Keeper,
        const TXKeeperCallback& Callback, const TXNotificationHandler& Handler) = 0;
    virtual void SubscribeKeeper(TClass AspectClass, IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) = 0;
    virtual void SubscribeAllKeeper(IPtr<IXObserverKeeper>& Keeper, const TXKeeperCallback& Callback,
        const TXNotificationHandler& Handler) = 0;
    virtual void Unsubscribe(TClass AspectClass, const TXNotificationHandler& Handler) = 0;
    virtual void UnsubscribeMethod(const TXNotificationHandler& Handler) = 0;
    virtual void UnsubscribeComponent(TObject* Component) = 0;
    virtual void UnsubscribeObject(IInterface* Intf) = 0;
    virtual void UnsubscribeKeeper(IXObserverKeeper* Keeper) = 0;
    virtual void Broadcast(IXNotification* Notification) = 0;
    virtual void SendNotification(IXNotification* Notification) = 0;
    virtual void PostNotification(IXNotification* Notification) = 0;
    virtual TObject* GetObservableContainer() = 0;
};

// Objects that subscribe their own handler when asked (forms, frames).
struct IXObserver : IInterface {
    X_GUID("{A203CEA8-516D-48E2-BB7F-FC63B18ACCCC}")
    virtual void ObserveTopic(IXObservable* Observable, const String& Topic, TClass AspectClass) = 0;
    virtual void Observe(IXObservable* Observable, TClass AspectClass) = 0;
};

// A host that accepts notifications forwarded to it.
struct IXNotifiable : IInterface {
    X_GUID("{116CC764-855B-44F2-89B8-6AA5E0C15A43}")
    virtual void ProcessNotification(IXNotification* Notification) = 0;
};

struct IXGearable : virtual IXObservable {
    X_GUID("{3BD733B8-803C-4773-8654-AB0F7F6D64E9}")
    // Runs Command when it can execute; delivery of commands comes here.
    virtual void HandleMessage(IXCommand* Command) = 0;
    // To the gear's host engine, with the gear as target.
    virtual void PostGearMessage(IXMessage* Message) = 0;
    virtual void SendGearMessage(IXMessage* Message) = 0;
};

struct IXGear : virtual IXGearable {
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual IPtr<IInterface> QueryGearInterface(const TGUID& Key) = 0;
    virtual String GetName() = 0;
    virtual bool GetActive() = 0;
    virtual void SetActive(bool Value) = 0;
};

template<class T>
class TList;
using TXGearInterfaceList = TList<IPtr<IXGear>>;

struct IXEngine : virtual IXGear {
    X_GUID("{C0552465-21F3-4214-A458-EE828D7C2B4F}")
    // Drops every queued message for Target.
    virtual void PurgeMessages(TObject* Target) = 0;
    // Both queue only reference-counted messages (EInvalidOperation for
    // another, such as a stack-held notification record).
    // Queues and delivers at once, on the calling thread.
    virtual void SendMessage(TObject* Target, IXMessage* Message) = 0;
    // Queues; delivered later on the thread that owns the engine's window.
    // Callable from any thread.
    virtual void PostMessage(TObject* Target, IXMessage* Message) = 0;
    virtual IPtr<IXGear> FindGear(const String& Name) = 0;
    virtual IPtr<IInterface> FindGearInterface(const String& Name) = 0;
    virtual TXGearInterfaceList* GetGears() = 0;
};

struct IXHandle : IInterface {
    virtual HWND GetHandle() = 0;
};
