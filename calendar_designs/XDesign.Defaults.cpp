#include "calendar_designs/XDesign.Defaults.h"
#include "rtl/DateTime.h"

X_REGISTER_CLASS(TXDDefaultItem)
X_REGISTER_CLASS(TXDDefaultDate)
X_REGISTER_CLASS(TXDDefaultFormat)
X_REGISTER_CLASS(TXDDefaultVCalendar)
X_REGISTER_CLASS(TXDDefaultVisible)
X_REGISTER_CLASS(TXDDefaultAlpha)
X_REGISTER_CLASS(TXDDefaultList)

X_PUBLISHED(TXDDefaultItem)
{
    X_PROP(Name, GetName, SetName);
    X_PROP(EqualClasses, EqualClasses, SetEqualClasses).Default(false);
    X_PROP_READONLY(DefaultNames, DefaultNames);
}

X_PUBLISHED(TXDDefaultDate) { }
X_PUBLISHED(TXDDefaultFormat) { }
X_PUBLISHED(TXDDefaultVCalendar) { }

X_PUBLISHED(TXDDefaultVisible)
{
    X_PROP(Visible, Visible, SetVisible).Default(false);
}

X_PUBLISHED(TXDDefaultAlpha)
{
    X_PROP(Alpha, Alpha, SetAlpha).Default(255);
    X_PROP(BgAlpha, BgAlpha, SetBgAlpha).Default(255);
    X_PROP(UseBgAlpha, UseBgAlpha, SetUseBgAlpha).Default(false);
    X_PROP(TransparentColor, TransparentColor, SetTransparentColor).Type(ColorTypeInfo()).Default(clNone);
}

// ---- TXDDefaultItem ----

void TXDDefaultItem::Init()
{
    inherited::Init();
    FDefaultNames = MakeOwned<TStringList>();
}

bool TXDDefaultItem::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXDDefaultItem>(Source);
    if (!Other)
        return false;
    inherited::AssignFrom(Source);
    FEqualClasses = Other->FEqualClasses;
    FDefaultNames->Assign(Other->FDefaultNames.get());
    return true;
}

void TXDDefaultItem::AssignTo(TPersistent* Dest)
{
    if (auto* Item = DynamicCast<TXDesignItem>(Dest))
        WriteInto(Item);
    else
        inherited::AssignTo(Dest);
}

// ---- TXDDefaultDate ----

void TXDDefaultDate::Init()
{
    inherited::Init();
    Word Y = 0, M = 0, D = 0;
    DecodeDate(Date(), Y, M, D);
    Day = D;
    Month = M;
    Year = Y;
}

bool TXDDefaultDate::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDDefaultDate>(Source)) {
        Day = Other->Day;
        Month = Other->Month;
        Year = Other->Year;
    }
    return inherited::AssignFrom(Source);
}

void TXDDefaultDate::WriteInto(TXDesignItem* Item)
{
    Item->TakeDate(Day, Month, Year);
}

// ---- TXDDefaultFormat ----

void TXDDefaultFormat::Init()
{
    inherited::Init();
    QVLocale()->GetUserFormatSettings(FormatSettings);
}

bool TXDDefaultFormat::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDDefaultFormat>(Source))
        FormatSettings = Other->FormatSettings;
    return inherited::AssignFrom(Source);
}

void TXDDefaultFormat::WriteInto(TXDesignItem* Item)
{
    Item->TakeFormatSettings(FormatSettings);
}

// ---- TXDDefaultVCalendar ----

bool TXDDefaultVCalendar::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDDefaultVCalendar>(Source))
        Engine = Other->Engine;
    return inherited::AssignFrom(Source);
}

void TXDDefaultVCalendar::WriteInto(TXDesignItem* Item)
{
    Item->TakeCalendarEngine(Engine);
}

// ---- TXDDefaultVisible ----

bool TXDDefaultVisible::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDDefaultVisible>(Source))
        FVisible = Other->FVisible;
    return inherited::AssignFrom(Source);
}

void TXDDefaultVisible::WriteInto(TXDesignItem* Item)
{
    Item->SetBoolProp(0, FVisible);
}

// ---- TXDDefaultAlpha ----

bool TXDDefaultAlpha::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXDDefaultAlpha>(Source)) {
        FAlpha = Other->FAlpha;
        FBgAlpha = Other->FBgAlpha;
        FUseBgAlpha = Other->FUseBgAlpha;
        FTransparentColor = Other->FTransparentColor;
    }
    return inherited::AssignFrom(Source);
}

void TXDDefaultAlpha::WriteInto(TXDesignItem* Item)
{
    Item->SetBoolProp(2, FUseBgAlpha);
    Item->SetColorProp(0, FTransparentColor);
    Item->SetByteProp(0, FAlpha);
    Item->SetByteProp(1, FBgAlpha);
}

// ---- TXDDefaultList ----

TXDDefaultItem* TXDDefaultList::FindByName(const String& Name) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (auto* Default = DynamicCast<TXDDefaultItem>(Items(I)); Default && SameText(Default->Name(), Name))
            return Default;
    return nullptr;
}

void TXDDefaultList::SetDate(Word Day, Word Month, Integer Year)
{
    auto* D = DynamicCast<TXDDefaultDate>(FindByName(u"Date"));
    if (!D)
        return;
    D->Day = Day;
    D->Month = Month;
    D->Year = Year;
    Changed = true;
}

void TXDDefaultList::SetFormatSettings(const TXFormatSettings& Settings)
{
    auto* F = DynamicCast<TXDDefaultFormat>(FindByName(u"Format"));
    if (!F)
        return;
    F->FormatSettings = Settings;
    Changed = true;
}

bool TXDDefaultList::SetCalendarEngine(TXVActiveCalendarEngine* Engine)
{
    TXDDefaultItem* Found = FindByName(u"VCalendar");
    if (!Found) {
        Found = New<TXDDefaultVCalendar>();
        Found->SetName(u"VCalendar");
        Add(Found);
    }
    auto* V = DynamicCast<TXDDefaultVCalendar>(Found);
    if (!V)
        return false;
    V->Engine = Engine;
    Changed = true;
    return true;
}
