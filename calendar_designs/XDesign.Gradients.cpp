#include "calendar_designs/XDesign.Gradients.h"

X_REGISTER_CLASS(TXGradientStop)
X_REGISTER_CLASS(TXGradientStops)
X_REGISTER_CLASS(TXGradientObject)
X_REGISTER_CLASS(TXCalendarColors)

X_PUBLISHED(TXGradientStop)
{
    X_PROP(Name, DisplayName, SetDisplayName);
    X_PROP(Color, Color, SetColor).Type(ColorTypeInfo()).Default(0);
    X_PROP(Position, Position, SetPosition).Default(0);
    X_PROP(Mid, Mid, SetMid).Default(0);
}

X_PUBLISHED(TXGradientObject)
{
    X_PROP_READONLY(Stops, Stops);
}

namespace {

template<Integer Index>
void PublishCalendarColor(XDetail::TPropDefiner<TXCalendarColors>& D, const char16_t* Name)
{
    D.Prop(
         Name, [](TXCalendarColors* C) { return C->ColorByIndex(Index); },
         [](TXCalendarColors* C, TColor V) { C->SetColorByIndex(Index, V); })
        .Type(ColorTypeInfo())
        .Default(clNone);
}

}

X_PUBLISHED(TXCalendarColors)
{
    PublishCalendarColor<cciBg>(D, u"BgColor");
    PublishCalendarColor<cciSaturdayBg>(D, u"SaturdayBgColor");
    PublishCalendarColor<cciSundayBg>(D, u"SundayBgColor");
    PublishCalendarColor<cciHolidayBg>(D, u"HolidayBgColor");
    PublishCalendarColor<cciDay>(D, u"DayColor");
    PublishCalendarColor<cciSaturday>(D, u"SaturdayColor");
    PublishCalendarColor<cciSunday>(D, u"SundayColor");
    PublishCalendarColor<cciHoliday>(D, u"HolidayColor");
    PublishCalendarColor<cciToday>(D, u"TodayColor");
    PublishCalendarColor<cciDayShadow>(D, u"DayShadowColor");
    PublishCalendarColor<cciGrid>(D, u"GridColor");
}

// ---- TXGradientStop ----

void TXGradientStop::Clear()
{
    inherited::Clear();
    FColor = 0;
    FPosition = 0;
    FMid = 0;
}

bool TXGradientStop::AssignFrom(TPersistent* Source)
{
    inherited::AssignFrom(Source);
    auto* Other = DynamicCast<TXGradientStop>(Source);
    if (!Other)
        return false;
    FColor = Other->FColor;
    FPosition = Other->FPosition;
    FMid = Other->FMid;
    return true;
}

// ---- TXGradientObject ----

void TXGradientObject::Init()
{
    inherited::Init();
    FStops.reset(New<TXGradientStops>(static_cast<TPersistent*>(this), TXGradientStop::StaticClass()));
}

void TXGradientObject::Clear()
{
    inherited::Clear();
    if (FStops)
        FStops->Clear();
}

bool TXGradientObject::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXGradientObject>(Source);
    if (!Other)
        return false;
    FStops->Assign(Other->FStops.get());
    return true;
}

// ---- TXCalendarColors ----

void TXCalendarColors::SetDefaults()
{
    inherited::SetDefaults();
    FColors.fill(clNone);
}

bool TXCalendarColors::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXCalendarColors>(Source);
    if (!Other)
        return false;
    FColors = Other->FColors;
    return true;
}

bool TXCalendarColors::IsEmpty()
{
    for (TColor C : FColors)
        if (C == clNone)
            return true;
    return false;
}
