// Date records and the date routines of calendars, schedules, the clock and
// picture-pack dates. Dates are TDateTime values; "day precision" ignores
// the time part. A date of 0 means "no date" throughout: the readers answer
// 0 for text that is not a valid date.
//
//     TXDateRec D = TXDateRec::FromText(u"05.03.2018");
//     D.ToISOText();                                   // "2018-03-05"
//     DateOfNthWeekday(-1, 1, D.AsDateTime());         // last Monday of March
#pragma once
#include "rtl/DateTime.h"
#include "rtl/Types.h"

struct TXDateRec {
    TDateTime Value = 0;

    // The date of DateTime (its time part cut off).
    static TXDateRec Create(TDateTime DateTime);
    static TXDateRec FromText(StringView Text);
    String ToText() const;
    TDateTime AsDateTime() const { return Value; }
    bool IsSame(const TXDateRec& Other) const { return Compare(Other) == 0; }
    bool IsDifferent(const TXDateRec& Other) const { return Compare(Other) != 0; }
    // -1, 0 or 1 at day precision.
    Integer Compare(const TXDateRec& Other) const;
    // yyyy-mm-dd.
    String ToISOText() const;
};

// An end that is 0 is open.
struct TXDateRangeRec {
    TXDateRec From;
    TXDateRec To;

    void Clear();
    // From <= D <= To at day precision (an open end counts as the date 0).
    bool Contains(TDateTime D) const;
    // As Contains, but an open end does not limit.
    bool ContainsOpen(TDateTime D) const;
};

struct TXDateTimeRec {
    TDateTime Value = 0;
    static TXDateTimeRec Create(TDateTime DateTime) { return { DateTime }; }
};

struct TXDateTimeParts {
    Word Year = 0;
    Word Month = 0;
    Word Day = 0;
    Word Reserved = 0;
    Word Hour = 0;
    Word Minute = 0;
    Word Second = 0;
    Word MilliSecond = 0;

    // Raises EConvertError for an invalid part.
    TDateTime ToDateTime() const;
    Integer MinuteOfDay() const { return Hour * 60 + Minute; }
    Integer SecondOfDay() const { return Hour * 3600 + Minute * 60 + Second; }
};

// A default-date rule of the calendar designs; see ResolveRelativeMonthYear.
struct TXRelativeDateRule {
    std::int16_t MonthCode = 0;
    std::int16_t YearCode = 0;
};

// dd.mm.yyyy; empty for 0.
String DateToText(TDateTime DateTime);
// "d.m.y"; 0 for an empty text or one that is not a valid date.
TDateTime TextToDate(StringView Text);
// yyyy-mm-dd, or yyyymmdd without "-"; 0 when not valid.
TDateTime ISODateToDate(StringView Text);
// hh:mm:ss or hhmmss, a zone suffix and fractions of seconds ignored; 0
// when not valid.
TDateTime ISOTimeToTime(StringView Text);
// Date "T" time; 0 for an empty text or an invalid date part.
TDateTime ISOToDateTime(StringView Text);
// d.m.y when the text has "." and no "T", else the ISO form without time.
TDateTime StrToDateAny(StringView Text);

TDateTime EncodeDateDef(Integer Year, Integer Month, Integer Day, TDateTime Default);
// Today's date from the core application's clock when the parts are not
// a valid date.
TDateTime EncodeDateOrToday(Integer Year, Integer Month, Integer Day);
TDateTime EncodeTimeDef(Integer Hour, Integer Minute, Integer Second, TDateTime Default, Integer MSec = 0);

// Weekdays are ISO: 1 Monday .. 7 Sunday. The results are dates without
// time; 0 when there is no such day (a weekday outside 1..7, a day or an
// N-th weekday the month does not have, N = 0).
TDateTime DateOfWeekday(Integer Weekday, TDateTime Date);
// Day 1..L of Date's month, or counted from its end for Day < 0 (-1 is the
// last day).
TDateTime DateOfMonthDay(Integer Day, TDateTime Date);
// The N-th Weekday of Date's month; N < 0 counts from the month's end.
TDateTime DateOfNthWeekday(Integer N, Integer Weekday, TDateTime Date);

// Month code 0: the current month and year. 1..12: that month, in the
// year of the year code (0 this year, 1..200 relative with 100 this year,
// negative relative with -100 this year, above 200 absolute). 100 + n: n
// months on; -(100 + n): n months back. Other codes keep the current month
// and year.
void ResolveRelativeMonthYear(const TXRelativeDateRule& Rule, Integer CurMonth, Integer CurYear, Integer& Year,
    Integer& Month);
