#include "core/XCore.Engine.h"
#include <vector>

X_REGISTER_CLASS(TXMessageQueue)
X_REGISTER_CLASS(TXHandleManager)
X_REGISTER_CLASS(TXCustomGear)
X_REGISTER_CLASS(TXCustomEngine)

namespace {
// The interface that FindGearInterface asks a gear for.
constexpr TGUID IID_XGearInterface = TGUID::Parse("{5C54418D-6C9B-46BF-AC70-82ECE7AB4E4C}");
}

// ---- TXMessageQueue ----

TXMessageQueue::~TXMessageQueue()
{
    Clear();
}

void TXMessageQueue::Enqueue(TObject* Target, IXMessage* Message)
{
    // A queued message must live until its turn. One that counts nothing
    // (its _AddRef answers -1, as a notification record in its caller's
    // frame does) may be gone by then. The item's reference is the probe.
    IPtr<IXMessage> Held;
    if (Message) {
        if (Message->_AddRef() < 0)
            throw EInvalidOperation(u"Only a reference-counted message can be queued");
        Held = IPtr<IXMessage>::Adopt(Message);
    }
    TItem Item(Target, std::move(Held));
    std::lock_guard Lock(FLock);
    FItems.push_back(std::move(Item));
}

bool TXMessageQueue::TakeNext(TItem& Item)
{
    if (FTakenHead == FTaken.size())
        return false;
    Item = std::move(FTaken[FTakenHead++]);
    if (FTakenHead == FTaken.size()) {
        FTaken.clear();
        FTakenHead = 0;
    }
    return true;
}

bool TXMessageQueue::Dequeue(TItem& Item)
{
    {
        std::lock_guard Taken(FTakenLock);
        if (TakeNext(Item))
            return true;
    }
    std::lock_guard Lock(FLock);
    std::lock_guard Taken(FTakenLock);
    // Another drain may have taken a backlog meanwhile.
    if (TakeNext(Item))
        return true;
    if (FItems.empty())
        return false;
    FTaken.swap(FItems);
    return TakeNext(Item);
}

Integer TXMessageQueue::Count()
{
    std::lock_guard Lock(FLock);
    std::lock_guard Taken(FTakenLock);
    return Integer(FItems.size() + FTaken.size() - FTakenHead);
}

void TXMessageQueue::Purge(TObject* Target)
{
    std::vector<TItem> Removed;
    {
        std::lock_guard Lock(FLock);
        std::lock_guard Taken(FTakenLock);
        auto Sift = [&](std::vector<TItem>& Items, size_t From) {
            std::vector<TItem> Kept;
            for (size_t I = From; I < Items.size(); ++I)
                (Items[I].Key == Target ? Removed : Kept).push_back(std::move(Items[I]));
            Items.swap(Kept);
        };
        Sift(FTaken, FTakenHead);
        FTakenHead = 0;
        Sift(FItems, 0);
    }
}

void TXMessageQueue::Clear()
{
    std::vector<TItem> Removed, RemovedTaken;
    {
        std::lock_guard Lock(FLock);
        std::lock_guard Taken(FTakenLock);
        Removed.swap(FItems);
        RemovedTaken.swap(FTaken);
        FTakenHead = 0;
    }
}

// ---- Queue routines ----

void PurgeEngineMessages(TXMessageQueue* Queue, TObject* Target)
{
    if (Queue)
        Queue->Purge(Target);
}

void DrainEngineQueue(TXMessageQueue* Queue)
{
    TXMessageQueue::TItem Item;
    while (Queue->Dequeue(Item)) {
        TXMessageQueue::TItem Taken = std::move(Item);
        DeliverEngineMessage(Taken.Key, Taken.Value.Get());
    }
}

void DeliverEngineMessage(TObject* Target, IXMessage* Message)
{
    if (!Target || !Message)
        return;
    void* Out = nullptr;
    if (Message->QueryInterface(IXNotification::IID, &Out) == S_OK) {
        auto Notification = IPtr<IXNotification>::Adopt(static_cast<IXNotification*>(Out));
        if (auto Held = Supports<IXObservable>(Target)) {
            // A handler of this broadcast may free the target. A counted
            // target is held for the call; an uncounted one (its _AddRef
            // answers -1) is let go first and not touched afterwards.
            IXObservable* Observable = Held.Get();
            if (Observable->_AddRef() < 0)
                Held.Reset();
            else
                Observable->_Release();
            Observable->Broadcast(Notification.Get());
            return;
        }
    }
    if (Message->QueryInterface(IXCommand::IID, &Out) == S_OK) {
        auto Command = IPtr<IXCommand>::Adopt(static_cast<IXCommand*>(Out));
        if (auto Gear = Supports<IXGearable>(Target))
            Gear->HandleMessage(Command.Get());
    }
}

void SendEngineMessage(TXMessageQueue* Queue, TObject* Target, IXMessage* Message)
{
    Queue->Enqueue(Target, Message);
    DrainEngineQueue(Queue);
}

void PostEngineMessage(TXMessageQueue* Queue, TObject* Target, IXMessage* Message, HWND Window)
{
    Queue->Enqueue(Target, Message);
    ::PostMessage(Window, XM_ENGINEQUEUE, 0, 0);
}

// ---- TXHandleManager ----

void TXHandleManager::Create(TWndMethod WndProc)
{
    inherited::Create();
    FHandle = AllocateHWnd(std::move(WndProc));
    if (!FHandle)
        throw EInvalidOperation(u"The engine window could not be created");
}

TXHandleManager::~TXHandleManager()
{
    if (FHandle)
        DeallocateHWnd(std::exchange(FHandle, nullptr));
}

// ---- TXCustomGear ----

void TXCustomGear::Create(IPtr<IInterface> AHost, const String& AName)
{
    FName = AName;
    inherited::Create(std::move(AHost));
}

void TXCustomGear::HandleMessage(IXCommand* Command)
{
    if (Command && Command->CanExecute())
        Command->Execute();
}

// Without a host engine the gear delivers to itself at once, as an
// observable without a host broadcasts at once.
void TXCustomGear::PostGearMessage(IXMessage* Message)
{
    if (IXEngine* Engine = HostEngine())
        Engine->PostMessage(this, Message);
    else
        DeliverEngineMessage(this, Message);
}

void TXCustomGear::SendGearMessage(IXMessage* Message)
{
    if (IXEngine* Engine = HostEngine())
        Engine->SendMessage(this, Message);
    else
        DeliverEngineMessage(this, Message);
}

// ---- TXCustomEngine ----

void TXCustomEngine::Create(const String& AName)
{
    inherited::Create(IPtr<IInterface>(static_cast<IXEngine*>(this)), AName);
}

void TXCustomEngine::Init()
{
    inherited::Init();
    TellEnd();
    FQueue = New<TXMessageQueue>();
    FGears = New<TXGearInterfaceList>();
}

void TXCustomEngine::BeforeDestruction()
{
    FHandleHolder = nullptr;
    if (FGears)
        FGears->Clear();
    FreeAndNil(FGears);
    FreeAndNil(FQueue);
    inherited::BeforeDestruction();
}

void TXCustomEngine::PurgeMessages(TObject* Target)
{
    PurgeEngineMessages(FQueue, Target);
}

void TXCustomEngine::SendMessage(TObject* Target, IXMessage* Message)
{
    if (FQueue)
        SendEngineMessage(FQueue, Target, Message);
}

void TXCustomEngine::PostMessage(TObject* Target, IXMessage* Message)
{
    PostXMessage(Target, Message);
}

void TXCustomEngine::PostXMessage(TObject* Target, IXMessage* Message)
{
    if (!FQueue)
        return; // being destroyed
    HWND Window = GetHandle();
    if (!Window)
        throw EInvalidOperation(u"The engine has no window to post to");
    if (FPoster.Handle() != Window) {
        PostEngineMessage(FQueue, Target, Message, Window);
        return;
    }
    FQueue->Enqueue(Target, Message);
    FPoster.Post(XM_ENGINEQUEUE, 0, 0);
}

IPtr<IXGear> TXCustomEngine::FindGear(const String& Name)
{
    if (FGears)
        for (Integer I = 0; I < FGears->Count(); ++I) {
            IPtr<IXGear> Gear = FGears->Items(I);
            if (Gear && Gear->GetName() == Name)
                return Gear;
        }
    return nullptr;
}

IPtr<IInterface> TXCustomEngine::FindGearInterface(const String& Name)
{
    IPtr<IXGear> Gear = FindGear(Name);
    void* Out = nullptr;
    if (Gear && Gear->QueryInterface(IID_XGearInterface, &Out) == S_OK)
        return IPtr<IInterface>::Adopt(static_cast<IInterface*>(Out));
    return nullptr;
}

void TXCustomEngine::Start()
{
    inherited::Start();
    for (Integer I = 0; FGears && I < FGears->Count(); ++I)
        if (IPtr<IXGear> Gear = FGears->Items(I))
            Gear->Start();
}

void TXCustomEngine::Stop()
{
    inherited::Stop();
    for (Integer I = 0; FGears && I < FGears->Count(); ++I)
        if (IPtr<IXGear> Gear = FGears->Items(I))
            Gear->Stop();
}

HWND TXCustomEngine::GetHandle()
{
    return FHandleHolder ? FHandleHolder->GetHandle() : nullptr;
}

void TXCustomEngine::WndProc(TMessage& Message)
{
    if (Message.Msg != XM_ENGINEQUEUE) {
        Message.Result = DefWindowProc(GetHandle(), Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    // One drain serves the whole burst: the further queue messages are
    // taken out first, in one pass. A pending quit is not touched, so the
    // loop still gets it.
    RemovePostedMessages(GetHandle(), XM_ENGINEQUEUE);
    Message.Result = 0;
    if (!FQueue)
        return;
    try {
        DrainEngineQueue(FQueue);
    } catch (...) { // re-post, then pass the failure on
        // What the failed delivery left queued still gets its turn.
        if (FQueue->Count() > 0)
            ::PostMessage(GetHandle(), XM_ENGINEQUEUE, 0, 0);
        throw;
    }
}

// ---- XCore::Engine::TXEngine ----

namespace XCore::Engine {

void TXEngine::Init()
{
    inherited::Init();
    FManager = New<TXHandleManager>([this](TMessage& Message) { WndProc(Message); });
    FHandleHolder = IPtr<IXHandle>(static_cast<IXHandle*>(FManager));
    SetPostWindow(FManager->GetHandle());
}

void TXEngine::BeforeDestruction()
{
    SetPostWindow(nullptr);
    FHandleHolder = nullptr;
    FreeAndNil(FManager);
    inherited::BeforeDestruction();
}

}
