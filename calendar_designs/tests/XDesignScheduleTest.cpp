#include "DesignCalendarFixture.h"
#include "calendar_designs/XDesign.Schedule.h"
#include "core/XSpark.Lg.h"
#include <gtest/gtest.h>

using namespace DesignTesting;

namespace {

std::vector<std::string> Commands(TXDesignItem* Item)
{
    auto Areas = NewAreas();
    Item->CollectHitAreas(Areas.get());
    std::vector<std::string> Out;
    for (Integer I = 0; I < Areas->Count(); ++I)
        Out.push_back(StringToUTF8(Areas->Items(I)->Command() + u" " + Areas->Items(I)->Args()));
    return Out;
}

TXDVScheduleItem* AddSchedule(TXPageObject* Page, TDesignCalendar& Cal, TXDVScheduleParts Parts, Integer H = 500)
{
    Page->DefaultList()->SetCalendarEngine(Cal.Engine.get());
    return AddItem<TXDVScheduleItem>(Page, [&](TXDVScheduleItem* I) {
        I->SetIntProp(dipWidth, 260);
        I->SetIntProp(dipHeight, H);
        I->SetIntProp(dipLeft, 10);
        I->SetIntProp(dipTop, 10);
        I->SetVScheduleParts(Parts);
        TXCalendarColors* C = I->CalendarColors();
        C->SetColorByIndex(cciBg, 0xF0E0D0);
        C->SetColorByIndex(cciDay, 0x202020);
        C->SetColorByIndex(cciToday, 0x0000C0);
    });
}

constexpr TXDVScheduleParts Both = SchedulePart(vspQNote) | SchedulePart(vspJournals);

}

TEST(DesignScheduleItems, ScheduleDayByWeekday)
{
    using CalendarTesting::D;
    struct TCase {
        const char* Name;
        TDateTime Today;
        bool OneDay;
        Integer WDay;
        TDateTime Expected;
    };
    // 21 March 2024 is a Thursday, 24 March a Sunday.
    const TCase Cases[] = {
        { "list starts today", D(2024, 3, 21), false, 3, D(2024, 3, 21) },
        { "Wednesday of this week", D(2024, 3, 21), true, 3, D(2024, 3, 20) },
        { "on Sunday, the coming Wednesday", D(2024, 3, 24), true, 3, D(2024, 3, 27) },
        { "Sunday 7 on Sunday is today", D(2024, 3, 24), true, 7, D(2024, 3, 24) },
        { "Sunday 7 midweek is last Sunday", D(2024, 3, 21), true, 7, D(2024, 3, 17) },
        { "WDay 0 is that Sunday too", D(2024, 3, 21), true, 0, D(2024, 3, 17) },
        { "WDay out of range counts as 0", D(2024, 3, 21), true, 99, D(2024, 3, 17) },
        { "Monday", D(2024, 3, 21), true, 1, D(2024, 3, 18) },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Page = NewPage(300, 300);
        auto* S = AddItem<TXDVScheduleItem>(Page.get(), [&](TXDVScheduleItem* I) {
            I->SetVScheduleParts(C.OneDay ? SchedulePart(vspJournal) : Both);
            I->SetIntProp(200, C.WDay);
        });
        EXPECT_EQ(S->ComputeScheduleDay(C.Today + 0.75), C.Expected);
    }
}

TEST(DesignScheduleItems, NotesHolidaysAndJournalsBecomeLines)
{
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    auto Page = NewPage(300, 600);
    TXDVScheduleItem* S = AddSchedule(Page.get(), Cal, Both, 560);
    auto B = Render(Page.get());
    SaveDesignPicture(B.get(), "schedule-notes-and-days.png");
    const auto Got = Commands(S);
    ASSERT_GE(Got.size(), 6u);
    // The quick note first; then today with its three holidays, the next
    // day with a journal and the one with a plain holiday; empty days are
    // left out.
    const std::vector<std::string> Want { "quick_note ", "calendar_day 20240320", "calendar_holiday 20240320",
        "calendar_holiday 20240320", "calendar_holiday 20240320", "calendar_day 20240321", "calendar_day 20240322",
        "calendar_holiday 20240322", "calendar_day 20240325" };
    EXPECT_EQ(std::vector<std::string>(Got.begin(), Got.begin() + std::min(Got.size(), Want.size())),
        std::vector<std::string>(Want.begin(), Want.begin() + std::min(Got.size(), Want.size())));
    // Every line lies inside the item, one below the other.
    auto Areas = NewAreas();
    S->CollectHitAreas(Areas.get());
    for (Integer I = 0; I < Areas->Count(); ++I) {
        const TRect R = static_cast<TXHitAreaItem*>(Areas->Items(I))->Rect();
        EXPECT_GE(R.Top, S->PixTop);
        EXPECT_LE(R.Bottom, S->PixTop + S->PixHeight);
        if (I > 0)
            EXPECT_GE(R.Top, static_cast<TXHitAreaItem*>(Areas->Items(I - 1))->Rect().Bottom);
    }
    EXPECT_GT(S->NoteBitmap()->Height(), S->LineHeight);
}

TEST(DesignScheduleItems, ListRunsIntoTheNextMonthOnly)
{
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 4, 30));
    TDesignCalendar Cal;
    Cal.Journal(D(2024, 5, 1), u"May day", clNone);
    Cal.Journal(D(2024, 5, 31), u"End of May", clNone);
    Cal.Journal(D(2024, 6, 1), u"June", clNone);
    auto Page = NewPage(300, 2000);
    TXDVScheduleItem* S = AddSchedule(Page.get(), Cal, SchedulePart(vspJournals), 1900);
    Render(Page.get());
    const auto Got = Commands(S);
    const std::vector<std::string> Want { "calendar_day 20240430", "calendar_day 20240501", "calendar_day 20240531" };
    EXPECT_EQ(Got, Want);
}

TEST(DesignScheduleItems, QuickNoteAloneShrinksTheBox)
{
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 3, 20));
    for (bool PaintEmpty : { false, true }) {
        SCOPED_TRACE(PaintEmpty ? "PaintEmpty" : "shrunk");
        TDesignCalendar Cal;
        auto Page = NewPage(300, 600);
        TXDVScheduleItem* S = AddSchedule(Page.get(), Cal, SchedulePart(vspQNote), 500);
        S->SetBoolProp(200, PaintEmpty);
        auto B = Render(Page.get());
        const Integer Fill = 0xF0E0D0;
        const Integer NearBottom = S->PixTop + S->PixHeight - 3;
        EXPECT_EQ(At(B.get(), S->PixLeft + 2, NearBottom) == Fill, PaintEmpty);
        EXPECT_EQ(Commands(S), std::vector<std::string> { "quick_note " });
    }
}

TEST(DesignScheduleItems, WithoutQuickNoteTheListStartsAtTheTop)
{
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 3, 21));
    TDesignCalendar Cal;
    auto Page = NewPage(300, 600);
    TXDVScheduleItem* S = AddSchedule(Page.get(), Cal, Both, 500);
    Page->LayoutPage(0, 0);
    Page->ApplyPageDefaults();
    S->CalendarLive()->QuickNote = nullptr;
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    S->MarkDirty();
    Page->RenderPage(B.get(), false);
    const auto Got = Commands(S);
    ASSERT_FALSE(Got.empty());
    EXPECT_EQ(Got[0], "calendar_day 20240321");
}

TEST(DesignMonthItems, CalendarEntriesFillTheDays)
{
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    auto Page = NewPage(400, 400);
    Page->DefaultList()->SetDate(1, 3, 2024);
    Page->DefaultList()->SetCalendarEngine(Cal.Engine.get());
    // Once more keeps one calendar default.
    const Integer Defaults = Page->DefaultList()->Count();
    EXPECT_TRUE(Page->DefaultList()->SetCalendarEngine(Cal.Engine.get()));
    EXPECT_EQ(Page->DefaultList()->Count(), Defaults);
    auto* M = AddItem<TXDMonthItem>(Page.get(), [](TXDMonthItem* I) {
        I->SetName(u"Month");
        I->SetIntProp(dipWidth, 350);
        I->SetIntProp(dipHeight, 320);
    });
    Render(Page.get());
    // The defaults it took left its own name alone.
    EXPECT_EQ(Page->FindItem(u"Month"), M);
    TXDMonthLive* Live = M->MonthLive();
    // Three pictured holidays on the 20th, a journal with a picture on the
    // 21st, a holiday without one on the 22nd.
    EXPECT_EQ(Live->Days(20)->Areas()->Count(), 3);
    EXPECT_TRUE(Live->Days(20)->Flagged);
    EXPECT_EQ(Live->Days(21)->Areas()->Count(), 1);
    EXPECT_NE(Live->Days(21)->Hint.find(u"Dentist at ten"), String::npos);
    EXPECT_EQ(Live->Days(22)->Areas()->Count(), 0);
    EXPECT_TRUE(Live->Days(22)->Flagged);
    EXPECT_EQ(Live->Days(25)->Areas()->Count(), 0); // a journal without a picture
    EXPECT_NE(Live->Days(25)->Hint.find(u"Trip to the coast"), String::npos);
    EXPECT_EQ(Live->Days(5)->Hint, Lg()->GetWord(2264975954u));
    EXPECT_EQ(M->EntryRows, 2);
    std::vector<std::string> Entries;
    for (const std::string& C : Commands(M))
        if (C.rfind("calendar_day", 0) != 0)
            Entries.push_back(C.substr(0, C.find(' ')));
    EXPECT_EQ(Entries, (std::vector<std::string> { "calendar_holiday", "calendar_holiday" }));
}

TEST(DesignRichTextItems, RenderedHeightFollowsTheText)
{
    auto Page = NewPage(400, 400);
    auto* Short = AddItem<TXDRichTextItem>(Page.get(), [](TXDRichTextItem* I) {
        I->SetIntProp(dipWidth, 200);
        I->SetIntProp(dipHeight, 300);
        I->SetColorProp(100, 0xE0FFFF);
        I->SetStrProp(150, u"{\\rtf1 One {\\b bold} line.}");
    });
    auto* Long = AddItem<TXDRichTextItem>(Page.get(), [](TXDRichTextItem* I) {
        I->SetIntProp(dipWidth, 200);
        I->SetIntProp(dipHeight, 300);
        I->SetIntProp(dipLeft, 200);
        I->SetColorProp(100, 0xFFE0E0);
        I->SetStrProp(150, u"{\\rtf1 One\\par two\\par three\\par four}");
    });
    auto B = Render(Page.get());
    SaveDesignPicture(B.get(), "rich-text-items.png");
    EXPECT_GT(Short->RenderedHeight, 12);
    // Four lines against one, beside the margins of 6 above and below.
    EXPECT_GT(Long->RenderedHeight - 12, 3 * (Short->RenderedHeight - 12));
}

TEST(DesignRichTextItems, HugeStoredSizesStayBounded)
{
    // Sizes from a hostile page: laid out and rendered without a huge
    // allocation or an overflow; what is beyond the picture cap is left out.
    using CalendarTesting::D;
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    auto Page = NewPage(400, 400);
    Page->DefaultList()->SetCalendarEngine(Cal.Engine.get());
    AddItem<TXDRichTextItem>(Page.get(), [](TXDRichTextItem* I) {
        I->SetIntProp(dipWidth, 2000000000);
        I->SetIntProp(dipHeight, 50);
        I->SetStrProp(150, u"{\\rtf1 wide}");
    });
    auto* S = AddItem<TXDVScheduleItem>(Page.get(), [](TXDVScheduleItem* I) {
        I->SetIntProp(dipWidth, 200);
        I->SetIntProp(dipHeight, 60000);
    });
    auto B = Render(Page.get());
    EXPECT_EQ(B->Width(), 400);
    EXPECT_FALSE(Commands(S).empty());
}
