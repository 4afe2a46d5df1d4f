// Dates and times as the class library keeps them: a TDateTime is a double
// of days since 1899-12-30; the fraction is the time of day. For values
// below zero the fraction still counts forward from midnight (-1.25 is
// 1899-12-29 06:00), so arithmetic goes through a linear millisecond count
// rather than adding to the double.
//
//     TDateTime T = EncodeDateTime(2024, 2, 29, 13, 30, 0, 0);
//     Word Y, M, D; DecodeDate(IncMonth(T, 12), Y, M, D);   // 2025-02-28
//
// Now(), Date() and Time() read the process's clock through a hook: the
// window layer installs its time source there, so tests on a manual clock
// see their own time here too.
#pragma once
#include "rtl/Types.h"

using TDateTime = double;

constexpr Integer HoursPerDay = 24;
constexpr Integer MinsPerDay = 24 * 60;
constexpr Integer SecsPerDay = MinsPerDay * 60;
constexpr Integer MSecsPerDay = SecsPerDay * 1000;
constexpr TDateTime MinDateTime = -693593.0; // 0001-01-01
constexpr TDateTime MaxDateTime = 2958465.99999999; // 9999-12-31 23:59:59.999
constexpr TDateTime UnixDateDelta = 25569.0; // 1970-01-01

bool IsLeapYear(Word Year);
// 0 for a month outside 1..12 or a year outside 1..9999.
Word DaysInAMonth(Word Year, Word Month);

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);
bool TryEncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Value);
// These raise EConvertError for fields out of range.
TDateTime EncodeDate(Word Year, Word Month, Word Day);
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
TDateTime EncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec);

// Rounded to the millisecond; a time that rounds up to midnight carries into
// the next day. Values outside MinDateTime..MaxDateTime (or NaN) decode to
// all zeros, as the class library does for dates before year 1.
void DecodeDate(TDateTime Value, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Value, Word& Hour, Word& Min, Word& Sec, Word& MSec);
void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min, Word& Sec, Word& MSec);

// 1 = Sunday .. 7 = Saturday.
Word DayOfWeek(TDateTime Value);
// ISO: 1 = Monday .. 7 = Sunday.
Word DayOfTheWeek(TDateTime Value);
TDateTime DateOf(TDateTime Value);
TDateTime TimeOf(TDateTime Value);

// Arithmetic raises EConvertError when a value or the result lies outside
// MinDateTime..MaxDateTime.
TDateTime IncMonth(TDateTime Value, Integer NumberOfMonths = 1); // day clamped to the month's end
TDateTime IncDay(TDateTime Value, Int64 NumberOfDays = 1);
TDateTime IncHour(TDateTime Value, Int64 NumberOfHours = 1);
TDateTime IncMinute(TDateTime Value, Int64 NumberOfMinutes = 1);
TDateTime IncSecond(TDateTime Value, Int64 NumberOfSeconds = 1);
TDateTime IncMilliSecond(TDateTime Value, Int64 NumberOfMilliSeconds = 1);
// Whole units between two moments, never negative.
Int64 MilliSecondsBetween(TDateTime A, TDateTime B);
Int64 SecondsBetween(TDateTime A, TDateTime B);
Int64 MinutesBetween(TDateTime A, TDateTime B);
Int64 HoursBetween(TDateTime A, TDateTime B);
Int64 DaysBetween(TDateTime A, TDateTime B);

// The linear millisecond count behind a TDateTime (0 at 1899-12-30 00:00)
// and back.
Int64 DateTimeToMilliseconds(TDateTime Value);
TDateTime MillisecondsToDateTime(Int64 Milliseconds);

// The local clock. The hook answers the local date and time; null restores
// the system clock.
using TNowFunction = TDateTime (*)();
void SetNowFunction(TNowFunction Function);
TDateTime Now();
TDateTime Date();
TDateTime Time();
