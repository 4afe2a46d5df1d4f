#include "calendar_designs/XVActive.Events.h"
#include "core/XCore.DateTime.Containers.h"
#include "core/XCore.DateTime.h"
#include <algorithm>
#include <bitset>
#include <optional>
#include <unordered_map>

X_REGISTER_CLASS(TXVActiveEventsEngine)

namespace {

Int64 DayOf(TDateTime Value)
{
    return Int64(DateOf(Value));
}

// Floor division and remainder for a positive divisor.
Int64 FloorDiv(Int64 A, Int64 B)
{
    return A >= 0 ? A / B : -((-A + B - 1) / B);
}

Int64 FloorMod(Int64 A, Int64 B)
{
    return A - FloorDiv(A, B) * B;
}

// 1 Monday .. 7 Sunday; day 0 is a Saturday.
Integer WeekdayOf(Int64 Day)
{
    return Integer(FloorMod(Day + 5, 7)) + 1;
}

Int64 MondayOf(Int64 Day)
{
    return Day - (WeekdayOf(Day) - 1);
}

Int64 MonthIndexOf(Int64 Day)
{
    Word Y, M, D;
    DecodeDate(TDateTime(Day), Y, M, D);
    return Int64(Y) * 12 + M - 1;
}

Int64 FirstDayOfMonthIndex(Int64 Index)
{
    return Int64(EncodeDate(Word(Index / 12), Word(Index % 12 + 1), 1));
}

Integer DaysOfMonthIndex(Int64 Index)
{
    return DaysInAMonth(Word(Index / 12), Word(Index % 12 + 1));
}

// What one call knows of the event and the month, in whole day numbers.
struct TMonthCase {
    TXCustomVEventObject* Event = nullptr;
    TXVRecurrenceItem* Rule = nullptr;
    Int64 Start = 0; // DTStart's day
    Int64 End = 0; // DTEnd's day
    Int64 Span = 0; // whole 24-hour periods between start and end
    bool AllDay = false;
    Int64 First = 0; // the month's first day
    Int64 Last = 0; // and its last
    Int64 Usable = 0; // the last usable day; valid when HasUsable
    bool HasUsable = false;
    Int64 Interval = 1;
};

// Fills C; false when a date it needs is not a day of the years 1 to 9999.
bool ReadCase(TXCustomVEventObject* Event, TDateTime MonthStart, TMonthCase& C)
{
    const TDateTime S = Event->DTStart()->DDate();
    const TDateTime E = Event->DTEnd()->DDate();
    if (!IsCalendarDate(S) || !IsCalendarDate(E) || !IsCalendarDate(MonthStart))
        return false;
    C.Event = Event;
    C.Rule = Event->RRule()->Count() > 0 ? Event->RRule()->Items(0) : nullptr;
    C.Start = DayOf(S);
    C.End = DayOf(E);
    const Int64 Ms = DateTimeToMilliseconds(E) - DateTimeToMilliseconds(S);
    C.Span = (Ms < 0 ? -Ms : Ms) / 86400000;
    C.AllDay = Event->DTStart()->DateOnly();
    Word Y, M, D;
    DecodeDate(MonthStart, Y, M, D);
    C.First = Int64(EncodeDate(Y, M, 1));
    C.Last = C.First + DaysInAMonth(Y, M) - 1;
    // A typed 0 repeats every unit; a huge interval simply ends the walk.
    C.Interval = C.Rule && C.Rule->Interval() > 0 ? Int64(C.Rule->Interval()) : 1;
    C.Usable = C.Last;
    C.HasUsable = C.Usable >= C.Start;
    if (C.HasUsable && C.Rule && C.Rule->EndType() == vreEndDate) {
        const TDateTime Until = C.Rule->EndDate();
        if (!IsCalendarDate(Until))
            return false;
        const Int64 UntilDay = DayOf(Until);
        if (UntilDay < C.First)
            C.HasUsable = false;
        else
            C.Usable = std::min(C.Usable, UntilDay);
    }
    return true;
}

// The days on which a rule's occurrences start. Days before the first
// start are answered before any date arithmetic, so a long span may ask
// about days before the year 1.
class TStarts {
public:
    virtual ~TStarts() = default;
    virtual bool Has(Int64 Day) = 0;
    // The latest start from Low to Day; none when there is none.
    virtual std::optional<Int64> Latest(Int64 Day, Int64 Low) = 0;
};

// Base, Base + Step, Base + 2 Step ...
class TDailyStarts : public TStarts {
public:
    TDailyStarts(Int64 ABase, Int64 AStep)
        : Base(ABase)
        , Step(AStep)
    { }
    bool Has(Int64 Day) override { return Day >= Base && (Day - Base) % Step == 0; }
    std::optional<Int64> Latest(Int64 Day, Int64 Low) override
    {
        if (Day < Base)
            return {};
        const Int64 S = Base + (Day - Base) / Step * Step;
        return S >= Low ? std::optional(S) : std::nullopt;
    }

private:
    Int64 Base;
    Int64 Step;
};

// Given weekdays of every Step-th week from the start's week.
class TWeeklyStarts : public TStarts {
public:
    TWeeklyStarts(Int64 Start, Int64 Interval, std::bitset<8> AWeekdays)
        : FirstWeek(MondayOf(Start))
        , Step(7 * Interval)
        , Weekdays(AWeekdays)
    { }
    bool Has(Int64 Day) override
    {
        const Int64 Week = MondayOf(Day);
        return Week >= FirstWeek && (Week - FirstWeek) % Step == 0 && Weekdays[size_t(WeekdayOf(Day))];
    }
    std::optional<Int64> Latest(Int64 Day, Int64 Low) override
    {
        if (Day < FirstWeek)
            return {};
        Int64 Week = FirstWeek + (MondayOf(Day) - FirstWeek) / Step * Step;
        for (Integer Round = 0; Round < 2 && Week >= FirstWeek; ++Round, Week -= Step) {
            for (Integer W = 7; W >= 1; --W) {
                const Int64 S = Week + W - 1;
                if (Weekdays[size_t(W)] && S <= Day)
                    return S >= Low ? std::optional(S) : std::nullopt;
            }
        }
        return {};
    }

private:
    Int64 FirstWeek;
    Int64 Step;
    std::bitset<8> Weekdays;
};

// Days of every Step-th month from the start's month: the start's day of
// the month, or those the rule's month days and weekday positions give.
class TMonthlyStarts : public TStarts {
public:
    TMonthlyStarts(const TMonthCase& C)
        : FirstMonth(MonthIndexOf(C.Start))
        , Step(C.Interval)
    {
        Word Y, M, D;
        DecodeDate(TDateTime(C.Start), Y, M, D);
        StartDay = D;
        // Each distinct value once: a list from a file may be long, and
        // values beyond a month's reach give no day anyway.
        TXIntegerCollection* MonthDays = C.Rule->ByMonthDay();
        for (Integer I = 0; I < MonthDays->Count(); ++I)
            if (const Integer V = MonthDays->Items(I)->Value(); V >= -31 && V <= 31)
                MonthDayValues.set(size_t(V + 31));
        TXVWeekDayCollection* WeekDays = C.Rule->ByWeekDay();
        for (Integer I = 0; I < WeekDays->Count(); ++I) {
            const Integer V = WeekDays->Items(I)->Value();
            const Integer W = WeekDays->Items(I)->WeekDay();
            if (V >= -5 && V <= 5 && W >= 1 && W <= 7)
                Positions.set(size_t((V + 5) * 8 + W));
        }
        Plain = MonthDays->Count() == 0 && WeekDays->Count() == 0;
    }
    bool Has(Int64 Day) override
    {
        if (Day < FirstDayOfMonthIndex(FirstMonth))
            return false;
        const Int64 Index = MonthIndexOf(Day);
        if (Index < FirstMonth || (Index - FirstMonth) % Step != 0)
            return false;
        return (DaysOf(Index) >> (Day - FirstDayOfMonthIndex(Index))) & 1;
    }
    std::optional<Int64> Latest(Int64 Day, Int64 Low) override
    {
        if (Day < FirstDayOfMonthIndex(FirstMonth))
            return {};
        const Int64 DayIndex = MonthIndexOf(Day);
        for (Int64 Index = FirstMonth + (DayIndex - FirstMonth) / Step * Step; Index >= FirstMonth; Index -= Step) {
            const Int64 First = FirstDayOfMonthIndex(Index);
            if (First + DaysOfMonthIndex(Index) - 1 < Low)
                return {};
            UInt64 Days = DaysOf(Index);
            if (Index == DayIndex)
                Days &= (UInt64(2) << (Day - First)) - 1;
            if (Days) {
                const Int64 S = First + (63 - __builtin_clzll(Days));
                return S >= Low ? std::optional(S) : std::nullopt;
            }
        }
        return {};
    }

private:
    // Bit d - 1 for each day d of the month that starts an occurrence.
    UInt64 DaysOf(Int64 Index)
    {
        if (auto It = Cache.find(Index); It != Cache.end())
            return It->second;
        const TDateTime First = TDateTime(FirstDayOfMonthIndex(Index));
        const Integer Length = DaysOfMonthIndex(Index);
        UInt64 Days = 0;
        auto Mark = [&](TDateTime D) {
            if (D != 0)
                Days |= UInt64(1) << (Int64(D) - Int64(First));
        };
        if (Plain && StartDay <= Length)
            Days |= UInt64(1) << (StartDay - 1);
        for (Integer V = -31; V <= 31; ++V)
            if (MonthDayValues[size_t(V + 31)])
                Mark(DateOfMonthDay(V, First));
        for (Integer V = -5; V <= 5; ++V)
            for (Integer W = 1; W <= 7; ++W) {
                if (!Positions[size_t((V + 5) * 8 + W)])
                    continue;
                if (V != 0)
                    Mark(DateOfNthWeekday(V, W, First));
                else
                    for (Integer K = 1; K <= 5; ++K)
                        Mark(DateOfNthWeekday(K, W, First));
            }
        if (Cache.size() > 64)
            Cache.clear();
        Cache.emplace(Index, Days);
        return Days;
    }

    Int64 FirstMonth;
    Int64 Step;
    Integer StartDay = 1;
    bool Plain = true;
    std::bitset<63> MonthDayValues;
    std::bitset<88> Positions;
    std::unordered_map<Int64, UInt64> Cache;
};

// The start's day, every year (every fourth from a 29 February), each
// counted from the start so a cut to the 28th does not carry on.
class TYearlyStarts : public TStarts {
public:
    TYearlyStarts(TDateTime AStart)
        : Start(AStart)
    {
        Word Y, M, D;
        DecodeDate(Start, Y, M, D);
        StartYear = Y;
        Years = M == 2 && D == 29 ? 4 : 1;
    }
    bool Has(Int64 Day) override
    {
        if (Day < DayOf(Start))
            return false;
        const Int64 Offset = YearOf(Day) - StartYear;
        return Offset >= 0 && Offset % Years == 0 && Occurrence(Offset / Years) == Day;
    }
    std::optional<Int64> Latest(Int64 Day, Int64 Low) override
    {
        if (Day < DayOf(Start))
            return {};
        Int64 K = FloorDiv(YearOf(Day) - StartYear, Years);
        if (K >= 0 && Occurrence(K) > Day)
            --K;
        if (K < 0)
            return {};
        const Int64 S = Occurrence(K);
        return S >= Low ? std::optional(S) : std::nullopt;
    }

private:
    static Int64 YearOf(Int64 Day)
    {
        Word Y, M, D;
        DecodeDate(TDateTime(Day), Y, M, D);
        return Y;
    }
    Int64 Occurrence(Int64 K) const { return DayOf(IncMonth(Start, Integer(K * Years * 12))); }

    TDateTime Start;
    Int64 StartYear = 0;
    Int64 Years = 1;
};

// The three day sets of one month: first, middle and last days of the
// occurrences, each occurrence clipped to the usable window as it is
// collected.
struct TDaySets {
    TOwnedPtr<TXDatesList> First { New<TXDatesList>() };
    TOwnedPtr<TXDatesList> Middle { New<TXDatesList>() };
    TOwnedPtr<TXDatesList> Last { New<TXDatesList>() };
};

void Collect(TXDatesList* List, Int64 Day, const TMonthCase& C)
{
    if (Day >= C.First && Day <= C.Usable)
        List->AddUnique(Integer(Day));
}

void CollectMiddle(TDaySets& Sets, Int64 From, Int64 To, const TMonthCase& C)
{
    for (Int64 D = std::max(From, C.First); D <= std::min(To, C.Usable); ++D)
        Sets.Middle->AddUnique(Integer(D));
}

// Whatever occurrence of Starts touches the window: a start inside it, an
// end inside it, or an occurrence from before it that reaches into it.
void CollectOccurrences(TStarts& Starts, const TMonthCase& C, TDaySets& Sets)
{
    const Int64 N = C.Span;
    for (Int64 D = C.First; D <= C.Usable; ++D) {
        if (Starts.Has(D)) {
            Collect(Sets.First.get(), D, C);
            if (N >= 2)
                CollectMiddle(Sets, D + 1, D + N - 1, C);
        }
        if (N > 0 && Starts.Has(D - N))
            Collect(Sets.Last.get(), D, C);
    }
    // Of the occurrences that start before the window, the latest one
    // reaches furthest into it.
    if (N >= 2)
        if (const auto S = Starts.Latest(C.First - 1, C.First - N + 1))
            CollectMiddle(Sets, *S + 1, *S + N - 1, C);
}

bool FlagDates(TXVDayFlags& Buffer, TDaySets& Sets, const TMonthCase& C)
{
    for (TXDatesList* L : { Sets.First.get(), Sets.Middle.get(), Sets.Last.get() })
        L->KeepRange(Integer(C.First), Integer(C.Usable));
    const bool Any = Sets.First->Count() + Sets.Middle->Count() + Sets.Last->Count() > 0;
    auto Apply = [&](TXDatesList* L, auto&& Set) {
        for (Integer I = 0; I < L->Count(); ++I)
            Set(Buffer[size_t(L->Items(I) - C.First)]);
    };
    if (C.AllDay) {
        for (TXDatesList* L : { Sets.First.get(), Sets.Middle.get(), Sets.Last.get() })
            Apply(L, [](Byte& B) { B = vdfAllDay; });
    } else if (C.Start == C.End) {
        Apply(Sets.First.get(), [](Byte& B) { B = vdfSingleDay; });
    } else {
        Apply(Sets.First.get(), [](Byte& B) { B |= vdfFirstDay; });
        Apply(Sets.Middle.get(), [](Byte& B) { B |= vdfMiddleDay; });
        Apply(Sets.Last.get(), [](Byte& B) { B |= vdfLastDay; });
    }
    return Any;
}

// Clears the buffer and reads the case; false when the event cannot give
// this month anything.
bool BeginRule(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart, TMonthCase& C)
{
    Buffer.fill(0);
    return ReadCase(Event, MonthStart, C) && C.HasUsable;
}

bool ExpandWith(TXVDayFlags& Buffer, TStarts& Starts, const TMonthCase& C)
{
    TDaySets Sets;
    CollectOccurrences(Starts, C, Sets);
    return FlagDates(Buffer, Sets, C);
}

} // namespace

bool TXVActiveEventsEngine::ExpandEventMonth(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    if (!Event || !Event->Enabled())
        return false;
    if (Event->RRule()->Count() == 0)
        return ExpandSingle(Buffer, Event, MonthStart);
    switch (Event->RRule()->Items(0)->Frequency()) {
    case vfqHourly:
        return ExpandHourly(Buffer, Event, MonthStart);
    case vfqDaily:
        return ExpandDaily(Buffer, Event, MonthStart);
    case vfqWeekly:
        return ExpandWeekly(Buffer, Event, MonthStart);
    case vfqMonthly:
        return ExpandMonthly(Buffer, Event, MonthStart);
    case vfqYearly:
        return ExpandYearly(Buffer, Event, MonthStart);
    case vfqNone:
        return ExpandSingle(Buffer, Event, MonthStart);
    default:
        return false;
    }
}

bool TXVActiveEventsEngine::ExpandSingle(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    Buffer.fill(0);
    TMonthCase C;
    if (!ReadCase(Event, MonthStart, C) || C.End < C.First || C.Last < C.Start)
        return false;
    bool Any = false;
    for (Int64 D = std::max(C.First, C.Start); D <= std::min(C.Last, C.End); ++D) {
        Byte& B = Buffer[size_t(D - C.First)];
        B = C.AllDay ? vdfAllDay
            : C.Span == 0 ? vdfSingleDay
            : D == C.Start ? vdfFirstDay
            : D == C.End   ? vdfLastDay
                           : vdfMiddleDay;
        Any = true;
    }
    return Any;
}

bool TXVActiveEventsEngine::ExpandHourly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    if (!BeginRule(Buffer, Event, MonthStart, C))
        return false;
    const Int64 From = std::max(C.Start, C.First);
    for (Int64 D = From; D <= C.Usable; ++D)
        Buffer[size_t(D - C.First)] = vdfSingleDay;
    return From <= C.Usable;
}

bool TXVActiveEventsEngine::ExpandDaily(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    if (!BeginRule(Buffer, Event, MonthStart, C))
        return false;
    TDailyStarts Starts(C.Start, C.Interval);
    return ExpandWith(Buffer, Starts, C);
}

bool TXVActiveEventsEngine::ExpandWeekly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    if (!BeginRule(Buffer, Event, MonthStart, C))
        return false;
    std::bitset<8> Weekdays;
    TXVWeekDayCollection* Items = C.Rule->ByWeekDay();
    for (Integer I = 0; I < Items->Count(); ++I)
        if (const Word W = Items->Items(I)->WeekDay(); W >= 1 && W <= 7)
            Weekdays.set(W);
    if (Items->Count() == 0)
        Weekdays.set(size_t(WeekdayOf(C.Start)));
    TWeeklyStarts Starts(C.Start, C.Interval, Weekdays);
    return ExpandWith(Buffer, Starts, C);
}

bool TXVActiveEventsEngine::ExpandMonthly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    if (!BeginRule(Buffer, Event, MonthStart, C))
        return false;
    TMonthlyStarts Starts(C);
    return ExpandWith(Buffer, Starts, C);
}

bool TXVActiveEventsEngine::ExpandYearly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    if (!BeginRule(Buffer, Event, MonthStart, C))
        return false;
    TYearlyStarts Starts(Event->DTStart()->DDate());
    return ExpandWith(Buffer, Starts, C);
}

TDateTime TXVActiveEventsEngine::LastUsableDay(TXCustomVEventObject* Event, TDateTime MonthStart)
{
    TMonthCase C;
    return ReadCase(Event, MonthStart, C) && C.HasUsable ? TDateTime(C.Usable) : 0;
}
