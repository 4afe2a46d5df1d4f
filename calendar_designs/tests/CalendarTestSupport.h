// Shared helpers of the calendar tests: events built in one call and day
// flags as text.
#pragma once
#include "calendar_designs/XVActive.Calendar.h"
#include <sstream>
#include <string>
#include <vector>

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

// One line of recurrence_oracle.py: the rule, the month and the flags
// dateutil gave ("-" when only timed), and the rule as RRULE text.
struct TOracleCase {
    TEventSpec Spec;
    Word Year = 0;
    Word Month = 0;
    std::string Flags;
    std::string RRule;
};

inline TDateTime OracleStampToDate(const std::string& S)
{
    auto N = [&](size_t From, size_t Count) { return Word(std::stoi(S.substr(From, Count))); };
    if (S.size() == 8)
        return EncodeDate(N(0, 4), N(4, 2), N(6, 2));
    return EncodeDateTime(N(0, 4), N(4, 2), N(6, 2), N(9, 2), N(11, 2), 0, 0);
}

inline std::vector<std::string> OracleList(const std::string& S, char Separator)
{
    std::vector<std::string> Out;
    if (S == "-")
        return Out;
    std::stringstream In(S);
    for (std::string Part; std::getline(In, Part, Separator);)
        Out.push_back(Part);
    return Out;
}

inline bool ParseOracleLine(const std::string& Line, TOracleCase& Case)
{
    const size_t Bar = Line.find(" | ");
    if (Bar == std::string::npos)
        return false;
    Case.RRule = Line.substr(Bar + 3);
    std::stringstream Fields(Line.substr(0, Bar));
    std::string Freq, Interval, AllDay, Start, End, EndType, Until, MonthDays, WeekDays, Year, Month;
    if (!(Fields >> Freq >> Interval >> AllDay >> Start >> End >> EndType >> Until >> MonthDays >> WeekDays >> Year >>
            Month >> Case.Flags))
        return false;
    TEventSpec& S = Case.Spec;
    S = {};
    S.HasRule = true;
    S.Frequency = Freq == "daily" ? vfqDaily : Freq == "weekly" ? vfqWeekly : Freq == "monthly" ? vfqMonthly : vfqYearly;
    S.Interval = Cardinal(std::stoul(Interval));
    S.AllDay = AllDay == "1";
    S.Start = OracleStampToDate(Start);
    S.End = OracleStampToDate(End);
    S.EndType = EndType == "vreEndDate" ? vreEndDate : EndType == "vreInstances" ? vreInstances : vreForever;
    S.Until = Until == "-" ? 0 : OracleStampToDate(Until) + 0.5; // any time of the until day
    for (const std::string& V : OracleList(MonthDays, ','))
        S.MonthDays.push_back(std::stoi(V));
    for (const std::string& P : OracleList(WeekDays, ',')) {
        const size_t Colon = P.find(':');
        S.WeekDays.push_back({ std::stoi(P.substr(0, Colon)), Word(std::stoi(P.substr(Colon + 1))) });
    }
    Case.Year = Word(std::stoi(Year));
    Case.Month = Word(std::stoi(Month));
    return true;
}

} // namespace CalendarTesting
