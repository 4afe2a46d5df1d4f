#include "core/XCore.Clock.h"
#include "rtl/Units.h"
#include "core/XCore.App.h"
#include <cmath>

X_REGISTER_CLASS(TXQVClock)
X_REGISTER_CLASS(TXClockGear)
X_REGISTER_CLASS(TXElapsedDaysGear)
X_REGISTER_CLASS(TXQVTimers)

namespace {
TXQVClock* GClock = nullptr;
TXQVTimers* GTimers = nullptr;

void InitClock()
{
    GTimers = New<TXQVTimers>();
    GClock = New<TXQVClock>();
}

void DoneClock()
{
    FreeAndNil(GClock);
    FreeAndNil(GTimers);
}

constexpr Int64 MSecsPerMinute = 60 * 1000;

TDateTime AddMinutes(TDateTime Value, Int64 Minutes)
{
    return MillisecondsToDateTime(DateTimeToMilliseconds(Value) + Minutes * MSecsPerMinute);
}

// A new notification counted on this thread only (mode 1), no topic and no
// sender, broadcast at once.
template<class TAspect>
void BroadcastNew(IXObservable* Observable, TAspect* Aspect)
{
    auto* N = new TXNotification<TAspect>();
    IPtr<IXNotification> Held(Construct(N, Byte(1), String(), static_cast<TObject*>(nullptr), Aspect));
    Observable->Broadcast(Held.Get());
}
}

X_UNIT(XCore_Clock, "XCore.Clock", ({ "XCore.App" }), &InitClock, &DoneClock)

TXQVClock* QVClock()
{
    return GClock;
}

TXQVTimers* QVTimers()
{
    return GTimers;
}

// ---- TXQVClock ----

void TXQVClock::Init()
{
    inherited::Init();
    FObservable.reset(New<TXObservable>(AppEngineHost()));
    Refresh();
    FStartTime = FLastTime = FNow;
    FLastMinOfDay = Word(FLocalTime.wHour * 60 + FLocalTime.wMinute);
    FTimer.reset(New<TTimerObject>());
    FTimer->SetInterval(1000);
    FTimer->SetOnTimer([this](TObject*) { Tick(); });
    FTimer->SetEnabled(true);
    if (TXAppEngine* Engine = GetAppEngine()) {
        FAppObservable = IPtr<IXObservable>(static_cast<IXObservable*>(Engine));
        FAppObservable->Subscribe(TXSystemTimeChangedAspect::StaticClass(), SystemTimeHandler());
    }
}

void TXQVClock::BeforeDestruction()
{
    if (IPtr<IXObservable> App = std::move(FAppObservable))
        App->UnsubscribeMethod(SystemTimeHandler());
    FTimer.reset();
    inherited::BeforeDestruction();
}

TXNotificationHandler TXQVClock::SystemTimeHandler()
{
    return TXNotificationHandler::Of<&TXQVClock::OnSystemTimeChanged>(this);
}

void TXQVClock::Refresh()
{
    const TTimeSource::TWallTime Wall = TimeSource().WallTime();
    FTimeZone.Bias = Integer((Wall.Utc - Wall.Local) / MSecsPerMinute);
    ReadTime();
}

TDateTime TXQVClock::ReadTime()
{
    SYSTEMTIME Utc;
    GetSystemTime(&Utc);
    FUtcNow = SystemTimeToDateTime(Utc);
    FNow = AddMinutes(FUtcNow, -FTimeZone.Bias);
    FUtcOffset = FUtcNow - FNow;
    DateTimeToSystemTime(FNow, FLocalTime);
    FLocalTime.wDayOfWeek = DayOfTheWeek(FNow);
    return FNow;
}

Integer TXQVClock::GetClockMinute() const
{
    Word H, M, S, Ms;
    DecodeTime(FStartTime, H, M, S, Ms);
    return M;
}

void TXQVClock::Tick()
{
    ReadTime();
    FTick = !FTick;
    const bool TickNow = FTick;
    const TDateTime NewTime = FNow;
    const Word M = Word(FLocalTime.wHour * 60 + FLocalTime.wMinute);
    const Word OldMin = FLastMinOfDay;
    const TDateTime OldTime = FLastTime;
    const bool NewDay = std::trunc(NewTime) != std::trunc(OldTime);

    // A day passed at the very same minute is a change too.
    if (M != OldMin || NewDay) {
        // The new minute is stored before anything is told: a handler that
        // pumps messages meets the next tick nested in this one, and that
        // tick must not announce these minutes again.
        FLastMinOfDay = M;
        FLastTime = NewTime;

        IXObservable* Obs = FObservable.get();
        BroadcastNew(Obs, New<TXTimeChangedAspect>());
        if (NewDay) {
            for (Integer I = OldMin + 1; I <= 1439; ++I)
                BroadcastNew(Obs, New<TXTimeExactMinuteAspect>(Word(I), AddMinutes(OldTime, I - OldMin)));
            BroadcastNew(Obs, New<TXTimeDayAspect>());
            const TDateTime Midnight = std::trunc(NewTime);
            for (Integer I = 0; I <= M; ++I)
                BroadcastNew(Obs, New<TXTimeExactMinuteAspect>(Word(I), AddMinutes(Midnight, I)));
        } else if (M > OldMin) {
            for (Integer D = 1; D <= M - OldMin; ++D)
                BroadcastNew(Obs, New<TXTimeExactMinuteAspect>(Word(OldMin + D), AddMinutes(OldTime, D)));
        }
        if (M % 60 == 0)
            BroadcastNew(Obs, New<TXTimeHourAspect>());
        BroadcastNew(Obs, New<TXTimeMinuteAspect>());
    }
    BroadcastNew(FObservable.get(), New<TXTimeTickAspect>(TickNow));
}

void TXQVClock::OnSystemTimeChanged(IXNotification*)
{
    Refresh();
    Tick();
}

// ---- TXClockGear ----

void TXClockGear::BeforeDestruction()
{
    if (GClock)
        GClock->Observable()->UnsubscribeComponent(this);
    inherited::BeforeDestruction();
}

void TXClockGear::Follow(TClass Aspect, const TXNotificationHandler& Handler, bool Assigned)
{
    if (!GClock)
        return;
    IXObservable* Obs = GClock->Observable();
    // One subscription per event, however often it is assigned.
    Obs->Unsubscribe(Aspect, Handler);
    if (Assigned)
        Obs->Subscribe(Aspect, Handler);
}

void TXClockGear::SetOnExactMinute(TXDateTimeEvent Value)
{
    FOnExactMinute = std::move(Value);
    Follow(TXTimeExactMinuteAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::ExactMinuteNotified>(this),
        bool(FOnExactMinute));
}

void TXClockGear::SetOnMinute(TNotifyEvent Value)
{
    FOnMinute = std::move(Value);
    Follow(TXTimeMinuteAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::MinuteNotified>(this),
        bool(FOnMinute));
}

void TXClockGear::SetOnHour(TNotifyEvent Value)
{
    FOnHour = std::move(Value);
    Follow(TXTimeHourAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::HourNotified>(this), bool(FOnHour));
}

void TXClockGear::SetOnDay(TNotifyEvent Value)
{
    FOnDay = std::move(Value);
    Follow(TXTimeDayAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::DayNotified>(this), bool(FOnDay));
}

void TXClockGear::SetOnChanged(TNotifyEvent Value)
{
    FOnChanged = std::move(Value);
    Follow(TXTimeChangedAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::ChangedNotified>(this),
        bool(FOnChanged));
}

void TXClockGear::SetOnTick(TXTickEvent Value)
{
    FOnTick = std::move(Value);
    Follow(TXTimeTickAspect::StaticClass(), TXNotificationHandler::Of<&TXClockGear::TickNotified>(this), bool(FOnTick));
}

void TXClockGear::ExactMinuteNotified(IXNotification* N)
{
    auto* A = DynamicCast<TXTimeExactMinuteAspect>(N->GetAspect());
    if (!Enabled || !A)
        return;
    if (TXDateTimeEvent Event = FOnExactMinute)
        Event(this, A->DateTime, A->MinOfDay);
}

void TXClockGear::MinuteNotified(IXNotification*)
{
    if (!Enabled)
        return;
    if (TNotifyEvent Event = FOnMinute)
        Event(this);
}

void TXClockGear::HourNotified(IXNotification*)
{
    if (!Enabled)
        return;
    if (TNotifyEvent Event = FOnHour)
        Event(this);
}

void TXClockGear::DayNotified(IXNotification*)
{
    if (!Enabled)
        return;
    if (TNotifyEvent Event = FOnDay)
        Event(this);
}

void TXClockGear::ChangedNotified(IXNotification*)
{
    if (!Enabled)
        return;
    if (TNotifyEvent Event = FOnChanged)
        Event(this);
}

void TXClockGear::TickNotified(IXNotification* N)
{
    auto* A = DynamicCast<TXTimeTickAspect>(N->GetAspect());
    if (!Enabled || !A)
        return;
    if (TXTickEvent Event = FOnTick)
        Event(this, A->Tick);
}

void TXClockGear::FireAll()
{
    Started = true;
    Enabled = true;
    TDateTime Now = 0;
    Word MinOfDay = 0;
    bool Tick = false;
    if (GClock) {
        Now = GClock->Now();
        MinOfDay = Word(GClock->LocalTime().wHour * 60 + GClock->LocalTime().wMinute);
        Tick = GClock->GetTick();
    }
    // A handler may free the gear: each event runs from a copy, and nothing
    // of the gear is touched once it is gone.
    TLifeWatch Watch(FLife);
    if (TNotifyEvent Event = FOnDay)
        Event(this);
    if (Watch.Freed())
        return;
    if (TXDateTimeEvent Event = FOnExactMinute)
        Event(this, Now, MinOfDay);
    if (Watch.Freed())
        return;
    if (TNotifyEvent Event = FOnMinute)
        Event(this);
    if (Watch.Freed())
        return;
    if (TNotifyEvent Event = FOnChanged)
        Event(this);
    if (Watch.Freed())
        return;
    if (TXTickEvent Event = FOnTick)
        Event(this, Tick);
}

// ---- TXElapsedDaysGear ----

void TXElapsedDaysGear::BeforeDestruction()
{
    if (GClock)
        GClock->Observable()->UnsubscribeComponent(this);
    inherited::BeforeDestruction();
}

// ---- TXQVTimers ----

void TXQVTimers::Init()
{
    inherited::Init();
    FTimers.reset(New<TComponentList>(true));
}
