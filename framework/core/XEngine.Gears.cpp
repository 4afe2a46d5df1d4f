#include "core/XEngine.Gears.h"
#include "vcl/Forms.h"
#include "win/WinApi.h"
#include <vector>

X_REGISTER_CLASS(TXStartTimer)
X_REGISTER_CLASS(TXStartComponentTimer)
X_REGISTER_CLASS(TXCommandTimer)
X_REGISTER_CLASS(TXIntCommandTimer)
X_REGISTER_CLASS(TXGearList)
X_REGISTER_CLASS(TXMessageGear)
X_REGISTER_CLASS(TXGearBox)
X_REGISTER_CLASS(TXEngineBox)
X_REGISTER_CLASS(TXEventNotifier)

namespace XEngine {
X_REGISTER_CLASS_AS(TXGear, u"XEngine.TXGear")
X_REGISTER_CLASS_AS(TXEngine, u"XEngine.TXEngine")

X_PUBLISHED(TXGear)
{
    X_EVENT(OnCommand, OnCommand);
    X_EVENT(OnIntCommand, OnIntCommand);
    // Bound to the command events of controls that hand a gear their clicks.
    X_METHOD(Command);
}
}

namespace {

// The event's object, when it is a component whose end must cancel the call.
TComponent* EventReceiver(const TMethod& Method)
{
    return DynamicCast<TComponent>(Method.Data);
}

template<class TTimerClass>
TTimerClass* NewStartTimer(Cardinal Interval, TComponent* Receiver)
{
    // The application owns the timers, so leftovers go at exit.
    auto* Timer = New<TTimerClass>(Application);
    Timer->SetInterval(Interval);
    Timer->SetReceiver(Receiver);
    return Timer;
}

}

// ---- one-shot timers ----

void TXStartTimer::SetReceiver(TComponent* Value)
{
    if (FReceiver == Value)
        return;
    if (FReceiver)
        FReceiver->RemoveFreeNotification(this);
    FReceiver = Value;
    if (FReceiver)
        FReceiver->FreeNotification(this);
}

void TXStartTimer::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FReceiver) {
        // What this timer would call is going: it goes unfired.
        FReceiver = nullptr;
        Free();
    }
}

void TXStartTimer::Timer()
{
    SetEnabled(false);
    TLifeWatch Watch(FLife);
    // Freed however the call ends, unless the call freed the timer itself.
    struct TFreeAtEnd {
        TLifeWatch& Watch;
        TXStartTimer* Timer;
        ~TFreeAtEnd()
        {
            if (!Watch.Freed())
                Timer->Free();
        }
    } End { Watch, this };
    Fire();
}

void TXStartTimer::Fire()
{
    // A copy: the handler may free the timer.
    if (const TNotifyEvent Handler = OnTimer())
        Handler(this);
}

void TXStartComponentTimer::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    // The timer runs only with a handler; the call itself is Fire's.
    SetOnTimer([](TObject*) {});
}

void TXStartComponentTimer::Fire()
{
    TimerEvent(this);
}

void TXCommandTimer::TimerEvent(TObject* Sender)
{
    if (const TXCommandProc Call = Method)
        Call(nullptr, Monitor, Hit, HitName, Command, Args);
}

void TXIntCommandTimer::TimerEvent(TObject* Sender)
{
    if (const TXIntCommandProc Call = Method)
        Call(nullptr, Monitor, Hit, HitName, Command, Args);
}

TXStartTimer* DelayCall(Cardinal Interval, TNotifyEvent Method, TComponent* Receiver)
{
    auto* Timer = NewStartTimer<TXStartTimer>(Interval, Receiver);
    Timer->SetOnTimer(std::move(Method));
    return Timer;
}

TXCommandTimer* ScheduleCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, TXCommandProc Method,
    TComponent* Receiver, const String& HitName, const String& Command, const String& Args)
{
    auto* Timer = NewStartTimer<TXCommandTimer>(Interval, Receiver);
    Timer->Monitor = Monitor;
    Timer->Hit = Hit;
    Timer->HitName = HitName;
    Timer->Command = Command;
    Timer->Args = Args;
    Timer->Method = std::move(Method);
    return Timer;
}

TXCommandTimer* ScheduleCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, const TXCommandEvent& Method,
    const String& HitName, const String& Command, const String& Args)
{
    TXCommandProc Call;
    if (Method)
        Call = [Method](TObject* Sender, Integer M, TXHitType H, const String& N, const String& C, const String& A) {
            Method(Sender, M, H, N, C, A);
        };
    return ScheduleCommand(Interval, Monitor, Hit, std::move(Call), EventReceiver(Method.Method()), HitName, Command,
        Args);
}

TXIntCommandTimer* ScheduleIntCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, TXIntCommandProc Method,
    TComponent* Receiver, const String& HitName, Integer Command, const String& Args)
{
    auto* Timer = NewStartTimer<TXIntCommandTimer>(Interval, Receiver);
    Timer->Monitor = Monitor;
    Timer->Hit = Hit;
    Timer->HitName = HitName;
    Timer->Command = Command;
    Timer->Args = Args;
    Timer->Method = std::move(Method);
    return Timer;
}

TXIntCommandTimer* ScheduleIntCommand(Cardinal Interval, Integer Monitor, TXHitType Hit,
    const TXIntCommandEvent& Method, const String& HitName, Integer Command, const String& Args)
{
    TXIntCommandProc Call;
    if (Method)
        Call = [Method](TObject* Sender, Integer M, TXHitType H, const String& N, Integer C, const String& A) {
            Method(Sender, M, H, N, C, A);
        };
    return ScheduleIntCommand(Interval, Monitor, Hit, std::move(Call), EventReceiver(Method.Method()), HitName, Command,
        Args);
}

// ---- XEngine::TXGear ----

namespace XEngine {

void TXGear::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FEnabled = true;
}

void TXGear::BeforeDestruction()
{
    FEnabled = false;
    if (FContext)
        Stop();
    inherited::BeforeDestruction();
}

void TXGear::PostCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
    const String& Args)
{
    ScheduleCommand(
        20, Monitor, Hit,
        [this](TObject* S, Integer M, TXHitType H, const String& N, const String& C, const String& A) {
            DoCommand(S, M, H, N, C, A);
        },
        this, HitName, Command, Args);
    // The handler assigned now; one assigned later does not get this command.
    if (OnCommand)
        ScheduleCommand(50, Monitor, Hit, OnCommand, HitName, Command, Args);
}

void TXGear::PostIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
    const String& Args)
{
    ScheduleIntCommand(
        20, Monitor, Hit,
        [this](TObject* S, Integer M, TXHitType H, const String& N, Integer C, const String& A) {
            DoIntCommand(S, M, H, N, C, A);
        },
        this, HitName, Command, Args);
    if (OnIntCommand)
        ScheduleIntCommand(50, Monitor, Hit, OnIntCommand, HitName, Command, Args);
}

void TXGear::Command(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
    const String& Args)
{
    TLifeWatch Watch(FLife);
    DoCommand(Sender, Monitor, Hit, HitName, Command, Args);
    if (Watch.Freed())
        return;
    if (const TXCommandEvent Handler = OnCommand)
        Handler(Sender, Monitor, Hit, HitName, Command, Args);
}

void TXGear::IntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
    const String& Args)
{
    TLifeWatch Watch(FLife);
    DoIntCommand(Sender, Monitor, Hit, HitName, Command, Args);
    if (Watch.Freed())
        return;
    if (const TXIntCommandEvent Handler = OnIntCommand)
        Handler(Sender, Monitor, Hit, HitName, Command, Args);
}

}

// ---- windows of the gear family ----

HWND AllocateGearWindow(TWndMethod Method)
{
    HWND Wnd = AllocateHWnd(std::move(Method));
    const LONG_PTR ExStyle = GetWindowLongPtr(Wnd, GWL_EXSTYLE);
    SetWindowLongPtr(Wnd, GWL_EXSTYLE, (ExStyle & ~LONG_PTR(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW);
    return Wnd;
}

void TXMessageGear::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWindow = AllocateGearWindow([this](TMessage& Message) { WndProc(Message); });
}

void TXMessageGear::BeforeDestruction()
{
    inherited::BeforeDestruction();
    DeallocateHWnd(FWindow);
    FWindow = nullptr;
}

void TXMessageGear::WndProc(TMessage& Message)
{
    Message.Result = DefWindowProc(FWindow, Message.Msg, Message.WParam, Message.LParam);
}

// ---- TXGearBox ----

void TXGearBox::Create(TComponent* AOwner)
{
    FGears.reset(New<TXGearList>());
    inherited::Create(AOwner);
}

void TXGearBox::BeforeDestruction()
{
    // Stopped first (the gears with it), then the gears go with their list.
    inherited::BeforeDestruction();
    FGears.reset();
}

void TXGearBox::BeginUpdate()
{
    if (++FUpdateCount == 1)
        BeginUpdating();
}

void TXGearBox::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        EndUpdating();
}

bool TXGearBox::ForEachGear(const std::function<void(XEngine::TXGear* Gear)>& Fn)
{
    TLifeWatch Watch(FLife);
    std::vector<XEngine::TXGear*> Listed;
    Listed.reserve(size_t(FGears->Count()));
    for (Integer I = 0; I < FGears->Count(); ++I)
        Listed.push_back(FGears->Items(I));
    for (XEngine::TXGear* Gear : Listed) {
        // A freed gear leaves the list, so being listed means alive.
        if (FGears->IndexOf(Gear) < 0)
            continue;
        Fn(Gear);
        if (Watch.Freed())
            return false;
    }
    return true;
}

bool TXGearBox::Activate()
{
    bool Result = inherited::Activate();
    ForEachGear([&](XEngine::TXGear* Gear) { Result = Gear->Activate() && Result; });
    return Result;
}

void TXGearBox::Start(HWND AContext)
{
    inherited::Start(AContext);
    ForEachGear([&](XEngine::TXGear* Gear) {
        if (auto* Message = DynamicCast<TXMessageGear>(Gear))
            Message->Run();
        else if (auto* Box = DynamicCast<TXEngineBox>(Gear))
            Box->Run();
        else
            Gear->Start(AContext);
    });
}

void TXGearBox::Stop()
{
    inherited::Stop();
    ForEachGear([](XEngine::TXGear* Gear) { Gear->Stop(); });
}

// ---- TXEngineBox ----

void TXEngineBox::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FWindow = AllocateGearWindow([this](TMessage& Message) { WndProc(Message); });
}

void TXEngineBox::BeforeDestruction()
{
    inherited::BeforeDestruction();
    DeallocateHWnd(FWindow);
    FWindow = nullptr;
}

bool TXEngineBox::Activate()
{
    TLifeWatch Watch(FLife);
    const bool Result = inherited::Activate();
    if (!Watch.Freed())
        Run();
    return Result;
}

void TXEngineBox::WndProc(TMessage& Message)
{
    if (Message.Msg == WM_HOTKEY) {
        const HWND Wnd = FWindow;
        bool Answered = false;
        const Integer HotKeyId = Integer(Message.WParam);
        const bool Alive = ForEachGear([&](XEngine::TXGear* Gear) {
            if (const Integer Command = Gear->HotKeyCommand(HotKeyId)) {
                Answered = true;
                // The name first: the command may free the gear.
                const String Name = Gear->Name();
                IntCommand(nullptr, 0, xhtCustom, Name, Command, String());
            }
        });
        if (Alive && !Answered)
            Message.Result = DefWindowProc(Wnd, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    Message.Result = DefWindowProc(FWindow, Message.Msg, Message.WParam, Message.LParam);
}

// ---- TXEventNotifier ----

void TXEventNotifier::Create(TComponent* AOwner)
{
    FEntries.reset(New<TXObjectList<TXEventObject>>());
    inherited::Create(AOwner);
}

TXEventObject* TXEventNotifier::AddHandler(Integer EventId, const TXNotifyMethod& Handler)
{
    auto* Entry = New<TXEventObject>();
    Entry->EventID = EventId;
    Entry->Method = Handler;
    FEntries->Add(Entry);
    return Entry;
}

void TXEventNotifier::RemoveHandler(const TXNotifyMethod& Handler)
{
    for (Integer I = 0; I < FEntries->Count(); ++I)
        if (FEntries->GetItem(I)->Method == Handler) {
            FEntries->Delete(I);
            return;
        }
}

void TXEventNotifier::Notify(TObject* Sender, Integer EventId)
{
    TLifeWatch Watch(FLife);
    std::vector<TXEventObject*> Listed;
    for (Integer I = 0; I < FEntries->Count(); ++I)
        if (FEntries->GetItem(I)->EventID == EventId)
            Listed.push_back(FEntries->GetItem(I));
    for (TXEventObject* Entry : Listed) {
        if (FEntries->IndexOf(Entry) < 0)
            continue;
        // A copy: the handler may remove its entry.
        if (const TXNotifyMethod Handler = Entry->Method)
            Handler(Sender);
        if (Watch.Freed())
            return;
    }
}
