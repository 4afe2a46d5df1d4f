// The value parts of calendar objects: dates with their all-day flag,
// weekday positions, recurrence rules (modelled on iCalendar's RRULE) and
// the order of a tab's objects.
#pragma once
#include "rtl/DateTime.h"
#include "rtl/StringList.h"
#include "core/XCore.Containers.h"
#include "core/XClasses.h"

enum TXVFrequency { vfqSecondly, vfqMinutely, vfqHourly, vfqDaily, vfqWeekly, vfqMonthly, vfqYearly, vfqNone };
X_ENUM_INFO(TXVFrequency, vfqSecondly, vfqMinutely, vfqHourly, vfqDaily, vfqWeekly, vfqMonthly, vfqYearly, vfqNone)

enum TXVRecurrenceEndType { vreForever, vreInstances, vreEndDate };
X_ENUM_INFO(TXVRecurrenceEndType, vreForever, vreInstances, vreEndDate)

enum TXVSensitivityType { vcsPublic, vcsPrivate };
X_ENUM_INFO(TXVSensitivityType, vcsPublic, vcsPrivate)

enum TXVDayColorType { vdcDay, vdcHoliday, vdcCustom };
X_ENUM_INFO(TXVDayColorType, vdcDay, vdcHoliday, vdcCustom)

enum TXVOrderType { vorCustom, vorAlphaAsc, vorAlphaDesc, vorDateAsc, vorDateDesc };
X_ENUM_INFO(TXVOrderType, vorCustom, vorAlphaAsc, vorAlphaDesc, vorDateAsc, vorDateDesc)

// Copies every published property that Target has too: values through
// their setters, read-only objects through their own Assign.
void AssignPublishedProperties(TPersistent* Target, TPersistent* Source);

// A local date-time; DateOnly marks an all-day value whose time is unused.
class TXVDateTimeItem : public TXCollectionItem {
    X_CLASS(TXVDateTimeItem, TXCollectionItem)
public:
    // A new item holds the current local date-time.
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    bool DateOnly() const { return FDateOnly; }
    void SetDateOnly(bool Value) { FDateOnly = Value; }
    TDateTime DDate() const { return FDDate; }
    void SetDDate(TDateTime Value) { FDDate = Value; }

private:
    bool FDateOnly = false;
    TDateTime FDDate = 0;
};

// A weekday (1 Monday .. 7 Sunday) and its position in the month: 0 every
// such weekday, negative counted from the month's end.
class TXVWeekDayItem : public TXCollectionItem {
    X_CLASS(TXVWeekDayItem, TXCollectionItem)
public:
    bool AssignFrom(TPersistent* Source) override;

    Integer Value() const { return FValue; }
    void SetValue(Integer AValue) { FValue = AValue; }
    Word WeekDay() const { return FWeekDay; }
    void SetWeekDay(Word AValue) { FWeekDay = AValue; }

private:
    Integer FValue = 0;
    Word FWeekDay = 0;
};

class TXVWeekDayCollection : public TXCollection<TXVWeekDayItem> {
    X_CLASS(TXVWeekDayCollection, TXCollection<TXVWeekDayItem>)
public:
    using inherited::Create;

    TXVWeekDayItem* AddWeekDay(Integer Value, Word WeekDay);
    bool HasValue(Integer Value) const;
    bool HasWeekDay(Word WeekDay) const;
};

// One recurrence rule. Of its fields the expansion reads Frequency,
// Interval, EndType, EndDate, ByMonthDay and ByWeekDay.
class TXVRecurrenceItem : public TXCollectionItem {
    X_CLASS(TXVRecurrenceItem, TXCollectionItem)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    TXVRecurrenceEndType EndType() const { return FEndType; }
    void SetEndType(TXVRecurrenceEndType Value) { FEndType = Value; }
    Integer Instances() const { return FInstances; }
    void SetInstances(Integer Value) { FInstances = Value; }
    TDateTime EndDate() const { return FEndDate; }
    void SetEndDate(TDateTime Value) { FEndDate = Value; }
    Byte FirstDayOfWeek() const { return FFirstDayOfWeek; }
    void SetFirstDayOfWeek(Byte Value) { FFirstDayOfWeek = Value; }
    TXVFrequency Frequency() const { return FFrequency; }
    void SetFrequency(TXVFrequency Value) { FFrequency = Value; }
    Cardinal Interval() const { return FInterval; }
    void SetInterval(Cardinal Value) { FInterval = Value; }

    TXIntegerCollection* ByMonth() const { return FByMonth.get(); }
    TXIntegerCollection* ByWeek() const { return FByWeek.get(); }
    TXIntegerCollection* ByYearDay() const { return FByYearDay.get(); }
    TXIntegerCollection* ByMonthDay() const { return FByMonthDay.get(); }
    TXVWeekDayCollection* ByWeekDay() const { return FByWeekDay.get(); }
    TXIntegerCollection* ByDay() const { return FByDay.get(); }
    TXIntegerCollection* ByHour() const { return FByHour.get(); }
    TXIntegerCollection* ByMin() const { return FByMin.get(); }
    TXIntegerCollection* BySec() const { return FBySec.get(); }
    TXIntegerCollection* ByPosition() const { return FByPosition.get(); }

private:
    TXVRecurrenceEndType FEndType = vreForever;
    Integer FInstances = 0;
    TDateTime FEndDate = 0;
    Byte FFirstDayOfWeek = 0;
    TXVFrequency FFrequency = vfqSecondly;
    Cardinal FInterval = 0;
    TOwnedPtr<TXIntegerCollection> FByMonth, FByWeek, FByYearDay, FByMonthDay;
    TOwnedPtr<TXVWeekDayCollection> FByWeekDay;
    TOwnedPtr<TXIntegerCollection> FByDay, FByHour, FByMin, FBySec, FByPosition;
};

class TXVRecurrenceCollection : public TXCollection<TXVRecurrenceItem> {
    X_CLASS(TXVRecurrenceCollection, TXCollection<TXVRecurrenceItem>)
public:
    using inherited::Create;
};

// How a tab orders its objects, and the custom order's lines.
class TXVOrder : public TXPersistent {
    X_CLASS(TXVOrder, TXPersistent)
public:
    void Init() override;
    bool AssignFrom(TPersistent* Source) override;

    TXVOrderType OrderType() const { return FOrderType; }
    void SetOrderType(TXVOrderType Value) { FOrderType = Value; }
    TStringList* List() const { return FList.get(); }

private:
    TXVOrderType FOrderType = vorCustom;
    TOwnedPtr<TStringList> FList;
};
