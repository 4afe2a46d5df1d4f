// Recurrence expansion: one event (in practice a holiday) and one month
// become 31 day-flag bytes. Byte i holds the flags of day i + 1:
//
//     TXVDayFlags Flags;
//     if (Engine->ExpandEventMonth(Flags, Holiday, EncodeDate(2024, 2, 1)))
//         ... Flags[28] & vdfAllDay ...
//
// Only the first recurrence rule of an event is used. Every expansion
// costs about the same whatever the rule's interval, the event's span or
// the distance between its start and the month: days are tested against
// the rule instead of walking its occurrences. A start, end or until date
// outside the years 1 to 9999 (or not a number) expands to nothing.
#pragma once
#include "core/XEngine.Gears.h"
#include "calendar_designs/XVData.h"
#include <array>

using TXVDayFlags = std::array<Byte, 31>;

// Day flags.
inline constexpr Byte vdfAllDay = 1;
inline constexpr Byte vdfSingleDay = 2; // a timed occurrence within the day
inline constexpr Byte vdfFirstDay = 4;
inline constexpr Byte vdfMiddleDay = 8;
inline constexpr Byte vdfLastDay = 16;

class TXVActiveEventsEngine : public TXEngineBox {
    X_CLASS(TXVActiveEventsEngine, TXEngineBox)
public:
    // False for a disabled event, secondly and minutely rules, and no day
    // touched; the buffer is meaningful only after True.
    bool ExpandEventMonth(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandSingle(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandHourly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandDaily(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandWeekly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandMonthly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    bool ExpandYearly(TXVDayFlags& Buffer, TXCustomVEventObject* Event, TDateTime MonthStart);
    // The month's last day, or the rule's end date when that comes first;
    // 0 when nothing of the event can lie in the month.
    TDateTime LastUsableDay(TXCustomVEventObject* Event, TDateTime MonthStart);
};
