// Component gears: non-visual components that take text and numbered
// commands, at once or through one-shot timers of the message loop, and
// boxes that hold gears and start, stop and activate them together. An
// engine box owns a hidden window and turns global hot keys into numbered
// commands:
//
//     auto* Box = New<XEngine::TXEngine>(DataModule);
//     Box->Gears()->Add(New<TMyHotKeyGear>(nullptr));
//     Box->Activate();                        // asks every gear, then starts them
//     Gear->PostCommand(nullptr, 0, xhtCustom, u"Tray", u"open", {});
//
// A posted command reaches the gear's DoCommand after 20 ms and OnCommand
// after 50 ms. The one-shot timers belong to the application object; each
// watches the component it would call and goes unfired when that
// component is freed first.
#pragma once
#include "core/XCore.Types.h"
#include "rtl/Component.h"
#include "rtl/LifeWatch.h"
#include "rtl/TypInfo.h"
#include "vcl/ExtCtrls.h"
#include "core/XCore.Collections.h"
#include "core/XClasses.h"

using TXCommandEvent = TEvent<void(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
    const String& Command, const String& Args)>;
using TXIntCommandEvent = TEvent<void(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
    Integer Command, const String& Args)>;
// The same calls as plain procedures (a gear's own hooks).
using TXCommandProc = std::function<void(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
    const String& Command, const String& Args)>;
using TXIntCommandProc = std::function<void(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
    Integer Command, const String& Args)>;

// ---- one-shot timers ----

// Fires once: disables itself, runs OnTimer and frees itself, also when
// the handler raises.
class TXStartTimer : public TTimer {
    X_CLASS(TXStartTimer, TTimer)
public:
    // The component whose methods the timer calls: when it is freed
    // first, the timer is freed unfired.
    void SetReceiver(TComponent* Value);
    TComponent* Receiver() const { return FReceiver; }

protected:
    void Timer() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // The call the timer makes; OnTimer here.
    virtual void Fire();

private:
    TLifeMark FLife;
    TComponent* FReceiver = nullptr;
};

// Its OnTimer is its own TimerEvent.
class TXStartComponentTimer : public TXStartTimer {
    X_CLASS(TXStartComponentTimer, TXStartTimer)
public:
    void Create(TComponent* AOwner) override;

protected:
    void Fire() override;
    virtual void TimerEvent(TObject* Sender) { }
};

// Calls Method with Sender nil and the stored values.
class TXCommandTimer : public TXStartComponentTimer {
    X_CLASS(TXCommandTimer, TXStartComponentTimer)
public:
    Integer Monitor = 0;
    TXHitType Hit = xhtNone;
    String HitName;
    String Command;
    String Args;
    TXCommandProc Method;

protected:
    void TimerEvent(TObject* Sender) override;
};

class TXIntCommandTimer : public TXStartComponentTimer {
    X_CLASS(TXIntCommandTimer, TXStartComponentTimer)
public:
    Integer Monitor = 0;
    TXHitType Hit = xhtNone;
    String HitName;
    Integer Command = 0;
    String Args;
    TXIntCommandProc Method;

protected:
    void TimerEvent(TObject* Sender) override;
};

// Calls Method once after Interval ms; the timer is cancelled when
// Receiver (if any) is freed first.
TXStartTimer* DelayCall(Cardinal Interval, TNotifyEvent Method, TComponent* Receiver = nullptr);
// The command timers, enabled at once. An event's timer watches the
// event's object when that is a component; a procedure's watches
// Receiver.
TXCommandTimer* ScheduleCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, const TXCommandEvent& Method,
    const String& HitName, const String& Command, const String& Args);
TXCommandTimer* ScheduleCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, TXCommandProc Method,
    TComponent* Receiver, const String& HitName, const String& Command, const String& Args);
TXIntCommandTimer* ScheduleIntCommand(Cardinal Interval, Integer Monitor, TXHitType Hit,
    const TXIntCommandEvent& Method, const String& HitName, Integer Command, const String& Args);
TXIntCommandTimer* ScheduleIntCommand(Cardinal Interval, Integer Monitor, TXHitType Hit, TXIntCommandProc Method,
    TComponent* Receiver, const String& HitName, Integer Command, const String& Args);

// ---- gears ----

class TXGearBox;

namespace XEngine {

class TXGear : public TComponent {
    X_CLASS(TXGear, TComponent)
public:
    void Create(TComponent* AOwner) override;
    // Disabled from here on; stopped when it was started.
    void BeforeDestruction() override;

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value) { FEnabled = Value; }
    // The window the gear was started with; null while not started.
    HWND Context() const { return FContext; }

    virtual void DoCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName,
        const String& Command, const String& Args)
    { }
    virtual void DoIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args)
    { }
    virtual bool Activate() { return true; }
    virtual void Start(HWND AContext) { FContext = AContext; }
    // Context stays.
    virtual void Stop() { }
    // The command a hot key stands for; 0 for none.
    virtual Integer HotKeyCommand(Integer HotKeyId) { return 0; }

    // DoCommand after 20 ms, and OnCommand after 50 ms when it is assigned
    // now; both with Sender nil.
    void PostCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args);
    void PostIntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args);
    // DoCommand, then OnCommand when assigned, at once; a hook that frees
    // the gear ends the call there.
    void Command(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, const String& Command,
        const String& Args);
    void IntCommand(TObject* Sender, Integer Monitor, TXHitType Hit, const String& HitName, Integer Command,
        const String& Args);

    TXCommandEvent OnCommand;
    TXIntCommandEvent OnIntCommand;

protected:
    TLifeMark FLife;

private:
    bool FEnabled = true;
    HWND FContext = nullptr;
};

}

// The gears of a box; it owns them and drops a gear freed elsewhere.
class TXGearList : public TXComponentList<XEngine::TXGear> {
    X_CLASS(TXGearList, TXComponentList<XEngine::TXGear>)
};

// A hidden window of the gear family: a tool window, never on the task bar.
HWND AllocateGearWindow(TWndMethod Method);

// A gear with a hidden window of its own.
class TXMessageGear : public XEngine::TXGear {
    X_CLASS(TXMessageGear, XEngine::TXGear)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    HWND Window() const { return FWindow; }
    virtual void WndProc(TMessage& Message);
    // Start with the gear's own window.
    virtual void Run() { Start(FWindow); }

private:
    HWND FWindow = nullptr;
};

class TXGearBox : public XEngine::TXGear {
    X_CLASS(TXGearBox, XEngine::TXGear)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXGearList* Gears() const { return FGears.get(); }
    // The first begin runs BeginUpdating, the last end EndUpdating; an end
    // without a begin does nothing.
    void BeginUpdate();
    void EndUpdate();
    Integer UpdateCount() const { return FUpdateCount; }

    // True when this box and every gear answer True; every gear is asked.
    bool Activate() override;
    // Stores Context, then starts each gear: message gears and engine
    // boxes with their own windows, the others with Context.
    void Start(HWND AContext) override;
    void Stop() override;

protected:
    virtual void BeginUpdating() { }
    virtual void EndUpdating() { }
    // Fn for each gear listed when the walk begins, in order; a gear freed
    // or taken out meanwhile is passed over, and the walk ends when the box
    // itself is freed (False then).
    bool ForEachGear(const std::function<void(XEngine::TXGear* Gear)>& Fn);

private:
    TOwnedPtr<TXGearList> FGears;
    Integer FUpdateCount = 0;
};

// A gear box with a hidden window that turns WM_HOTKEY into numbered
// commands of the box.
class TXEngineBox : public TXGearBox {
    X_CLASS(TXEngineBox, TXGearBox)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    HWND Window() const { return FWindow; }
    // Asks every gear, then runs Run.
    bool Activate() override;
    // WM_HOTKEY: each gear's HotKeyCommand; each non-zero answer becomes
    // IntCommand(nil, 0, xhtCustom, the gear's name, the answer, "").
    // Unanswered hot keys and other messages get the default handling.
    virtual void WndProc(TMessage& Message);
    virtual void Run() { Start(FWindow); }

private:
    HWND FWindow = nullptr;
};

namespace XEngine {

// The base of the application-level engines.
class TXEngine : public TXEngineBox {
    X_CLASS(TXEngine, TXEngineBox)
};

}

// ---- event notifier ----

// Handlers by event id (TXEventObject entries, owned).
class TXEventNotifier : public XEngine::TXGear {
    X_CLASS(TXEventNotifier, XEngine::TXGear)
public:
    void Create(TComponent* AOwner) override;

    // Appends an entry and answers it (the notifier owns it).
    TXEventObject* AddHandler(Integer EventId, const TXNotifyMethod& Handler);
    // Deletes the first entry with that method.
    void RemoveHandler(const TXNotifyMethod& Handler);
    // Calls every entry for EventId in order. Entries removed meanwhile are
    // not called; entries added meanwhile wait for the next notification.
    void Notify(TObject* Sender, Integer EventId);
    Integer Count() const { return FEntries->Count(); }

private:
    TOwnedPtr<TXObjectList<TXEventObject>> FEntries;
};
