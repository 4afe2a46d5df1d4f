#include "rtl/DateTime.h"
#include "rtl/Exceptions.h"
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct TDateCase {
    Word Y, M, D, H, N, S, Ms;
    TDateTime Value;
};

// Known serial numbers of the class library's calendar, including dates
// before 1899-12-30 where the fraction still counts forward.
const TDateCase DateCases[] = {
    { 1899, 12, 30, 0, 0, 0, 0, 0.0 },
    { 1899, 12, 30, 6, 0, 0, 0, 0.25 },
    { 1899, 12, 29, 6, 0, 0, 0, -1.25 },
    { 1899, 12, 29, 18, 0, 0, 0, -1.75 },
    { 1900, 1, 1, 12, 0, 0, 0, 2.5 },
    { 1970, 1, 1, 0, 0, 0, 0, 25569.0 },
    { 2000, 2, 29, 0, 0, 0, 0, 36585.0 },
    { 2024, 2, 29, 18, 0, 0, 0, 45351.75 },
    { 1, 1, 1, 0, 0, 0, 0, -693593.0 },
    { 9999, 12, 31, 0, 0, 0, 0, 2958465.0 },
    { 1800, 1, 1, 0, 0, 0, 0, -36522.0 },
};

}

TEST(DateTime, EncodeAndDecodeKnownDates)
{
    for (const auto& C : DateCases) {
        SCOPED_TRACE(testing::Message() << C.Y << "-" << C.M << "-" << C.D << " " << C.H);
        EXPECT_DOUBLE_EQ(EncodeDateTime(C.Y, C.M, C.D, C.H, C.N, C.S, C.Ms), C.Value);
        Word Y, M, D, H, N, S, Ms;
        DecodeDateTime(C.Value, Y, M, D, H, N, S, Ms);
        EXPECT_EQ(Y, C.Y);
        EXPECT_EQ(M, C.M);
        EXPECT_EQ(D, C.D);
        EXPECT_EQ(H, C.H);
        EXPECT_EQ(N, C.N);
    }
}

TEST(DateTime, MillisecondsSurviveARoundTrip)
{
    for (TDateTime Base : { 45351.0, -36522.0 }) {
        TDateTime V = EncodeDateTime(Base < 0 ? 1800 : 2024, Base < 0 ? 1 : 2, Base < 0 ? 1 : 29, 23, 59, 59, 999);
        Word H, N, S, Ms;
        DecodeTime(V, H, N, S, Ms);
        EXPECT_EQ(H, 23);
        EXPECT_EQ(N, 59);
        EXPECT_EQ(S, 59);
        EXPECT_EQ(Ms, 999);
    }
}

TEST(DateTime, InvalidFieldsAreRefused)
{
    struct {
        Word Y, M, D;
    } BadDates[] = { { 2023, 2, 29 }, { 2024, 13, 1 }, { 2024, 0, 1 }, { 0, 1, 1 }, { 10000, 1, 1 }, { 2024, 4, 31 },
        { 2024, 1, 0 }, { 1900, 2, 29 } };
    for (auto B : BadDates) {
        TDateTime V = -99;
        EXPECT_FALSE(TryEncodeDate(B.Y, B.M, B.D, V));
        EXPECT_EQ(V, -99);
        EXPECT_THROW(EncodeDate(B.Y, B.M, B.D), EConvertError);
    }
    struct {
        Word H, N, S, Ms;
    } BadTimes[] = { { 24, 0, 0, 0 }, { 0, 60, 0, 0 }, { 0, 0, 60, 0 }, { 0, 0, 0, 1000 } };
    for (auto B : BadTimes)
        EXPECT_THROW(EncodeTime(B.H, B.N, B.S, B.Ms), EConvertError);
}

TEST(DateTime, OutOfRangeValuesDecodeToZerosAndArithmeticRaises)
{
    for (TDateTime Bad :
        { std::numeric_limits<double>::quiet_NaN(), 1e300, -1e9, std::numeric_limits<double>::infinity() }) {
        Word Y = 1, M = 1, D = 1;
        DecodeDate(Bad, Y, M, D);
        EXPECT_EQ(Y + M + D, 0);
        EXPECT_THROW(IncDay(Bad), EConvertError);
        EXPECT_THROW(MinutesBetween(Bad, 0), EConvertError);
    }
    EXPECT_THROW(IncDay(EncodeDate(9999, 12, 31)), EConvertError);
    EXPECT_THROW(IncMonth(EncodeDate(1, 1, 1), -1), EConvertError);
    EXPECT_THROW(IncMilliSecond(0, INT64_MAX), EConvertError);
}

TEST(DateTime, CalendarRules)
{
    struct {
        Word Year;
        bool Leap;
    } Leaps[] = { { 1900, false }, { 2000, true }, { 2023, false }, { 2024, true } };
    for (auto L : Leaps)
        EXPECT_EQ(IsLeapYear(L.Year), L.Leap) << L.Year;
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2023, 2), 28);
    EXPECT_EQ(DaysInAMonth(2023, 4), 30);
    EXPECT_EQ(DaysInAMonth(2023, 13), 0);

    // 2024-03-10 was a Sunday; 1899-12-29 a Friday.
    struct {
        TDateTime Value;
        Word Dow, Iso;
    } Days[] = {
        { EncodeDate(2024, 3, 10), 1, 7 },
        { EncodeDate(2024, 3, 11), 2, 1 },
        { EncodeDate(1899, 12, 30), 7, 6 },
        { -1.75, 6, 5 },
        { EncodeDateTime(2024, 3, 9, 23, 0, 0, 0), 7, 6 },
    };
    for (auto C : Days) {
        EXPECT_EQ(DayOfWeek(C.Value), C.Dow) << C.Value;
        EXPECT_EQ(DayOfTheWeek(C.Value), C.Iso) << C.Value;
    }
}

TEST(DateTime, ArithmeticAcrossZeroAndMonthEnds)
{
    struct {
        TDateTime From;
        Integer Months;
        Word Y, M, D;
    } Months[] = {
        { EncodeDate(2024, 1, 31), 1, 2024, 2, 29 },
        { EncodeDate(2023, 1, 31), 1, 2023, 2, 28 },
        { EncodeDate(2024, 3, 31), -1, 2024, 2, 29 },
        { EncodeDate(2024, 12, 15), 1, 2025, 1, 15 },
        { EncodeDate(2024, 1, 15), -13, 2022, 12, 15 },
        { EncodeDate(2024, 2, 29), 12, 2025, 2, 28 },
    };
    for (auto C : Months) {
        Word Y, M, D;
        DecodeDate(IncMonth(C.From, C.Months), Y, M, D);
        EXPECT_EQ(Y * 10000 + M * 100 + D, C.Y * 10000 + C.M * 100 + C.D);
    }
    // One hour back from 1899-12-30 01:00 is midnight; one more is the
    // previous evening, whose value is -1.958333 (date -1, time 23:00).
    TDateTime OneAm = EncodeTime(1, 0, 0, 0);
    EXPECT_DOUBLE_EQ(IncHour(OneAm, -1), 0.0);
    EXPECT_NEAR(IncHour(OneAm, -2), -1.0 - 23.0 / 24.0, 1e-9);
    EXPECT_NEAR(IncHour(-1.25, 24), 0.25, 1e-9);
    EXPECT_EQ(MinutesBetween(-1.75, 0.25), 12 * 60);
    EXPECT_EQ(HoursBetween(EncodeDate(2024, 1, 2), EncodeDate(2024, 1, 1)), 24);
    EXPECT_EQ(SecondsBetween(EncodeTime(0, 0, 59, 999), 0), 59);
    EXPECT_DOUBLE_EQ(DateOf(-1.25), -1.0);
    EXPECT_DOUBLE_EQ(TimeOf(-1.25), 0.25);
    EXPECT_DOUBLE_EQ(IncDay(EncodeDate(2024, 2, 28), 2), EncodeDate(2024, 3, 1));
}

TEST(DateTime, NowGoesThroughTheHook)
{
    SetNowFunction([] { return EncodeDateTime(2024, 5, 6, 7, 8, 9, 0); });
    EXPECT_DOUBLE_EQ(Date(), EncodeDate(2024, 5, 6));
    EXPECT_NEAR(Time(), EncodeTime(7, 8, 9, 0), 1e-9);
    SetNowFunction(nullptr);
    Word Y, M, D;
    DecodeDate(Now(), Y, M, D);
    EXPECT_GE(Y, 2000);
}
