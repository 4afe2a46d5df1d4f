// Shared helpers of the calendar tests: events built in one call and day
// flags as text.
#pragma once
#include "calendar_designs/XVActive.Calendar.h"
#include <string>

namespace CalendarTesting {

inline TDateTime D(Word Y, Word M, Word Day, Word H = 0, Word Mi = 0)
{
    return EncodeDateTime(Y, M, Day, H, Mi, 0, 0);
}

struct TEventSpec {
    TDateTime Start = 0;
    TDateTime End = 0;
    bool AllDay = false;
    // No rule when Frequency is vfqNone and HasRule is false.
    bool HasRule = false;
    TXVFrequency Frequency = vfqNone;
    Cardinal Interval = 1;
    TXVRecurrenceEndType EndType = vreForever;
    TDateTime Until = 0;
    std::vector<Integer> MonthDays;
    std::vector<std::pair<Integer, Word>> WeekDays; // value, weekday
};

// Fills Event (a holiday or other event) from Spec.
inline void FillEvent(TXCustomVEventObject* Event, const TEventSpec& Spec)
{
    Event->DTStart()->SetDDate(Spec.Start);
    Event->DTStart()->SetDateOnly(Spec.AllDay);
    Event->DTEnd()->SetDDate(Spec.End);
    Event->RRule()->Clear();
    if (!Spec.HasRule)
        return;
    TXVRecurrenceItem* R = Event->RRule()->Add();
    R->SetFrequency(Spec.Frequency);
    R->SetInterval(Spec.Interval);
    R->SetEndType(Spec.EndType);
    R->SetEndDate(Spec.Until);
    for (Integer V : Spec.MonthDays)
        R->ByMonthDay()->Add(V);
    for (auto [V, W] : Spec.WeekDays)
        R->ByWeekDay()->AddWeekDay(V, W);
}

// "d:flags" for every day with flags, e.g. "3:4 4:16".
inline std::string FlagsText(const TXVDayFlags& Flags)
{
    std::string Out;
    for (size_t I = 0; I < Flags.size(); ++I)
        if (Flags[I])
            Out += (Out.empty() ? "" : " ") + std::to_string(I + 1) + ":" + std::to_string(Flags[I]);
    return Out;
}

} // namespace CalendarTesting
