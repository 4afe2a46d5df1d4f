// Live objects: what the "VCalendar" default fills in for the calendar
// items on every data pass (each day's colours, hint and pictured entries,
// the schedule's months and quick note), and the hit areas built from them.
#pragma once
#include "calendar_designs/XVActive.Calendar.h"
#include "calendar_designs/XDesign.Items.h"
#include "graphics/XControls.h"

// Shared pictures: the hot picture of day areas and the mark drawn where a
// note did not fit. Empty until the program loads its own into them.
TXImageObject* HotPicture();
TXImageObject* MoreNotePicture();

class TXDesignLiveObject : public TXPersistent {
    X_CLASS(TXDesignLiveObject, TXPersistent)
public:
    // Copies up to Count areas (all of them where Count does not limit).
    virtual void AppendAreas(Integer Count, TXAreaCollection* Areas) { }
};

class TXDDayLiveObject : public TXDesignLiveObject {
    X_CLASS(TXDDayLiveObject, TXDesignLiveObject)
public:
    void Init() override;
    void Clear() override;
    void AppendAreas(Integer Count, TXAreaCollection* Areas) override;
    // A custom area with its picture; the rectangle is set while painting.
    void AddArea(const String& Hint, const String& Command, TXImageObject* Picture, const String& Args);

    bool Flagged = false;
    TColor DayTextColor = clNone;
    TColor DayBgColor = clNone;
    String Hint;
    TXImageAreaCollection* Areas() const { return FAreas.get(); }
    TXHitImageAreaItem* HotItem() const { return FHotItem.get(); }

private:
    TOwnedPtr<TXImageAreaCollection> FAreas;
    TOwnedPtr<TXHitImageAreaItem> FHotItem;
};

class TXDMonthLive : public TXDesignLiveObject {
    X_CLASS(TXDMonthLive, TXDesignLiveObject)
public:
    void Init() override;
    void Clear() override;
    void AppendAreas(Integer Count, TXAreaCollection* Areas) override;
    Integer MaxAreas() const;
    // Day 1 .. 31.
    TXDDayLiveObject* Days(Integer Day) const { return FDays[size_t(Day - 1)].get(); }

private:
    std::array<TOwnedPtr<TXDDayLiveObject>, 31> FDays;
};

class TXVCalendarLive : public TXDesignLiveObject {
    X_CLASS(TXVCalendarLive, TXDesignLiveObject)
public:
    void Init() override;
    // The areas and both months; the quick note stays.
    void Clear() override;
    void AppendAreas(Integer Count, TXAreaCollection* Areas) override;

    TXAreaCollection* Areas() const { return FAreas.get(); }
    TXVQuickNoteObject* QuickNote = nullptr; // the storage's
    TXVActiveMonth* ActiveMonth = nullptr; // the engine's
    TXVActiveMonth* NextActiveMonth = nullptr;

private:
    TOwnedPtr<TXAreaCollection> FAreas;
};
