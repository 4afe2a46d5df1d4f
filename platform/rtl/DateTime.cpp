#include "rtl/DateTime.h"
#include "rtl/Exceptions.h"
#include <atomic>
#include <cmath>
#include <ctime>

namespace {

constexpr Int64 MSecsPerDay64 = MSecsPerDay;
// Days from 0001-01-01 to 1899-12-30 and from 1899-12-30 to 9999-12-31.
constexpr Int64 FirstDay = -693593;
constexpr Int64 LastDay = 2958465;

// Days since 1970-01-01 of a proleptic Gregorian date (era-based
// civil-calendar arithmetic).
Int64 DaysFromCivil(Int64 Y, unsigned M, unsigned D)
{
    Y -= M <= 2;
    const Int64 Era = (Y >= 0 ? Y : Y - 399) / 400;
    const unsigned YoE = static_cast<unsigned>(Y - Era * 400);
    const unsigned DoY = (153 * (M > 2 ? M - 3 : M + 9) + 2) / 5 + D - 1;
    const unsigned DoE = YoE * 365 + YoE / 4 - YoE / 100 + DoY;
    return Era * 146097 + static_cast<Int64>(DoE) - 719468;
}

void CivilFromDays(Int64 Z, Int64& Y, unsigned& M, unsigned& D)
{
    Z += 719468;
    const Int64 Era = (Z >= 0 ? Z : Z - 146096) / 146097;
    const unsigned DoE = static_cast<unsigned>(Z - Era * 146097);
    const unsigned YoE = (DoE - DoE / 1460 + DoE / 36524 - DoE / 146096) / 365;
    const unsigned DoY = DoE - (365 * YoE + YoE / 4 - YoE / 100);
    const unsigned MP = (5 * DoY + 2) / 153;
    D = DoY - (153 * MP + 2) / 5 + 1;
    M = MP < 10 ? MP + 3 : MP - 9;
    Y = static_cast<Int64>(YoE) + Era * 400 + (M <= 2);
}

bool InRange(TDateTime Value)
{
    return std::isfinite(Value) && Value >= MinDateTime - 1.0 && Value <= MaxDateTime + 1.0;
}

// The linear count, or false when Value is no date this calendar holds.
bool ToMilliseconds(TDateTime Value, Int64& Result)
{
    if (!InRange(Value))
        return false;
    const Int64 Whole = std::llround(Value * MSecsPerDay64);
    const Int64 Day = Whole / MSecsPerDay64; // toward zero: the date part
    const Int64 Fraction = (Whole < 0 ? -Whole : Whole) % MSecsPerDay64;
    Result = Day * MSecsPerDay64 + Fraction;
    return Result >= FirstDay * MSecsPerDay64 && Result < (LastDay + 1) * MSecsPerDay64;
}

Int64 CheckedMilliseconds(TDateTime Value)
{
    Int64 Result;
    if (!ToMilliseconds(Value, Result))
        throw EConvertError(u"Invalid date/time value");
    return Result;
}

TDateTime CheckedResult(Int64 Milliseconds)
{
    if (Milliseconds < FirstDay * MSecsPerDay64 || Milliseconds >= (LastDay + 1) * MSecsPerDay64)
        throw EConvertError(u"Date/time result out of range");
    return MillisecondsToDateTime(Milliseconds);
}

// Adding whole units, guarding the multiplication against overflow.
TDateTime AddUnits(TDateTime Value, Int64 Count, Int64 UnitMs)
{
    const Int64 Limit = (LastDay - FirstDay + 1) * MSecsPerDay64 / UnitMs;
    if (Count > Limit || Count < -Limit)
        throw EConvertError(u"Date/time result out of range");
    return CheckedResult(CheckedMilliseconds(Value) + Count * UnitMs);
}

Int64 Between(TDateTime A, TDateTime B, Int64 UnitMs)
{
    const Int64 Diff = CheckedMilliseconds(A) - CheckedMilliseconds(B);
    return (Diff < 0 ? -Diff : Diff) / UnitMs;
}

TDateTime SystemNow()
{
    timespec Ts {};
    clock_gettime(CLOCK_REALTIME, &Ts);
    tm Local {};
    time_t Seconds = Ts.tv_sec;
    localtime_r(&Seconds, &Local);
    const Int64 LocalMs = (static_cast<Int64>(Seconds) + Local.tm_gmtoff) * 1000 + Ts.tv_nsec / 1000000;
    return MillisecondsToDateTime(LocalMs + static_cast<Int64>(UnixDateDelta) * MSecsPerDay64);
}

std::atomic<TNowFunction> NowHook { &SystemNow };

}

bool IsLeapYear(Word Year)
{
    return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0);
}

Word DaysInAMonth(Word Year, Word Month)
{
    static constexpr Word Days[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12)
        return 0;
    return Month == 2 && IsLeapYear(Year) ? 29 : Days[Month - 1];
}

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date)
{
    if (Day < 1 || Day > DaysInAMonth(Year, Month))
        return false;
    Date = static_cast<TDateTime>(DaysFromCivil(Year, Month, Day) + static_cast<Int64>(UnixDateDelta));
    return true;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time)
{
    if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000)
        return false;
    Time = static_cast<TDateTime>(((Hour * 60 + Min) * 60 + Sec) * 1000 + MSec) / MSecsPerDay;
    return true;
}

bool TryEncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Value)
{
    TDateTime D, T;
    if (!TryEncodeDate(Year, Month, Day, D) || !TryEncodeTime(Hour, Min, Sec, MSec, T))
        return false;
    Value = D < 0 ? D - T : D + T;
    return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day)
{
    TDateTime Result;
    if (!TryEncodeDate(Year, Month, Day, Result))
        throw EConvertError(u"Invalid argument to date encode");
    return Result;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec)
{
    TDateTime Result;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, Result))
        throw EConvertError(u"Invalid argument to time encode");
    return Result;
}

TDateTime EncodeDateTime(Word Year, Word Month, Word Day, Word Hour, Word Min, Word Sec, Word MSec)
{
    TDateTime Result;
    if (!TryEncodeDate(Year, Month, Day, Result))
        throw EConvertError(u"Invalid argument to date encode");
    TDateTime T;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, T))
        throw EConvertError(u"Invalid argument to time encode");
    return Result < 0 ? Result - T : Result + T;
}

void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min, Word& Sec, Word& MSec)
{
    Int64 Ms;
    if (!ToMilliseconds(Value, Ms)) {
        Year = Month = Day = Hour = Min = Sec = MSec = 0;
        return;
    }
    Int64 Days = Ms / MSecsPerDay64;
    Int64 Rest = Ms % MSecsPerDay64;
    if (Rest < 0) {
        Rest += MSecsPerDay64;
        --Days;
    }
    Int64 Y;
    unsigned M, D;
    CivilFromDays(Days - static_cast<Int64>(UnixDateDelta), Y, M, D);
    Year = static_cast<Word>(Y);
    Month = static_cast<Word>(M);
    Day = static_cast<Word>(D);
    MSec = static_cast<Word>(Rest % 1000);
    Rest /= 1000;
    Sec = static_cast<Word>(Rest % 60);
    Rest /= 60;
    Min = static_cast<Word>(Rest % 60);
    Hour = static_cast<Word>(Rest / 60);
}

void DecodeDate(TDateTime Value, Word& Year, Word& Month, Word& Day)
{
    Word H, N, S, Ms;
    DecodeDateTime(Value, Year, Month, Day, H, N, S, Ms);
}

void DecodeTime(TDateTime Value, Word& Hour, Word& Min, Word& Sec, Word& MSec)
{
    Word Y, M, D;
    DecodeDateTime(Value, Y, M, D, Hour, Min, Sec, MSec);
}

namespace {
// Day number (floor) of a value, 0 for values outside the calendar.
Int64 DayNumber(TDateTime Value)
{
    Int64 Ms;
    if (!ToMilliseconds(Value, Ms))
        return 0;
    Int64 Days = Ms / MSecsPerDay64;
    if (Ms % MSecsPerDay64 < 0)
        --Days;
    return Days;
}
}

Word DayOfWeek(TDateTime Value)
{
    // Day 0, 1899-12-30, was a Saturday.
    return static_cast<Word>(((DayNumber(Value) - 1) % 7 + 7) % 7 + 1);
}

Word DayOfTheWeek(TDateTime Value)
{
    return static_cast<Word>(((DayNumber(Value) - 2) % 7 + 7) % 7 + 1);
}

TDateTime DateOf(TDateTime Value)
{
    return static_cast<TDateTime>(DayNumber(Value));
}

TDateTime TimeOf(TDateTime Value)
{
    Int64 Ms;
    if (!ToMilliseconds(Value, Ms))
        return 0;
    Int64 Rest = Ms % MSecsPerDay64;
    if (Rest < 0)
        Rest += MSecsPerDay64;
    return static_cast<TDateTime>(Rest) / MSecsPerDay;
}

TDateTime IncMonth(TDateTime Value, Integer NumberOfMonths)
{
    const Int64 Ms = CheckedMilliseconds(Value);
    Word Y, M, D, H, N, S, MS;
    DecodeDateTime(Value, Y, M, D, H, N, S, MS);
    const Int64 Months = static_cast<Int64>(Y) * 12 + (M - 1) + NumberOfMonths;
    const Int64 NewYear = Months >= 0 ? Months / 12 : -1;
    if (NewYear < 1 || NewYear > 9999)
        throw EConvertError(u"Date/time result out of range");
    const Word NewMonth = static_cast<Word>(Months % 12 + 1);
    const Word Last = DaysInAMonth(static_cast<Word>(NewYear), NewMonth);
    const Int64 Days = DaysFromCivil(NewYear, NewMonth, D > Last ? Last : D) + static_cast<Int64>(UnixDateDelta);
    Int64 TimeMs = Ms % MSecsPerDay64;
    if (TimeMs < 0)
        TimeMs += MSecsPerDay64;
    return CheckedResult(Days * MSecsPerDay64 + TimeMs);
}

TDateTime IncDay(TDateTime Value, Int64 N)
{
    return AddUnits(Value, N, MSecsPerDay64);
}
TDateTime IncHour(TDateTime Value, Int64 N)
{
    return AddUnits(Value, N, 3600000);
}
TDateTime IncMinute(TDateTime Value, Int64 N)
{
    return AddUnits(Value, N, 60000);
}
TDateTime IncSecond(TDateTime Value, Int64 N)
{
    return AddUnits(Value, N, 1000);
}
TDateTime IncMilliSecond(TDateTime Value, Int64 N)
{
    return AddUnits(Value, N, 1);
}

Int64 MilliSecondsBetween(TDateTime A, TDateTime B)
{
    return Between(A, B, 1);
}
Int64 SecondsBetween(TDateTime A, TDateTime B)
{
    return Between(A, B, 1000);
}
Int64 MinutesBetween(TDateTime A, TDateTime B)
{
    return Between(A, B, 60000);
}
Int64 HoursBetween(TDateTime A, TDateTime B)
{
    return Between(A, B, 3600000);
}
Int64 DaysBetween(TDateTime A, TDateTime B)
{
    return Between(A, B, MSecsPerDay64);
}

Int64 DateTimeToMilliseconds(TDateTime Value)
{
    return CheckedMilliseconds(Value);
}

TDateTime MillisecondsToDateTime(Int64 Milliseconds)
{
    Int64 Days = Milliseconds / MSecsPerDay64;
    Int64 Rest = Milliseconds % MSecsPerDay64;
    if (Rest < 0) {
        Rest += MSecsPerDay64;
        --Days;
    }
    const TDateTime Fraction = static_cast<TDateTime>(Rest) / MSecsPerDay;
    return Days < 0 ? static_cast<TDateTime>(Days) - Fraction : static_cast<TDateTime>(Days) + Fraction;
}

void SetNowFunction(TNowFunction Function)
{
    NowHook.store(Function ? Function : &SystemNow);
}

TDateTime Now()
{
    return NowHook.load()();
}

TDateTime Date()
{
    return DateOf(Now());
}

TDateTime Time()
{
    return TimeOf(Now());
}
