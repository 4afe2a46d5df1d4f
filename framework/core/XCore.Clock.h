// The process clock: the single time source of the scheduled work.
//
// Every second a timer reads the local time and broadcasts, synchronously
// on the clock's observable: when the minute of the day changed, a changed
// notification, one exact-minute notification for every minute passed since
// the last change (across midnight too, with the day notification between
// the old day's and the new day's minutes), an hour notification at minute
// 0 and a minute notification; then, every second, a tick. Clock gears turn
// these into component events once their owner calls FireAll:
//
//     Gear = New<TXClockGear>(Owner);
//     Gear->SetOnMinute([this](TObject*) { Rotate(); });
//     Gear->FireAll();
#pragma once
#include "rtl/Component.h"
#include "rtl/LifeWatch.h"
#include "rtl/Lists.h"
#include "rtl/StringList.h"
#include "win/Time.h"
#include "win/Timers.h"
#include "core/XCore.Engine.Observers.h"

// The time zone the clock converts with: local time = UTC - Bias minutes.
struct TXTimeZone {
    Integer Bias = 0;
};

// A SYSTEMTIME-shaped reading whose day of the week is ISO (1 Monday ..
// 7 Sunday).
using TXLocalTime = SYSTEMTIME;

class TXQVClock : public TXInitializableObject {
    X_CLASS(TXQVClock, TXInitializableObject)
public:
    // Observable, first reading, timer, and the subscription to system time
    // changes on the application engine.
    void Init() override;
    void BeforeDestruction() override;

    // Reads the time zone again, then the time.
    virtual void Refresh();
    // Reads the clock; answers the local date-time.
    virtual TDateTime ReadTime();
    // The timer event.
    void Tick();

    // The minute (0..59) at which the clock was created.
    Integer GetClockMinute() const;

    IXObservable* Observable() const { return FObservable.get(); }
    const TXTimeZone& TimeZone() const { return FTimeZone; }
    TDateTime StartTime() const { return FStartTime; }
    TDateTime LastTime() const { return FLastTime; }
    TDateTime Now() const { return FNow; }
    TDateTime UtcNow() const { return FUtcNow; }
    // UtcNow - Now, in days.
    TDateTime UtcOffset() const { return FUtcOffset; }
    const TXLocalTime& LocalTime() const { return FLocalTime; }
    Word LastMinOfDay() const { return FLastMinOfDay; }
    bool GetTick() const { return FTick; }
    TTimerObject* Timer() const { return FTimer.get(); }

private:
    void OnSystemTimeChanged(IXNotification* Notification);
    TXNotificationHandler SystemTimeHandler();

    TXTimeZone FTimeZone;
    TOwnedPtr<TTimerObject> FTimer;
    TOwnedPtr<TXObservable> FObservable;
    IPtr<IXObservable> FAppObservable;
    TDateTime FStartTime = 0;
    TDateTime FLastTime = 0;
    TDateTime FNow = 0;
    TDateTime FUtcNow = 0;
    TDateTime FUtcOffset = 0;
    TXLocalTime FLocalTime;
    Word FLastMinOfDay = 0;
    bool FTick = false;
};

using TXDateTimeEvent = std::function<void(TObject* Sender, TDateTime DateTime, Word MinOfDay)>;
using TXTickEvent = std::function<void(TObject* Sender, bool Tick)>;

// Turns the clock's notifications into events. Assigning an event
// subscribes on the clock; events run only while Enabled, which FireAll
// sets. Created disabled.
class TXClockGear : public TComponent {
    X_CLASS(TXClockGear, TComponent)
public:
    void BeforeDestruction() override;

    void SetOnExactMinute(TXDateTimeEvent Value);
    void SetOnMinute(TNotifyEvent Value);
    void SetOnHour(TNotifyEvent Value);
    void SetOnDay(TNotifyEvent Value);
    void SetOnChanged(TNotifyEvent Value);
    void SetOnTick(TXTickEvent Value);
    const TXDateTimeEvent& OnExactMinute() const { return FOnExactMinute; }
    const TNotifyEvent& OnMinute() const { return FOnMinute; }
    const TNotifyEvent& OnHour() const { return FOnHour; }
    const TNotifyEvent& OnDay() const { return FOnDay; }
    const TNotifyEvent& OnChanged() const { return FOnChanged; }
    const TXTickEvent& OnTick() const { return FOnTick; }

    // Sets Started and Enabled, then runs at once OnDay, OnExactMinute
    // (with the clock's time), OnMinute, OnChanged and OnTick.
    void FireAll();

    bool Started = false;
    bool Enabled = false;

private:
    void ExactMinuteNotified(IXNotification* N);
    void MinuteNotified(IXNotification* N);
    void HourNotified(IXNotification* N);
    void DayNotified(IXNotification* N);
    void ChangedNotified(IXNotification* N);
    void TickNotified(IXNotification* N);
    void Follow(TClass Aspect, const TXNotificationHandler& Handler, bool Assigned);

    TXDateTimeEvent FOnExactMinute;
    TNotifyEvent FOnMinute;
    TNotifyEvent FOnHour;
    TNotifyEvent FOnDay;
    TNotifyEvent FOnChanged;
    TXTickEvent FOnTick;
    TLifeMark FLife;
};

// The base of gears that act every so many days. Its fields are only
// stored and its check does nothing; descendants decide.
class TXElapsedDaysGear : public TComponent {
    X_CLASS(TXElapsedDaysGear, TComponent)
public:
    void BeforeDestruction() override;

    virtual Integer DaysLeft() { return 0; }
    virtual void Check() { }
    virtual TDateTime GetLastDate() = 0;
    virtual void SetLastDate(TDateTime Value) = 0;
    virtual void Checked(TDateTime Value) { SetLastDate(Value); }
    virtual void Postponed(TDateTime Value) { SetLastDate(Value); }
    virtual bool Ask() = 0;
    virtual void Run() = 0;

    void SetIntervalDays(Integer Value) { FIntervalDays = FNextIntervalDays = Value; }
    void SetDelayDays(Integer Value) { FDelayDays = FNextDelayDays = Value; }
    Integer IntervalDays() const { return FIntervalDays; }
    Integer NextIntervalDays() const { return FNextIntervalDays; }
    Integer DelayDays() const { return FDelayDays; }
    Integer NextDelayDays() const { return FNextDelayDays; }
    Integer MaxDays = 30;
    Integer StartMinutes = 10;

private:
    Integer FIntervalDays = 5;
    Integer FNextIntervalDays = 5;
    Integer FDelayDays = 0;
    Integer FNextDelayDays = 0;
};

// An owner of the application's timers.
class TXQVTimers : public TXInitializableObject {
    X_CLASS(TXQVTimers, TXInitializableObject)
public:
    void Init() override;
    TComponentList* Timers() const { return FTimers.get(); }

private:
    TOwnedPtr<TComponentList> FTimers;
};

// The single instances; null outside the unit's lifetime.
TXQVClock* QVClock();
TXQVTimers* QVTimers();
