// Engines and gears.
//
// An engine is an observable with a hidden window and a queue of (target,
// message) pairs. Posting, from any thread, appends to the queue and posts
// one XM_ENGINEQUEUE to the engine's window; when the window's thread
// dispatches it, the engine drains its queue there. Sending appends and
// drains at once on the calling thread. A notification is delivered by
// broadcasting it on its target observable; a command runs in its target
// gear; anything else is dropped. The queue's monitor is never held while a
// message is delivered.
//
// Gears are named engine parts that an engine starts and stops; whoever
// wants a gear started with the engine adds it to GetGears().
#pragma once
#include "rtl/Lists.h"
#include "win/WinApi.h"
#include "core/XCore.Engine.Observers.h"
#include "core/XCore.Pair.h"
#include <mutex>
#include <vector>

// The engine's private window message: its queue has work.
inline constexpr UINT XM_ENGINEQUEUE = WM_APP + 200;

// First in, first out; every operation holds the queue's own lock (a plain
// mutex: posts from workers and the drain meet on it once per message).
class TXMessageQueue : public TXObject {
    X_CLASS(TXMessageQueue, TXObject)
public:
    using TItem = TXPair<TObject*, IPtr<IXMessage>>;

    ~TXMessageQueue() override;
    // EInvalidOperation for a message that is not reference counted.
    void Enqueue(TObject* Target, IXMessage* Message);
    // False when the queue is empty.
    bool Dequeue(TItem& Item);
    Integer Count();
    // Removes the pairs of Target; the others keep their order. The removed
    // messages are released after the monitor is left.
    void Purge(TObject* Target);
    void Clear();

private:
    // A drain takes the whole backlog at once into FTaken and hands its
    // items out one at a time from there, so posting threads meet the
    // drain once per backlog, not once per item; a purge reaches both.
    // The two vectors trade their storage, so a steady stream of posts
    // allocates nothing here. FLock is taken before FTakenLock.
    std::mutex FLock;
    std::vector<TItem> FItems;
    std::mutex FTakenLock;
    std::vector<TItem> FTaken;
    size_t FTakenHead = 0;

    // Under FTakenLock: the next taken item, if any.
    bool TakeNext(TItem& Item);
};

void PurgeEngineMessages(TXMessageQueue* Queue, TObject* Target);
// Delivers everything queued, including what deliveries queue meanwhile.
void DrainEngineQueue(TXMessageQueue* Queue);
void DeliverEngineMessage(TObject* Target, IXMessage* Message);
void SendEngineMessage(TXMessageQueue* Queue, TObject* Target, IXMessage* Message);
void PostEngineMessage(TXMessageQueue* Queue, TObject* Target, IXMessage* Message, HWND Window);

// Owns a hidden window on a window method.
class TXHandleManager : public TXManagedObject, public IXHandle {
    X_CLASS(TXHandleManager, TXManagedObject)
public:
    using inherited::Create;
    virtual void Create(TWndMethod WndProc);
    ~TXHandleManager() override;

    X_FORWARD_IINTERFACE(TXManagedObject)
    HWND GetHandle() override { return FHandle; }

private:
    HWND FHandle = nullptr;
};

class TXCustomGear : public TXObservable, public virtual IXGear {
    X_CLASS(TXCustomGear, TXObservable)
    X_INTERFACES(TXCustomGear, IXGearable)
public:
    using inherited::Create;
    virtual void Create(IPtr<IInterface> AHost, const String& AName);

    void HandleMessage(IXCommand* Command) override;
    void PostGearMessage(IXMessage* Message) override;
    void SendGearMessage(IXMessage* Message) override;
    void Start() override { }
    void Stop() override { }
    IPtr<IInterface> QueryGearInterface(const TGUID& Key) override { return nullptr; }
    String GetName() override { return FName; }
    bool GetActive() override { return FActive; }
    void SetActive(bool Value) override { FActive = Value; }

protected:
    String FName;
    bool FActive = false;
};

class TXCustomEngine : public TXCustomGear, public virtual IXEngine {
    X_CLASS(TXCustomEngine, TXCustomGear)
    X_INTERFACES(TXCustomEngine, IXEngine)
public:
    // The engine is its own host: its notifications go through its queue.
    void Create() override { Create(String()); }
    virtual void Create(const String& AName);
    void Init() override;
    // Releases the window, then the gears, then the queue (whatever is
    // still queued is released undelivered), then the observable part.
    void BeforeDestruction() override;

    void PurgeMessages(TObject* Target) override;
    void SendMessage(TObject* Target, IXMessage* Message) override;
    void PostMessage(TObject* Target, IXMessage* Message) override;
    IPtr<IXGear> FindGear(const String& Name) override;
    IPtr<IInterface> FindGearInterface(const String& Name) override;
    TXGearInterfaceList* GetGears() override { return FGears.get(); }
    void Start() override;
    void Stop() override;

    // Raises EInvalidOperation when the engine has no window to post to.
    void PostXMessage(TObject* Target, IXMessage* Message);
    virtual HWND GetHandle();
    // XM_ENGINEQUEUE drains the queue once for every burst of posts; other
    // messages get the default handling.
    virtual void WndProc(TMessage& Message);
    TXMessageQueue* Queue() const { return FQueue.get(); }

protected:
    IPtr<IXHandle> FHandleHolder;
    // Holds the window posts go to, so that a post looks nothing up; set
    // where the window is made, before anything is posted.
    void SetPostWindow(HWND Window) { FPoster = TWindowPoster(Window); }

private:
    TWindowPoster FPoster;
    TOwnedPtr<TXMessageQueue> FQueue;
    TOwnedPtr<TXGearInterfaceList> FGears;
};

namespace XCore::Engine {

class TXGear : public TXCustomGear {
    X_CLASS_TEMPLATE(TXGear, TXCustomGear, u"XCore.Engine.TXGear")
};

// The engine with its own hidden window, made at construction so that
// posting works from then on. Create it on the thread that pumps its
// messages.
class TXEngine : public TXCustomEngine {
    X_CLASS_TEMPLATE(TXEngine, TXCustomEngine, u"XCore.Engine.TXEngine")
public:
    void Init() override;
    void BeforeDestruction() override;

private:
    TOwnedPtr<TXHandleManager> FManager;
};

}

// ---- Commands ----

// The common base of objects that travel to gears as messages.
class TXCommandNotification : public TXNamedPersistent {
    X_CLASS(TXCommandNotification, TXNamedPersistent)
};

// A message that a gear runs (TXCustomGear::HandleMessage). Counted
// interlocked, so it may be posted from one thread and run on another; the
// last interface reference frees it. Descendants add their input fields
// and an output that Execute sets.
class TXCommand : public TXCommandNotification, public IXCommand {
    X_CLASS(TXCommand, TXCommandNotification)
    X_INTERFACES(TXCommand, IXCommand)
    X_FORWARD_IINTERFACE(TXCommandNotification)
public:
    void Create() override;

    bool CanExecute() override { return true; }
    Integer GetResult() override { return 0; }
    void Execute() override { }
    void Reserved() override { }
};
