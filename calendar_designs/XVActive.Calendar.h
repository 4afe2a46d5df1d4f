// The active calendar: what the wallpaper's month calendars show, built a
// month at a time from the holidays and journals of the calendar storage
// and kept current as the editors change them.
//
//     Engine->SetCalendars(Calendars);
//     Engine->EnsureMonth(2024, 2);
//     TXVActiveDay* Day = Engine->Day(2024, 2, 29);
//     for (TXVActiveEventObject* E : *Day->Events()) ... E->StartMinute ...
//
// Nothing here outlives the objects it points to: the storage tells the
// engine before it frees a data object, and freeing the storage clears
// the whole cache.
#pragma once
#include "calendar_designs/XVActive.Events.h"
#include <cstdint>

// One entry of one day. StartMinute -1: from the day's start; EndMinute
// 1441: to its end; both -1: all day.
class TXVActiveEventObject : public TXPersistent {
    X_CLASS(TXVActiveEventObject, TXPersistent)
public:
    TXCustomVEventObject* Event = nullptr; // the storage's
    Integer Date = 0;
    std::int16_t StartMinute = -1;
    std::int16_t EndMinute = -1;
};

class TXVActiveEventObjectList : public Generics::TObjectList<TXVActiveEventObject> {
    X_CLASS(TXVActiveEventObjectList, Generics::TObjectList<TXVActiveEventObject>)
};

class TXVActiveDay : public TXPersistent {
    X_CLASS(TXVActiveDay, TXPersistent)
public:
    void Init() override;
    // Everything but the day's place: no entries, no journal, no colours.
    void Reset(Word AYear, Word AMonth, Word ADay);

    Word Year = 0;
    Word Month = 0;
    Word Day = 0;
    TDateTime Date = 0; // 0 for a day the month does not have
    TXVJournalObject* Journal = nullptr; // the storage's
    bool IsHoliday = false;
    TColor BgColor = clNone;
    TColor TextColor = clNone;
    TXVActiveEventObjectList* Events() const { return FEvents.get(); }

private:
    TOwnedPtr<TXVActiveEventObjectList> FEvents;
};

class TXVActiveMonth : public TXPersistent {
    X_CLASS(TXVActiveMonth, TXPersistent)
public:
    void Init() override;
    void Setup(Word AYear, Word AMonth);
    Integer DaysInMonth() const { return DaysInAMonth(Year, Month); }
    // Day 1 .. 31.
    TXVActiveDay* Days(Integer Day) const { return FDays[size_t(Day - 1)].get(); }

    bool Built = false;
    Word Year = 0;
    Word Month = 0;
    TDateTime FirstDate = 0;

private:
    std::array<TOwnedPtr<TXVActiveDay>, 31> FDays;
};

class TXVActiveYear : public TXPersistent {
    X_CLASS(TXVActiveYear, TXPersistent)
public:
    void Init() override;
    void Setup(Word AYear);
    // Month 1 .. 12.
    TXVActiveMonth* Months(Integer Month) const { return FMonths[size_t(Month - 1)].get(); }

    Word Year = 0;
    TDateTime FirstDate = 0;

private:
    std::array<TOwnedPtr<TXVActiveMonth>, 12> FMonths;
};

class TXVActiveYears : public Generics::TObjectList<TXVActiveYear> {
    X_CLASS(TXVActiveYears, Generics::TObjectList<TXVActiveYear>)
};

class TXVActiveCalendarEngine : public TXVActiveEventsEngine, public IXVDataObjectWatcher {
    X_CLASS(TXVActiveCalendarEngine, TXVActiveEventsEngine)
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void DataObjectRemoving(TXCustomVDataObject* Object) override;

    void SetCalendars(TXVCalendars* Value);
    TXVCalendars* Calendars() const { return FCalendars; }

    // The year's place in Years, created when missing; -1 for a year
    // outside 1 .. 9999.
    Integer IndexOfYear(Integer Year);
    // Builds the month once; false for a month that cannot exist.
    bool EnsureMonth(Integer Year, Integer Month);
    // A day of a month (built or not); null when there is no such place.
    TXVActiveDay* Day(Integer Year, Integer Month, Integer Day);
    void AddObject(TXCustomVEventObject* Event);
    void RemoveObject(TXCustomVEventObject* Event);
    bool SetJournal(TXVJournalObject* Journal);
    void ClearJournal(TXVJournalObject* Journal);

    TXVActiveYears* Years() const { return FYears.get(); }
    // How many months have been built; each is built once.
    Integer BuildCount() const { return FBuildCount; }
    bool Changed = false;

private:
    bool ExpandIntoMonth(TXCustomVEventObject* Event, TXVActiveMonth* Month);
    void RecolorDay(TXVActiveDay* Day);
    TXVActiveDay* DayOfDate(TDateTime Date);
    void DropReferences();

    TXVCalendars* FCalendars = nullptr;
    TOwnedPtr<TXVActiveYears> FYears;
    Integer FBuildCount = 0;
};
