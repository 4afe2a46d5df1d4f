#include "calendar_designs/XDesign.Live.h"

X_REGISTER_CLASS(TXDesignLiveObject)
X_REGISTER_CLASS(TXDDayLiveObject)
X_REGISTER_CLASS(TXDMonthLive)
X_REGISTER_CLASS(TXVCalendarLive)

X_PUBLISHED(TXDesignLiveObject) { }
X_PUBLISHED(TXDDayLiveObject) { }
X_PUBLISHED(TXDMonthLive) { }
X_PUBLISHED(TXVCalendarLive) { }

TXImageObject* HotPicture()
{
    static TOwnedPtr<TXImageObject> Picture(New<TXImageObject>());
    return Picture.get();
}

TXImageObject* MoreNotePicture()
{
    static TOwnedPtr<TXImageObject> Picture(New<TXImageObject>());
    return Picture.get();
}

// ---- TXDDayLiveObject ----

void TXDDayLiveObject::Init()
{
    inherited::Init();
    FAreas.reset(New<TXImageAreaCollection>(static_cast<TPersistent*>(nullptr)));
    FHotItem.reset(New<TXHitImageAreaItem>(nullptr));
}

void TXDDayLiveObject::Clear()
{
    FAreas->Clear();
    Flagged = false;
    DayTextColor = clNone;
    DayBgColor = clNone;
}

void TXDDayLiveObject::AppendAreas(Integer Count, TXAreaCollection* Areas)
{
    const Integer N = std::min(Count, FAreas->Count());
    for (Integer I = 0; I < N; ++I)
        Areas->Add()->Assign(FAreas->GetItem(I));
}

void TXDDayLiveObject::AddArea(const String& AHint, const String& Command, TXImageObject* Picture, const String& Args)
{
    auto* Item = static_cast<TXHitImageAreaItem*>(FAreas->Add());
    Item->SetHit(xhtCustom);
    Item->SetHint(AHint);
    Item->SetCommand(Command);
    Item->SetArgs(Args);
    if (Picture)
        Item->Image()->Assign(Picture);
}

// ---- TXDMonthLive ----

void TXDMonthLive::Init()
{
    inherited::Init();
    for (auto& Day : FDays)
        Day.reset(New<TXDDayLiveObject>());
}

void TXDMonthLive::Clear()
{
    for (auto& Day : FDays) {
        Day->Clear();
        Day->HotItem()->Image()->Assign(HotPicture());
    }
}

void TXDMonthLive::AppendAreas(Integer Count, TXAreaCollection* Areas)
{
    for (auto& Day : FDays)
        Day->AppendAreas(Count, Areas);
}

Integer TXDMonthLive::MaxAreas() const
{
    Integer Most = 0;
    for (const auto& Day : FDays)
        Most = std::max(Most, Day->Areas()->Count());
    return Most;
}

// ---- TXVCalendarLive ----

void TXVCalendarLive::Init()
{
    inherited::Init();
    FAreas.reset(New<TXAreaCollection>(static_cast<TPersistent*>(nullptr), TXHitAreaItem::StaticClass()));
}

void TXVCalendarLive::Clear()
{
    FAreas->Clear();
    ActiveMonth = nullptr;
    NextActiveMonth = nullptr;
}

void TXVCalendarLive::AppendAreas(Integer, TXAreaCollection* Areas)
{
    for (Integer I = 0; I < FAreas->Count(); ++I)
        Areas->Add()->Assign(FAreas->Items(I));
}
