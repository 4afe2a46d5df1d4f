#include "DesignTestSupport.h"
#include "calendar_designs/XDesign.Month.h"
#include "rtl/DateTime.h"
#include <gtest/gtest.h>

using namespace DesignTesting;

namespace {

// The process clock on 2024-03-20 while a test runs.
TDateTime FixedNow()
{
    return EncodeDate(2024, 3, 20) + 0.5;
}

struct TFixedClock {
    TFixedClock() { SetNowFunction(FixedNow); }
    ~TFixedClock() { SetNowFunction(nullptr); }
};

constexpr TColor SatBg = 0xC0C0FF, SunBg = 0xA0A0FF, Today = 0x00A000, Grid = 0x404040;

// A month item showing Year-Month with first weekday F, coloured so every
// part can be told apart.
TXDMonthItem* AddMonth(TXPageObject* Page, Integer Year, Integer Month, Integer F, TXDMonthType Type,
    Integer W = 350, Integer H = 320)
{
    Page->DefaultList()->SetDate(1, Word(Month), Year);
    TXFormatSettings Settings;
    QVLocale()->GetUserFormatSettings(Settings);
    Settings.FirstDay = F;
    Page->DefaultList()->SetFormatSettings(Settings);
    return AddItem<TXDMonthItem>(Page, [&](TXDMonthItem* I) {
        I->SetIntProp(dipWidth, W);
        I->SetIntProp(dipHeight, H);
        I->SetIntProp(dipLeft, 10);
        I->SetIntProp(dipTop, 10);
        I->SetMonthType(Type);
        TXCalendarColors* C = I->CalendarColors();
        C->SetColorByIndex(cciBg, 0xFFFFF0);
        C->SetColorByIndex(cciSaturdayBg, SatBg);
        C->SetColorByIndex(cciSundayBg, SunBg);
        C->SetColorByIndex(cciHolidayBg, 0x80FFFF);
        C->SetColorByIndex(cciDay, 0);
        C->SetColorByIndex(cciSaturday, 0x800000);
        C->SetColorByIndex(cciSunday, 0x000080);
        C->SetColorByIndex(cciHoliday, 0x008080);
        C->SetColorByIndex(cciToday, Today);
        C->SetColorByIndex(cciGrid, Grid);
    });
}

std::vector<TXHitAreaItem*> DayAreas(TXAreaCollection* Areas)
{
    std::vector<TXHitAreaItem*> Out;
    for (Integer I = 0; I < Areas->Count(); ++I)
        if (Areas->Items(I)->Command() == u"calendar_day")
            Out.push_back(static_cast<TXHitAreaItem*>(Areas->Items(I)));
    return Out;
}

TOwnedPtr<TXAreaCollection> NewAreas()
{
    return TOwnedPtr<TXAreaCollection>(
        New<TXAreaCollection>(static_cast<TPersistent*>(nullptr), TXHitAreaItem::StaticClass()));
}

}

TEST(DesignMonthItems, DayAreasFollowTheMonthAndFirstWeekday)
{
    struct TCase {
        const char* Name;
        Integer Year, Month, F;
        size_t Days;
        Integer FirstColumn; // of day 1, 0-based
    };
    // 1 Feb 2024 is a Thursday; 1 Sep 2024 a Sunday.
    const TCase Cases[] = {
        { "leap February", 2024, 2, 1, 29, 3 },
        { "common February", 2023, 2, 1, 28, 2 },
        { "Sunday first, week from Monday", 2024, 9, 1, 30, 6 },
        { "Sunday first, week from Sunday", 2024, 9, 7, 30, 0 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Page = NewPage(400, 400);
        TXDMonthItem* M = AddMonth(Page.get(), C.Year, C.Month, C.F, mtBox);
        auto B = Render(Page.get());
        auto Areas = NewAreas();
        M->CollectHitAreas(Areas.get());
        const auto Days = DayAreas(Areas.get());
        ASSERT_EQ(Days.size(), C.Days);
        EXPECT_EQ(Days[0]->Args(), IntToStr(C.Year) + (C.Month < 10 ? u"0" : u"") + IntToStr(C.Month) + u"01");
        // Day 1 lies in row 2 (the first day row), in its column.
        const Integer cw = M->CellWidth, ch = M->CellHeight;
        const TRect R = Days[0]->Rect();
        EXPECT_EQ((R.Left - M->PixLeft) / cw, C.FirstColumn);
        EXPECT_EQ((R.Top - M->PixTop) / ch, 2);
        // Every area lies inside the cell of its day, which is painted
        // where the area says: the cell's colour shows at its centre.
        for (size_t I = 0; I < Days.size(); ++I) {
            const TRect A = Days[I]->Rect();
            const Integer Col = Integer((C.FirstColumn + Integer(I)) % 7), Row = 2 + (C.FirstColumn + Integer(I)) / 7;
            const TRect Cell = Rect(M->PixLeft + Col * cw, M->PixTop + Row * ch, M->PixLeft + (Col + 1) * cw,
                M->PixTop + (Row + 1) * ch);
            EXPECT_TRUE(A.Left >= Cell.Left && A.Right <= Cell.Right && A.Top >= Cell.Top && A.Bottom <= Cell.Bottom)
                << "day " << I + 1;
            EXPECT_LT(A.Left, A.Right);
        }
        // Saturday and Sunday columns carry their colours.
        const Integer SatCol = (6 - C.F + 7) % 7, SunCol = (7 - C.F + 7) % 7;
        EXPECT_EQ(At(B.get(), M->PixLeft + SatCol * cw + 2, M->PixTop + 7 * ch + 2), SatBg);
        EXPECT_EQ(At(B.get(), M->PixLeft + SunCol * cw + 2, M->PixTop + 7 * ch + 2), SunBg);
    }
}

TEST(DesignMonthItems, ThreePicturedEntriesShowTwo)
{
    auto Page = NewPage(400, 400);
    TXDMonthItem* M = AddMonth(Page.get(), 2024, 2, 1, mtBox);
    Page->LayoutPage(0, 0);
    const TColor Colors[] = { 0x0000FF, 0x00FF00, 0xFF0000 };
    for (TColor Color : Colors) {
        TOwnedPtr<TXImageObject> Picture(New<TXImageObject>());
        FillPicture(Picture.get(), 8, 8, Color);
        M->MonthLive()->Days(14)->AddArea(u"entry", u"calendar_event", Picture.get(), u"uid");
    }
    M->ShowEntries = true;
    M->MarkDirty();
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    Page->RenderPage(B.get(), false);
    SaveDesignPicture(B.get(), "month-three-entries.png");
    auto Areas = NewAreas();
    M->CollectHitAreas(Areas.get());
    std::vector<TXHitAreaItem*> Entries;
    for (Integer I = 0; I < Areas->Count(); ++I)
        if (Areas->Items(I)->Command() == u"calendar_event")
            Entries.push_back(static_cast<TXHitAreaItem*>(Areas->Items(I)));
    ASSERT_EQ(Entries.size(), 2u);
    // The two pictures are drawn where their areas are, one below the other.
    const TRect First = Entries[0]->Rect(), Second = Entries[1]->Rect();
    EXPECT_EQ(Second.Top, First.Bottom);
    EXPECT_EQ(At(B.get(), (First.Left + First.Right) / 2, (First.Top + First.Bottom) / 2), 0x0000FF);
    EXPECT_EQ(At(B.get(), (Second.Left + Second.Right) / 2, (Second.Top + Second.Bottom) / 2), 0x00FF00);
    // Day 14 (a Wednesday) lies in the cell holding both pictures.
    const auto Days = DayAreas(Areas.get());
    EXPECT_LE(Days[13]->Rect().Top - 2, First.Top);
    EXPECT_LE(First.Left, Days[13]->Rect().Left);
}

TEST(DesignMonthItems, NumberPositionsAndOddDatePos)
{
    // The ink of day 20 inside its cell, by DatePos: every keypad position
    // differs, and values outside 1 to 9 draw as the centre does.
    auto InkOf = [](Integer DatePos) {
        TFixedClock Clock;
        auto Page = NewPage(400, 400);
        TXDMonthItem* M = AddMonth(Page.get(), 2023, 2, 1, mtBox);
        M->SetIntProp(202, DatePos);
        M->SetBoolProp(150, true);
        auto B = Render(Page.get());
        std::string Ink;
        const Integer cw = M->CellWidth, ch = M->CellHeight;
        // 20 Feb 2023 is a Monday: column 0, row 5.
        for (Integer Y = 0; Y < ch; ++Y)
            for (Integer X = 0; X < cw; ++X)
                Ink += At(B.get(), M->PixLeft + X, M->PixTop + 5 * ch + Y) == 0 ? '#' : '.';
        return Ink;
    };
    const std::string Centre = InkOf(5);
    EXPECT_NE(Centre.find('#'), std::string::npos);
    EXPECT_EQ(InkOf(0), Centre);
    EXPECT_EQ(InkOf(10), Centre);
    EXPECT_EQ(InkOf(-3), Centre);
    std::vector<std::string> Seen { Centre };
    for (Integer P : { 1, 3, 7, 9 }) {
        const std::string Ink = InkOf(P);
        EXPECT_NE(Ink.find('#'), std::string::npos) << P;
        EXPECT_EQ(std::find(Seen.begin(), Seen.end(), Ink), Seen.end()) << P;
        Seen.push_back(Ink);
    }
}

TEST(DesignMonthItems, SkipTodayLeavesTheStoredColour)
{
    TFixedClock Clock;
    auto Page = NewPage(400, 400);
    TXDMonthItem* M = AddMonth(Page.get(), 2024, 3, 1, mtBox);
    auto CountToday = [&] {
        auto B = Render(Page.get());
        Integer N = 0;
        for (Integer Y = 0; Y < B->Height(); ++Y)
            for (Integer X = 0; X < B->Width(); ++X)
                N += At(B.get(), X, Y) == Today;
        return N;
    };
    const Integer Shown = CountToday();
    EXPECT_GT(Shown, 0);
    M->SetBoolProp(150, true);
    EXPECT_EQ(CountToday(), 0);
    EXPECT_EQ(M->CalendarColors()->TodayColor(), Today);
    M->SetBoolProp(150, false);
    EXPECT_EQ(CountToday(), Shown);
}

TEST(DesignMonthItems, StripsAndLists)
{
    struct TCase {
        const char* Name;
        TXDMonthType Type;
        bool Clear;
    };
    const TCase Cases[] = {
        { "horizontal", mtHorzLine, false },
        { "clear horizontal", mtClearHorzLine, true },
        { "vertical", mtVertLine, false },
        { "clear vertical", mtClearVertLine, true },
        { "clear box", mtClearBox, true },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TFixedClock Clock;
        const bool Horz = C.Type == mtHorzLine || C.Type == mtClearHorzLine;
        const bool Vert = C.Type == mtVertLine || C.Type == mtClearVertLine;
        auto Page = NewPage(1000, 800);
        TXDMonthItem* M = AddMonth(Page.get(), 2024, 3, 1, C.Type, Horz ? 930 : 350, Horz ? 60 : 700);
        Page->ShowDayRows = false;
        auto B = Render(Page.get());
        SaveDesignPicture(B.get(), std::string("month-") + C.Name + ".png");
        if (Horz) {
            EXPECT_EQ(M->BaseHeight, Integer(M->TextHeight * 2.5)); // no entry rows
        }
        auto Areas = NewAreas();
        M->CollectHitAreas(Areas.get());
        const auto Days = DayAreas(Areas.get());
        ASSERT_EQ(Days.size(), 31u);
        // 2 March 2024 is a Saturday, 3 March a Sunday.
        const TRect Sat = Days[1]->Rect(), Sun = Days[2]->Rect(), Mon = Days[3]->Rect();
        EXPECT_EQ(At(B.get(), Sat.Left + 1, Sat.Bottom - 1), SatBg);
        EXPECT_EQ(At(B.get(), Sun.Left + 1, Sun.Bottom - 1), SunBg);
        // A weekday shows the item's fill, or the page through a clear type.
        EXPECT_EQ(At(B.get(), Mon.Left + 1, Mon.Bottom - 1), C.Clear ? 0xFFFFFF : 0xFFFFF0);
        for (size_t I = 1; I < Days.size() && (Horz || Vert); ++I) {
            const TRect A = Days[I - 1]->Rect(), Next = Days[I]->Rect();
            EXPECT_GE(Vert ? Next.Top : Next.Left, Vert ? A.Bottom : A.Right);
        }
    }
}

TEST(DesignMonthItems, HugeBoxFitsItsFontQuickly)
{
    // A stored size far beyond any screen: the font fit starts at the
    // font layer's cap instead of running from a million.
    auto Page = NewPage(1000, 1000);
    TXDMonthItem* M = AddMonth(Page.get(), 2024, 3, 1, mtBox, 2000000000, 2000000000);
    Page->LayoutPage(0, 0);
    EXPECT_LE(M->DayFontHeight, MaxDayFontHeight);
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    EXPECT_TRUE(Page->RenderPage(B.get(), false)); // the item itself is beyond the cap and left out
}
