#include "calendar_designs/XVData.Items.h"
#include "rtl/TypInfo.h"

X_REGISTER_CLASS(TXVDateTimeItem)
X_REGISTER_CLASS(TXVWeekDayItem)
X_REGISTER_CLASS(TXVWeekDayCollection)
X_REGISTER_CLASS(TXVRecurrenceItem)
X_REGISTER_CLASS(TXVRecurrenceCollection)
X_REGISTER_CLASS(TXVOrder)

X_PUBLISHED(TXVDateTimeItem)
{
    X_PROP(DateOnly, DateOnly, SetDateOnly).Default(false);
    X_PROP_DATETIME(DDate, DDate, SetDDate);
}

X_PUBLISHED(TXVWeekDayItem)
{
    X_PROP(Value, Value, SetValue);
    X_PROP(WeekDay, WeekDay, SetWeekDay);
}

X_PUBLISHED(TXVRecurrenceItem)
{
    X_PROP(EndType, EndType, SetEndType);
    X_PROP(Instances, Instances, SetInstances);
    X_PROP_DATETIME(EndDate, EndDate, SetEndDate);
    X_PROP(FirstDayOfWeek, FirstDayOfWeek, SetFirstDayOfWeek);
    X_PROP(Frequency, Frequency, SetFrequency);
    X_PROP(Interval, Interval, SetInterval);
    X_PROP_READONLY(ByMonth, ByMonth);
    X_PROP_READONLY(ByWeek, ByWeek);
    X_PROP_READONLY(ByYearDay, ByYearDay);
    X_PROP_READONLY(ByMonthDay, ByMonthDay);
    X_PROP_READONLY(ByWeekDay, ByWeekDay);
    X_PROP_READONLY(ByDay, ByDay);
    X_PROP_READONLY(ByHour, ByHour);
    X_PROP_READONLY(ByMin, ByMin);
    X_PROP_READONLY(BySec, BySec);
    X_PROP_READONLY(ByPosition, ByPosition);
}

X_PUBLISHED(TXVOrder)
{
    X_PROP(OrderType, OrderType, SetOrderType).Default(vorCustom);
    X_PROP_READONLY(List, List);
}

void AssignPublishedProperties(TPersistent* Target, TPersistent* Source)
{
    if (!Target || !Source || Target == Source)
        return;
    for (const TPropInfo* Prop : GetPropList(Source->ClassType())) {
        if (!Target->InheritsFrom(Prop->Owner) || !Prop->Get)
            continue;
        if (Prop->Set) {
            Prop->Set(Target, Prop->Get(Source));
            continue;
        }
        auto* To = DynamicCast<TPersistent>(GetObjectProp(Target, Prop));
        auto* From = DynamicCast<TPersistent>(GetObjectProp(Source, Prop));
        if (To && From)
            To->Assign(From);
    }
}

void TXVDateTimeItem::Init()
{
    inherited::Init();
    FDDate = Now();
}

bool TXVDateTimeItem::AssignFrom(TPersistent* Source)
{
    if (DynamicCast<TXVDateTimeItem>(Source))
        AssignPublishedProperties(this, Source);
    return inherited::AssignFrom(Source);
}

bool TXVWeekDayItem::AssignFrom(TPersistent* Source)
{
    if (DynamicCast<TXVWeekDayItem>(Source))
        AssignPublishedProperties(this, Source);
    return inherited::AssignFrom(Source);
}

TXVWeekDayItem* TXVWeekDayCollection::AddWeekDay(Integer Value, Word WeekDay)
{
    TXVWeekDayItem* Item = Add();
    Item->SetValue(Value);
    Item->SetWeekDay(WeekDay);
    return Item;
}

bool TXVWeekDayCollection::HasValue(Integer Value) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I)->Value() == Value)
            return true;
    return false;
}

bool TXVWeekDayCollection::HasWeekDay(Word WeekDay) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I)->WeekDay() == WeekDay)
            return true;
    return false;
}

void TXVRecurrenceItem::Init()
{
    inherited::Init();
    auto NewList = [] { return New<TXIntegerCollection>(static_cast<TPersistent*>(nullptr)); };
    FByMonth.reset(NewList());
    FByWeek.reset(NewList());
    FByYearDay.reset(NewList());
    FByMonthDay.reset(NewList());
    FByWeekDay.reset(New<TXVWeekDayCollection>(static_cast<TPersistent*>(nullptr)));
    FByDay.reset(NewList());
    FByHour.reset(NewList());
    FByMin.reset(NewList());
    FBySec.reset(NewList());
    FByPosition.reset(NewList());
}

bool TXVRecurrenceItem::AssignFrom(TPersistent* Source)
{
    if (DynamicCast<TXVRecurrenceItem>(Source))
        AssignPublishedProperties(this, Source);
    return inherited::AssignFrom(Source);
}

void TXVOrder::Init()
{
    inherited::Init();
    FList.reset(New<TStringList>());
}

bool TXVOrder::AssignFrom(TPersistent* Source)
{
    if (!DynamicCast<TXVOrder>(Source))
        return inherited::AssignFrom(Source);
    AssignPublishedProperties(this, Source);
    return true;
}
