#include "rtl/Exceptions.h"
#include "win/Time.h"
#include "core/XCore.DateTime.h"
#include <gtest/gtest.h>

namespace {
TDateTime D(Word Y, Word M, Word Day)
{
    return EncodeDate(Y, M, Day);
}
}

TEST(DateTexts, WritesDayFirstAndIsoForms)
{
    EXPECT_EQ(DateToText(D(2018, 3, 5)), u"05.03.2018");
    EXPECT_EQ(DateToText(D(2018, 3, 5) + 0.75), u"05.03.2018");
    EXPECT_EQ(DateToText(0), u"");
    EXPECT_EQ(TXDateRec::Create(EncodeDateTime(987, 1, 9, 12, 0, 0, 0)).ToISOText(), u"987-01-09");
    EXPECT_EQ(TXDateRec::Create(D(2018, 12, 31)).ToText(), u"31.12.2018");
}

TEST(DateTexts, ReadersAnswerTheDateOrZero)
{
    struct TCase {
        const char16_t* Text;
        TDateTime (*Reader)(StringView);
        TDateTime Expected;
    };
    const TCase Cases[] = {
        { u"1.1.2018", &TextToDate, D(2018, 1, 1) },
        { u"31.12.2018", &TextToDate, D(2018, 12, 31) },
        { u"31.2.2018", &TextToDate, 0 },
        { u"", &TextToDate, 0 },
        { u"1.1", &TextToDate, 0 },
        { u"a.b.c", &TextToDate, 0 },
        { u"1.1.65537", &TextToDate, 0 }, // must not wrap into year 1
        { u"1.65537.2018", &TextToDate, 0 },
        { u"2018-05-12", &ISODateToDate, D(2018, 5, 12) },
        { u"20180512", &ISODateToDate, D(2018, 5, 12) },
        { u"2018-13-01", &ISODateToDate, 0 },
        { u"0512", &ISODateToDate, 0 },
        { u"2018-05", &ISODateToDate, 0 },
        { u"2018-05-12T10:20:30Z", &ISOToDateTime, D(2018, 5, 12) + EncodeTime(10, 20, 30, 0) },
        { u"2018-05-12T10:20:30.75+02:00", &ISOToDateTime, D(2018, 5, 12) + EncodeTime(10, 20, 30, 0) },
        { u"20180512T102030", &ISOToDateTime, D(2018, 5, 12) + EncodeTime(10, 20, 30, 0) },
        { u"2018-05-12", &ISOToDateTime, D(2018, 5, 12) },
        { u"2018-05-12T25:00:00", &ISOToDateTime, D(2018, 5, 12) },
        { u"garbageT10:00:00", &ISOToDateTime, 0 }, // a time alone is no date
        { u"", &ISOToDateTime, 0 },
        { u"10:20:30", &ISOTimeToTime, EncodeTime(10, 20, 30, 0) },
        { u"1020", &ISOTimeToTime, EncodeTime(10, 20, 0, 0) },
        { u"10:61:00", &ISOTimeToTime, 0 },
        { u"12.05.2018", &StrToDateAny, D(2018, 5, 12) },
        { u"2018-05-12T23:59:00", &StrToDateAny, D(2018, 5, 12) },
        { u"2018-05-12T23:59:00.5", &StrToDateAny, D(2018, 5, 12) },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(C.Reader(C.Text), C.Expected) << StringToUTF8(C.Text);
}

TEST(DateRecords, CompareAndRangesAtDayPrecision)
{
    const TXDateRec Morning = TXDateRec::Create(D(2020, 2, 2) + 0.1);
    const TXDateRec Evening { D(2020, 2, 2) + 0.9 };
    EXPECT_TRUE(Morning.IsSame(Evening));
    EXPECT_EQ(Morning.Compare({ D(2020, 2, 3) }), -1);
    EXPECT_EQ(Morning.Compare({ D(2020, 2, 1) }), 1);
    EXPECT_TRUE(Morning.IsDifferent({ D(2020, 2, 1) }));

    struct TCase {
        TDateTime From, To, Day;
        bool Contains, ContainsOpen;
    };
    const TCase Cases[] = {
        { 0, 0, D(2020, 6, 1), false, true },
        { D(2020, 1, 1), D(2020, 1, 31), D(2020, 1, 31) + 0.99, true, true },
        { D(2020, 1, 1), D(2020, 1, 31), D(2020, 2, 1), false, false },
        { D(2020, 1, 1), 0, D(2030, 1, 1), false, true },
        { D(2020, 1, 1), 0, D(2019, 12, 31), false, false },
        { 0, D(2020, 1, 1), D(1990, 1, 1), true, true },
        { 0, D(2020, 1, 1), D(2020, 1, 2), false, false },
    };
    for (const TCase& C : Cases) {
        TXDateRangeRec R { { C.From }, { C.To } };
        EXPECT_EQ(R.Contains(C.Day), C.Contains) << C.From << " " << C.To << " " << C.Day;
        EXPECT_EQ(R.ContainsOpen(C.Day), C.ContainsOpen) << C.From << " " << C.To << " " << C.Day;
    }
}

TEST(DateRecords, PartsAndSafeEncoders)
{
    TXDateTimeParts P { 2021, 7, 4, 0, 13, 45, 30, 500 };
    EXPECT_EQ(P.ToDateTime(), EncodeDateTime(2021, 7, 4, 13, 45, 30, 500));
    EXPECT_EQ(P.MinuteOfDay(), 13 * 60 + 45);
    EXPECT_EQ(P.SecondOfDay(), 13 * 3600 + 45 * 60 + 30);
    P.Month = 13;
    EXPECT_THROW(P.ToDateTime(), EConvertError);

    EXPECT_EQ(EncodeDateDef(2019, 2, 29, -1), -1);
    EXPECT_EQ(EncodeDateDef(2020, 2, 29, -1), D(2020, 2, 29));
    EXPECT_EQ(EncodeTimeDef(24, 0, 0, -1), -1);
    EXPECT_EQ(EncodeTimeDef(23, 59, 59, -1, 999), EncodeTime(23, 59, 59, 999));

    TManualClock Clock(EncodeDateTime(2022, 8, 15, 9, 30, 0, 0));
    EXPECT_EQ(EncodeDateOrToday(2022, 2, 30), D(2022, 8, 15));
    EXPECT_EQ(EncodeDateOrToday(2022, 2, 3), D(2022, 2, 3));
}

TEST(RecurringDays, DayOfTheMonthCountedFromEitherEnd)
{
    struct TCase {
        Integer Day;
        TDateTime Month, Expected;
    };
    const TCase Cases[] = {
        { -1, D(2019, 2, 13), D(2019, 2, 28) },
        { -1, D(2020, 2, 13), D(2020, 2, 29) },
        { -27, D(2019, 2, 1), D(2019, 2, 2) }, // -(L - 1) is the second day
        { -28, D(2019, 2, 1), 0 },
        { 0, D(2019, 2, 1), 0 },
        { 28, D(2019, 2, 1), D(2019, 2, 28) },
        { 30, D(2019, 2, 1), 0 },
        { 1, D(2019, 3, 31) + 0.5, D(2019, 3, 1) },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(DateOfMonthDay(C.Day, C.Month), C.Expected) << C.Day << " in " << C.Month;
}

TEST(RecurringDays, NthWeekdayOfTheMonth)
{
    struct TCase {
        Integer N, Weekday;
        TDateTime Month, Expected;
    };
    const TCase Cases[] = {
        { 1, 1, D(2018, 5, 20), D(2018, 5, 7) }, // 1 May 2018 was a Tuesday
        { 1, 2, D(2018, 5, 20), D(2018, 5, 1) },
        { 2, 7, D(2018, 5, 20), D(2018, 5, 13) },
        { -1, 1, D(2018, 5, 20), D(2018, 5, 28) },
        { -1, 4, D(2018, 5, 20), D(2018, 5, 31) }, // the last day is a Thursday
        { -2, 5, D(2018, 5, 20), D(2018, 5, 18) },
        { 5, 1, D(2018, 5, 20), 0 }, // May 2018 has four Mondays
        { 5, 4, D(2018, 5, 20), D(2018, 5, 31) },
        { -5, 1, D(2018, 5, 20), 0 },
        { 4, 7, D(2021, 2, 10), D(2021, 2, 28) },
        { 0, 1, D(2018, 5, 20), 0 },
        { 1, 8, D(2018, 5, 20), 0 },
        { 1, 0, D(2018, 5, 20), 0 },
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(DateOfNthWeekday(C.N, C.Weekday, C.Month), C.Expected) << C.N << "/" << C.Weekday;

    // Monday-based week of a Sunday.
    EXPECT_EQ(DateOfWeekday(1, D(2018, 5, 20) + 0.3), D(2018, 5, 14));
    EXPECT_EQ(DateOfWeekday(7, D(2018, 5, 14)), D(2018, 5, 20));
    EXPECT_EQ(DateOfWeekday(9, D(2018, 5, 14)), 0);
}

TEST(RecurringDays, RelativeMonthAndYearCodes)
{
    struct TCase {
        std::int16_t MonthCode, YearCode;
        Integer CurMonth, CurYear, Month, Year;
    };
    const TCase Cases[] = {
        { 0, 0, 7, 2018, 7, 2018 },
        { 5, 0, 7, 2018, 5, 2018 },
        { 5, 101, 7, 2018, 5, 2019 },
        { 5, 100, 7, 2018, 5, 2018 },
        { 5, -101, 7, 2018, 5, 2017 },
        { 5, 2030, 7, 2018, 5, 2030 },
        { 5, 200, 7, 2018, 5, 2118 },
        { 101, 0, 12, 2018, 1, 2019 },
        { 100, 0, 12, 2018, 12, 2018 },
        { 112, 0, 12, 2018, 12, 2019 },
        { 113, 0, 12, 2018, 1, 2020 },
        { 103, 0, 4, 2018, 7, 2018 },
        { -101, 0, 1, 2019, 12, 2018 },
        { -100, 0, 1, 2019, 1, 2019 },
        { -103, 0, 5, 2019, 2, 2019 },
        { -112, 0, 5, 2019, 5, 2018 },
        { -125, 0, 1, 2019, 12, 2016 },
        { 50, 7, 3, 2018, 3, 2018 }, // unused codes keep the date
        { -50, 7, 3, 2018, 3, 2018 },
    };
    for (const TCase& C : Cases) {
        Integer Year = -1, Month = -1;
        ResolveRelativeMonthYear({ C.MonthCode, C.YearCode }, C.CurMonth, C.CurYear, Year, Month);
        EXPECT_EQ(Month, C.Month) << C.MonthCode << "/" << C.YearCode;
        EXPECT_EQ(Year, C.Year) << C.MonthCode << "/" << C.YearCode;
    }
}
