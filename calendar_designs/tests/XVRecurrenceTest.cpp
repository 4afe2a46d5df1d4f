#include "CalendarTestSupport.h"
#include "rtl/StrUtils.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <limits>

using namespace CalendarTesting;

namespace {

struct TExpansion {
    bool Answer = false;
    std::string Flags;
};

TExpansion Expand(const TEventSpec& Spec, Word Year, Word Month, bool Enabled = true)
{
    TOwnedPtr<TXVActiveEventsEngine> Engine(New<TXVActiveEventsEngine>(static_cast<TComponent*>(nullptr)));
    TOwnedPtr<TXVHolidayObject> H(New<TXVHolidayObject>());
    FillEvent(H.get(), Spec);
    H->SetEnabled(Enabled);
    TXVDayFlags Flags;
    Flags.fill(0xEE);
    TExpansion R;
    R.Answer = Engine->ExpandEventMonth(Flags, H.get(), EncodeDate(Year, Month, 1));
    R.Flags = R.Answer ? FlagsText(Flags) : "";
    return R;
}

TEventSpec Rule(TXVFrequency F, TDateTime Start, TDateTime End, Cardinal Interval = 1, bool AllDay = false)
{
    TEventSpec S;
    S.HasRule = true;
    S.Frequency = F;
    S.Start = Start;
    S.End = End;
    S.Interval = Interval;
    S.AllDay = AllDay;
    return S;
}

// "a:b" days a..b each with Flag, joined.
std::string Days(std::initializer_list<Integer> List, Integer Flag)
{
    std::string Out;
    for (Integer Day : List)
        Out += (Out.empty() ? "" : " ") + std::to_string(Day) + ":" + std::to_string(Flag);
    return Out;
}

} // namespace

// The edge cases of the model, and where it departs from RRULE on purpose.
TEST(XVRecurrence, ModelCases)
{
    TEventSpec Single;
    Single.Start = D(2024, 1, 30);
    Single.End = D(2024, 2, 2);
    Single.AllDay = true;
    TEventSpec Timed;
    Timed.Start = D(2024, 3, 5, 10);
    Timed.End = D(2024, 3, 7, 9);
    TEventSpec TimedDaily = Rule(vfqDaily, D(2024, 3, 5, 10), D(2024, 3, 7, 9), 7);
    TEventSpec Weekly = Rule(vfqWeekly, D(2024, 3, 6), D(2024, 3, 6), 1, true); // a Wednesday
    TEventSpec WeeklyMoFr = Weekly;
    WeeklyMoFr.WeekDays = { { 0, 1 }, { 0, 5 } };
    TEventSpec Monthly31 = Rule(vfqMonthly, D(2024, 1, 31), D(2024, 1, 31), 1, true);
    TEventSpec LastFriday = Rule(vfqMonthly, D(2024, 1, 1), D(2024, 1, 1), 1, true);
    LastFriday.WeekDays = { { -1, 5 } };
    TEventSpec EveryFriday = LastFriday;
    EveryFriday.WeekDays = { { 0, 5 } };
    TEventSpec FifthMonday = LastFriday;
    FifthMonday.WeekDays = { { 5, 1 } };
    TEventSpec EarlierMonthDay = Rule(vfqMonthly, D(2024, 3, 20), D(2024, 3, 20), 1, true);
    EarlierMonthDay.MonthDays = { 5 };
    TEventSpec MinusLength = EarlierMonthDay;
    MinusLength.MonthDays = { -30, -29 };
    TEventSpec MonthDayZero = EarlierMonthDay;
    MonthDayZero.MonthDays = { 0 };
    TEventSpec Leap = Rule(vfqYearly, D(2096, 2, 29), D(2096, 2, 29), 1, true);
    TEventSpec Until10 = Rule(vfqDaily, D(2024, 5, 1), D(2024, 5, 1), 1, true);
    Until10.EndType = vreEndDate;
    Until10.Until = D(2024, 5, 10, 8);
    TEventSpec Instances = Until10;
    Instances.EndType = vreInstances;
    TEventSpec Every3 = Rule(vfqDaily, D(2024, 1, 1), D(2024, 1, 1), 3, true);
    TEventSpec Hourly = Rule(vfqHourly, D(2024, 6, 10, 9), D(2024, 6, 10, 10), 5);
    TEventSpec Secondly = Rule(vfqSecondly, D(2024, 6, 10), D(2024, 6, 10));
    TEventSpec Minutely = Rule(vfqMinutely, D(2024, 6, 10), D(2024, 6, 10));
    TEventSpec NightDaily = Rule(vfqDaily, D(2024, 6, 1, 22), D(2024, 6, 2, 2));
    TEventSpec NightSingle;
    NightSingle.Start = D(2024, 6, 1, 22);
    NightSingle.End = D(2024, 6, 2, 2);

    const struct {
        const char* Name;
        TEventSpec Spec;
        Word Year, Month;
        bool Enabled;
        bool Answer;
        std::string Flags;
    } Cases[] = {
        { "disabled", Single, 2024, 1, false, false, "" },
        { "all-day across months, first", Single, 2024, 1, true, true, "30:1 31:1" },
        { "all-day across months, next", Single, 2024, 2, true, true, "1:1 2:1" },
        { "timed without rule: 4, 8, 16", Timed, 2024, 3, true, true, "5:4 6:8 7:16" },
        { "timed with rule: span 1, 7th stays 0", TimedDaily, 2024, 3, true, true,
            "5:4 6:16 12:4 13:16 19:4 20:16 26:4 27:16" },
        { "every 3 days from 1 January, in February", Every3, 2024, 2, true, true,
            Days({ 3, 6, 9, 12, 15, 18, 21, 24, 27 }, 1) },
        { "weekly on the start's weekday", Weekly, 2024, 3, true, true, Days({ 6, 13, 20, 27 }, 1) },
        { "weekly Monday and Friday, from the start's week", WeeklyMoFr, 2024, 3, true, true,
            Days({ 4, 8, 11, 15, 18, 22, 25, 29 }, 1) },
        { "monthly on the 31st: nothing in April", Monthly31, 2024, 4, true, false, "" },
        { "monthly on the 31st in May", Monthly31, 2024, 5, true, true, "31:1" },
        { "last Friday", LastFriday, 2024, 5, true, true, "31:1" },
        { "every Friday", EveryFriday, 2024, 5, true, true, Days({ 3, 10, 17, 24, 31 }, 1) },
        { "a fifth Monday the month lacks gives nothing", FifthMonday, 2024, 2, true, false, "" },
        { "a fifth Monday the month has", FifthMonday, 2024, 4, true, true, "29:1" },
        { "a month day before the start, in the start month", EarlierMonthDay, 2024, 3, true, true, "5:1" },
        { "month day 0 names no day", MonthDayZero, 2024, 4, true, false, "" },
        { "-L names no day, -(L - 1) the second", MinusLength, 2024, 4, true, true, "2:1" },
        { "29 February every fourth year", Leap, 2096, 2, true, true, "29:1" },
        { "not in the years between", Leap, 2097, 2, true, false, "" },
        { "cut to 28 February in 2100", Leap, 2100, 2, true, true, "28:1" },
        { "back to the 29th in 2104", Leap, 2104, 2, true, true, "29:1" },
        { "until the 10th", Until10, 2024, 5, true, true, Days({ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, 1) },
        { "nothing after the until month", Until10, 2024, 6, true, false, "" },
        { "instances are unlimited", Instances, 2024, 7, true, true, "" },
        { "hourly flags every day from the start as timed", Hourly, 2024, 6, true, true, "" },
        { "secondly flags nothing", Secondly, 2024, 6, true, false, "" },
        { "minutely flags nothing", Minutely, 2024, 6, true, false, "" },
        { "22:00 to 02:00 daily: only first days", NightDaily, 2024, 6, true, true, "" },
        { "22:00 to 02:00 once: 2 on both days", NightSingle, 2024, 6, true, true, "1:2 2:2" },
    };
    for (const auto& C : Cases) {
        const TExpansion R = Expand(C.Spec, C.Year, C.Month, C.Enabled);
        EXPECT_EQ(R.Answer, C.Answer) << C.Name;
        if (!C.Flags.empty() || !C.Answer)
            EXPECT_EQ(R.Flags, C.Flags) << C.Name;
    }
    // The long ones by rule.
    const TExpansion All = Expand(Instances, 2024, 7);
    EXPECT_EQ(All.Flags, Days({ 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31 }, 1));
    std::string FromTenth;
    for (Integer Day = 10; Day <= 30; ++Day)
        FromTenth += (FromTenth.empty() ? "" : " ") + std::to_string(Day) + ":2";
    EXPECT_EQ(Expand(Hourly, 2024, 6).Flags, FromTenth);
    std::string Nights;
    for (Integer Day = 1; Day <= 30; ++Day)
        Nights += (Nights.empty() ? "" : " ") + std::to_string(Day) + ":4";
    EXPECT_EQ(Expand(NightDaily, 2024, 6).Flags, Nights);
}

// Rules from a file may hold anything: every expansion ends quickly with
// its answer.
TEST(XVRecurrence, HostileRulesEndWithTheirAnswer)
{
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    TEventSpec Zero = Rule(vfqDaily, D(2024, 1, 1), D(2024, 1, 1), 0, true);
    TEventSpec Huge = Rule(vfqDaily, D(2024, 1, 1), D(2024, 1, 1), 0xFFFFFFFFu, true);
    TEventSpec HugeWeekly = Rule(vfqWeekly, D(2024, 1, 3), D(2024, 1, 3), 0xFFFFFFFFu, true);
    TEventSpec HugeMonthly = Rule(vfqMonthly, D(2024, 1, 3), D(2024, 1, 3), 0xFFFFFFFFu, true);
    TEventSpec LongSpan = Rule(vfqDaily, D(100, 1, 1), D(100, 1, 1) + 3600000, 1);
    TEventSpec LongMonthly = Rule(vfqMonthly, D(100, 1, 31), D(100, 1, 31) + 3600000, 12);
    LongMonthly.MonthDays = { 31 };
    TEventSpec LongSingle;
    LongSingle.Start = D(100, 1, 1);
    LongSingle.End = D(100, 1, 1) + 3600000;
    TEventSpec NaNStart = Rule(vfqDaily, NaN, D(2024, 1, 1));
    TEventSpec InfEnd = Rule(vfqDaily, D(2024, 1, 1), std::numeric_limits<double>::infinity());
    TEventSpec Year65536 = Rule(vfqYearly, 65536.0 * 365.25, 65536.0 * 365.25);
    TEventSpec BadUntil = Rule(vfqDaily, D(2024, 1, 1), D(2024, 1, 1));
    BadUntil.EndType = vreEndDate;
    BadUntil.Until = NaN;
    TEventSpec ManyItems = Rule(vfqMonthly, D(2024, 1, 1), D(2024, 1, 1), 1, true);
    for (Integer I = 0; I < 100000; ++I)
        ManyItems.WeekDays.push_back({ I % 11 - 5, Word(I % 9) });

    const struct {
        const char* Name;
        TEventSpec Spec;
        Word Year, Month;
        bool Answer;
        std::string Flags; // "*" not checked
    } Cases[] = {
        { "interval 0 counts as 1", Zero, 2024, 2, true, "*" },
        { "interval 2^32-1: only the start", Huge, 2024, 1, true, "1:1" },
        { "interval 2^32-1: later months empty", Huge, 9999, 12, false, "" },
        { "weekly interval 2^32-1", HugeWeekly, 2024, 1, true, "3:1" },
        { "monthly interval 2^32-1", HugeMonthly, 2024, 2, false, "" },
        { "3.6 million day span, daily", LongSpan, 2024, 2, true, "*" },
        { "3.6 million day span, monthly on the 31st", LongMonthly, 2024, 2, true, "*" },
        { "3.6 million day span, no rule", LongSingle, 2024, 2, true, "*" },
        { "NaN start", NaNStart, 2024, 1, false, "" },
        { "infinite end", InfEnd, 2024, 1, false, "" },
        { "year 65536", Year65536, 2024, 1, false, "" },
        { "NaN until", BadUntil, 2024, 1, false, "" },
        { "100,000 weekday items", ManyItems, 2024, 5, true, "*" },
    };
    for (const auto& C : Cases) {
        const auto Began = std::chrono::steady_clock::now();
        const TExpansion R = Expand(C.Spec, C.Year, C.Month);
        const double Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Began).count();
        EXPECT_EQ(R.Answer, C.Answer) << C.Name;
        if (C.Flags != "*")
            EXPECT_EQ(R.Flags, C.Flags) << C.Name;
        std::printf("%-48s %8.3f ms\n", C.Name, Ms);
    }
    // Interval 0 steps by one day.
    EXPECT_EQ(Expand(Zero, 2024, 2).Flags, Expand(Rule(vfqDaily, D(2024, 1, 1), D(2024, 1, 1), 1, true), 2024, 2).Flags);
    // Every day starts an occurrence and lies inside an earlier one.
    EXPECT_NE(Expand(LongSpan, 2024, 2).Flags.find("15:12"), std::string::npos) << "first and middle day";
}


// Random rules against python-dateutil's rrule, in every form the model
// shares with RRULE (see recurrence_oracle.py).
TEST(XVRecurrence, AgreesWithDateutil)
{
    const std::string Script = std::string(X_CALENDAR_TESTS_DIR) + "/recurrence_oracle.py";
    const Testing::TToolResult Oracle = Testing::RunTool({ "python3", Script, "20241", "2000" });
    ASSERT_EQ(Oracle.ExitCode, 0) << "python3 with dateutil is needed (scripts/setup)";
    TOwnedPtr<TXVActiveEventsEngine> Engine(New<TXVActiveEventsEngine>(static_cast<TComponent*>(nullptr)));
    TOwnedPtr<TXVHolidayObject> H(New<TXVHolidayObject>());
    std::stringstream Lines(Oracle.Output);
    Integer Checked = 0;
    for (std::string Line; std::getline(Lines, Line);) {
        TOracleCase Case;
        ASSERT_TRUE(ParseOracleLine(Line, Case)) << Line;
        FillEvent(H.get(), Case.Spec);
        TXVDayFlags Flags;
        const bool Answer = Engine->ExpandEventMonth(Flags, H.get(), EncodeDate(Case.Year, Case.Month, 1));
        if (!Answer)
            Flags.fill(0);
        std::string Got;
        static const char* HexDigits = "0123456789abcdef";
        for (Byte B : Flags) {
            Got += HexDigits[B >> 4];
            Got += HexDigits[B & 15];
        }
        ASSERT_EQ(Got, Case.Flags) << "first mismatch, " << Case.Year << "-" << Case.Month << ": " << Case.RRule
                                   << "\n" << Line;
        ++Checked;
    }
    EXPECT_GT(Checked, 5000);
}
