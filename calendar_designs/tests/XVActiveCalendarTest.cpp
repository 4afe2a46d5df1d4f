#include "CalendarTestSupport.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

using namespace Testing;
using namespace CalendarTesting;

namespace {

struct TActiveFixture {
    TTempFolder Folder;
    TOwnedPtr<TXVCalendars> Calendars { New<TXVCalendars>(static_cast<TComponent*>(nullptr)) };
    TOwnedPtr<TXVActiveCalendarEngine> Engine { New<TXVActiveCalendarEngine>(static_cast<TComponent*>(nullptr)) };

    TActiveFixture()
    {
        Calendars->OpenStorage(Folder.File("Calendars"));
        Engine->SetCalendars(Calendars.get());
    }

    TXVHolidayObject* Holiday(const TEventSpec& Spec, TXVDayColorType Color = vdcHoliday, TColor Bg = clNone,
        TColor Text = clNone)
    {
        auto* H = DynamicCast<TXVHolidayObject>(Calendars->HolidaysTab()->NewObject());
        FillEvent(H, Spec);
        H->SetColorType(Color);
        H->SetBgColor(Bg);
        H->SetTextColor(Text);
        return H;
    }

    TXVActiveDay* Day(Integer Y, Integer M, Integer D) { return Engine->Day(Y, M, D); }
};

TEventSpec AllDay(TDateTime Start, TDateTime End)
{
    TEventSpec S;
    S.Start = Start;
    S.End = End;
    S.AllDay = true;
    return S;
}

// Every entry of every created day, as "y-m-d:start/end".
Integer EntriesOf(TXVActiveCalendarEngine* Engine, TXCustomVEventObject* Event)
{
    Integer N = 0;
    for (TXVActiveYear* Y : *Engine->Years())
        for (Integer M = 1; M <= 12; ++M)
            for (Integer D = 1; D <= 31; ++D)
                for (TXVActiveEventObject* E : *Y->Months(M)->Days(D)->Events())
                    N += E->Event == Event;
    return N;
}

} // namespace

TEST(XVActiveCalendar, MonthsAreBuiltOnceWithTheirDays)
{
    TActiveFixture F;
    EXPECT_TRUE(F.Engine->EnsureMonth(2024, 2));
    EXPECT_TRUE(F.Engine->EnsureMonth(2024, 2));
    EXPECT_EQ(F.Engine->BuildCount(), 1);
    EXPECT_EQ(F.Day(2024, 2, 29)->Date, D(2024, 2, 29));
    for (Integer Day : { 30, 31 }) {
        EXPECT_EQ(F.Day(2024, 2, Day)->Date, 0);
        EXPECT_EQ(F.Day(2024, 2, Day)->Events()->Count(), 0);
    }
    // No year is made outside 1 .. 9999, and a month needs 1 .. 12.
    const struct {
        Integer Year, Month;
    } Bad[] = { { 0, 1 }, { 10000, 1 }, { 65536 + 2024, 1 }, { -1, 1 }, { 2024, 0 }, { 2024, 13 } };
    for (const auto& B : Bad)
        EXPECT_FALSE(F.Engine->EnsureMonth(B.Year, B.Month)) << B.Year << "-" << B.Month;
    EXPECT_EQ(F.Engine->IndexOfYear(65536 + 2024), -1);
    EXPECT_EQ(F.Engine->Years()->Count(), 1);
}

TEST(XVActiveCalendar, DayColoursAndEntries)
{
    TActiveFixture F;
    F.Holiday(AllDay(D(2024, 5, 1), D(2024, 5, 1)), vdcHoliday);
    F.Holiday(AllDay(D(2024, 5, 1), D(2024, 5, 1)), vdcCustom, 0x0000FF, 0xFFFFFF);
    F.Holiday(AllDay(D(2024, 5, 2), D(2024, 5, 2)), vdcDay);
    F.Holiday(AllDay(D(2024, 5, 3), D(2024, 5, 3)), vdcHoliday);
    TEventSpec Night;
    Night.HasRule = true;
    Night.Frequency = vfqDaily;
    Night.Start = D(2024, 5, 10, 22);
    Night.End = D(2024, 5, 11, 2);
    F.Holiday(Night, vdcDay);
    ASSERT_TRUE(F.Engine->EnsureMonth(2024, 5));

    TXVActiveDay* First = F.Day(2024, 5, 1);
    EXPECT_TRUE(First->IsHoliday);
    EXPECT_EQ(First->BgColor, 0x0000FF);
    EXPECT_EQ(First->TextColor, 0xFFFFFF);
    ASSERT_EQ(First->Events()->Count(), 2);
    EXPECT_EQ(First->Events()->Items(0)->StartMinute, -1);
    EXPECT_EQ(First->Events()->Items(0)->EndMinute, -1);
    EXPECT_EQ(First->Events()->Items(0)->Date, Integer(D(2024, 5, 1)));
    EXPECT_FALSE(F.Day(2024, 5, 2)->IsHoliday) << "only day-coloured holidays";
    EXPECT_TRUE(F.Day(2024, 5, 3)->IsHoliday);
    EXPECT_EQ(F.Day(2024, 5, 3)->BgColor, clNone);
    // 22:00 to 02:00 daily: each day from the 10th one entry 1320 .. 1441,
    // no last day (the span is below 24 hours).
    EXPECT_EQ(F.Day(2024, 5, 9)->Events()->Count(), 0);
    for (Integer Day = 10; Day <= 31; ++Day) {
        ASSERT_EQ(F.Day(2024, 5, Day)->Events()->Count(), 1) << Day;
        EXPECT_EQ(F.Day(2024, 5, Day)->Events()->Items(0)->StartMinute, 1320);
        EXPECT_EQ(F.Day(2024, 5, Day)->Events()->Items(0)->EndMinute, 1441);
    }
}

TEST(XVActiveCalendar, ChangesReachBuiltMonthsAndOnlyTheDaysTheyTouch)
{
    TActiveFixture F;
    TEventSpec Yearly = AllDay(D(2024, 1, 5), D(2024, 1, 6));
    Yearly.HasRule = true;
    Yearly.Frequency = vfqYearly;
    TXVHolidayObject* A = F.Holiday(Yearly, vdcHoliday);
    TXVHolidayObject* B = F.Holiday(AllDay(D(2024, 1, 10), D(2024, 1, 10)), vdcCustom, 0x00FF00, 0);
    ASSERT_TRUE(F.Engine->EnsureMonth(2024, 1));
    ASSERT_TRUE(F.Engine->EnsureMonth(2025, 1));
    EXPECT_TRUE(F.Day(2025, 1, 6)->IsHoliday);
    EXPECT_EQ(EntriesOf(F.Engine.get(), A), 4);
    // A mark on a day no entry of A is on: it must survive A's removal.
    F.Day(2024, 1, 20)->IsHoliday = true;
    ASSERT_TRUE(F.Calendars->HolidaysTab()->DeleteObject(A));
    EXPECT_FALSE(F.Day(2024, 1, 5)->IsHoliday);
    EXPECT_FALSE(F.Day(2025, 1, 6)->IsHoliday);
    EXPECT_TRUE(F.Day(2024, 1, 10)->IsHoliday);
    EXPECT_TRUE(F.Day(2024, 1, 20)->IsHoliday) << "a day that lost nothing is not recoloured";
    EXPECT_EQ(F.Day(2024, 1, 5)->Events()->Count(), 0);

    // An edit: out, changed, in again.
    F.Engine->RemoveObject(B);
    FillEvent(B, AllDay(D(2024, 1, 12), D(2024, 1, 12)));
    F.Engine->AddObject(B);
    EXPECT_FALSE(F.Day(2024, 1, 10)->IsHoliday);
    EXPECT_EQ(F.Day(2024, 1, 12)->BgColor, 0x00FF00);
    EXPECT_EQ(F.Day(2025, 1, 12)->Events()->Count(), 0);
}

// Blank journals are never attached, and nothing stays pointing at a
// journal or holiday the storage freed.
TEST(XVActiveCalendar, NothingPointsAtFreedObjects)
{
    TActiveFixture F;
    TXVJournalTabObject* Journals = F.Calendars->JournalsTab();
    TXVJournalObject* Written = Journals->JournalOfDate(D(2024, 7, 2));
    Written->SetDescriptionTitle(u"written");
    ASSERT_TRUE(Written->TouchAndSave());
    TXVJournalObject* Blank = Journals->JournalOfDate(D(2024, 7, 1));
    ASSERT_TRUE(Blank->HasState(vsfBlank));
    ASSERT_TRUE(F.Engine->EnsureMonth(2024, 7));
    EXPECT_EQ(F.Day(2024, 7, 1)->Journal, nullptr);
    EXPECT_EQ(F.Day(2024, 7, 2)->Journal, Written);

    // Attached by hand, then purged: the day lets go.
    ASSERT_TRUE(F.Engine->SetJournal(Blank));
    EXPECT_EQ(F.Day(2024, 7, 1)->Journal, Blank);
    Journals->PurgeFlaggedObjects();
    EXPECT_EQ(F.Day(2024, 7, 1)->Journal, nullptr);
    ASSERT_TRUE(Journals->DeleteObject(Written));
    EXPECT_EQ(F.Day(2024, 7, 2)->Journal, nullptr);

    TXVHolidayObject* H = F.Holiday(AllDay(D(2024, 7, 4), D(2024, 7, 4)));
    F.Engine->AddObject(H);
    EXPECT_EQ(EntriesOf(F.Engine.get(), H), 1);
    ASSERT_TRUE(F.Calendars->HolidaysTab()->DeleteObject(H));
    for (Integer Day = 1; Day <= 31; ++Day)
        EXPECT_EQ(F.Day(2024, 7, Day)->Events()->Count(), 0);

    // The storage freed: the cache goes with it, and the engine goes on.
    F.Holiday(AllDay(D(2024, 7, 5), D(2024, 7, 5)));
    F.Engine->Years()->Clear();
    ASSERT_TRUE(F.Engine->EnsureMonth(2024, 7));
    EXPECT_EQ(F.Day(2024, 7, 5)->Events()->Count(), 1);
    F.Calendars.reset();
    EXPECT_EQ(F.Engine->Calendars(), nullptr);
    EXPECT_EQ(F.Engine->Years()->Count(), 0);
    EXPECT_TRUE(F.Engine->EnsureMonth(2024, 7));
    EXPECT_EQ(F.Day(2024, 7, 5)->Events()->Count(), 0);
}

TEST(XVActiveCalendar, JournalsWithBadDaysAreNotAttached)
{
    TActiveFixture F;
    TXVJournalObject* J = F.Calendars->JournalsTab()->NewJournal(D(2024, 8, 1));
    for (TDateTime Bad : { std::numeric_limits<double>::quiet_NaN(), 65536.0 * 366, -1e7 }) {
        J->DTStart()->SetDDate(Bad);
        EXPECT_FALSE(F.Engine->SetJournal(J));
        F.Engine->ClearJournal(J);
    }
    EXPECT_EQ(F.Engine->Years()->Count(), 0) << "no year made from a bad day";
}
