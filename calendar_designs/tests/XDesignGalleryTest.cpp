// Pictures of the design items for a person to look at, and the text,
// month and schedule items against reference renderings.
#include "DesignCalendarFixture.h"
#include "calendar_designs/XDesign.Schedule.h"
#include "calendar_designs/XDesign.Stored.h"
#include "calendar_designs/XDesign.Templates.h"
#include "calendar_designs/XDesign.Text.h"
#include <cstdlib>
#include <gtest/gtest.h>

using namespace DesignTesting;
using CalendarTesting::D;

namespace {

// A landscape made by ImageMagick: sky, two hills and a sun.
std::filesystem::path GalleryPhoto()
{
    const std::filesystem::path P = DesignPicturePath("input-photo.jpg");
    if (!std::filesystem::exists(P))
        Testing::RunTool({ "convert", "-size", "1600x1000", "gradient:#6fa8dc-#f6e6c8", "-fill", "#3d6b35", "-draw",
            "ellipse 400,1000 700,300 0,360", "-fill", "#5a8f3c", "-draw", "ellipse 1300,1050 800,350 0,360", "-fill",
            "#ffd966", "-draw", "circle 1250,250 1250,330", P.string() });
    return P;
}

// Every area of every item outlined on a copy of the picture.
void SaveAreas(TXPageObject* Page, TBitmap* Picture, const std::string& Name)
{
    TOwnedPtr<TBitmap> Copy(MakeOwned<TBitmap>());
    Copy->Assign(Picture);
    TCanvas* C = Copy->Canvas();
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetWidth(2);
    auto Areas = NewAreas();
    for (Integer I = 0; I < Page->AllItems()->Count(); ++I) {
        Page->AllItems()->Items(I)->CollectHitAreas(Areas.get());
        for (Integer A = 0; A < Areas->Count(); ++A) {
            const String Command = Areas->Items(A)->Command();
            C->Pen()->SetColor(Command == u"calendar_day" ? 0x0000FF : Command == u"quick_note" ? 0x00C000 : 0xFF00C0);
            C->Rectangle(static_cast<TXHitAreaItem*>(Areas->Items(A))->Rect());
        }
    }
    SaveDesignPicture(Copy.get(), Name);
}

bool IsPrintTemplate(TXPageObject* Page)
{
    return Page->Units() != muPixels;
}

// Our picture against a checked-in reference: at most Budget pixels may
// differ by more than 3 %. A failure keeps our picture and the difference.
void ExpectLikeReference(TBitmap* Ours, const std::string& Name, Integer Budget)
{
    const std::filesystem::path Ref = std::filesystem::path(X_CALENDAR_TESTS_DIR) / "references" / (Name + ".png");
    SaveDesignPicture(Ours, "reference-" + Name + "-ours.png");
    const std::filesystem::path Mine = DesignPicturePath("reference-" + Name + "-ours.png");
    if (std::getenv("X_UPDATE_DESIGN_REFERENCES")) {
        std::filesystem::create_directories(Ref.parent_path());
        std::filesystem::copy_file(Mine, Ref, std::filesystem::copy_options::overwrite_existing);
    }
    ASSERT_TRUE(std::filesystem::exists(Ref)) << Ref;
    const std::filesystem::path Diff = DesignPicturePath("reference-" + Name + "-diff.png");
    // compare writes the count on standard error.
    const Testing::TToolResult R = Testing::RunTool({ "sh", "-c", "compare -metric AE -fuzz 3% \"$0\" \"$1\" \"$2\" 2>&1",
        Mine.string(), Ref.string(), Diff.string() });
    ASSERT_NE(R.ExitCode, 127);
    const Integer Differing = std::atoi(R.Output.c_str());
    EXPECT_LE(Differing, Budget) << Name << ": see " << Mine << " and " << Diff << " (" << R.Output << ")";
    if (Differing <= Budget) {
        std::filesystem::remove(Mine);
        std::filesystem::remove(Diff);
    }
}

}

TEST(DesignGallery, ShippedLayoutsWithPhotoAndCalendar)
{
    if (!Testing::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is missing";
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    const std::filesystem::path Photo = GalleryPhoto();
    for (const TXDesignTemplate& T : DesignTemplates()) {
        SCOPED_TRACE(T.Name);
        TOwnedPtr<TXStoredPage> Stored(New<TXStoredPage>(static_cast<TComponent*>(nullptr)));
        TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
        ASSERT_TRUE(Stored->LoadInto(DesignTemplateText(S(T.Name)), Page.get(), false));
        ShowMarch2024(Page.get(), Cal);
        for (const char16_t* Name : { u"Background", u"Foto" })
            if (auto* Picture = DynamicCast<TXDBorderItem>(Page->FindItem(Name)))
                ASSERT_TRUE(Picture->Image()->LoadFromFile(S(Photo.string()), false));
        for (Integer I = 1; I <= 4; ++I)
            if (TXDesignItem* Ad = Page->FindItem(u"Ad" + IntToStr(I)))
                Ad->SetColorProp(100, 0x50A0E0 - 0x102010 * I);
        TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
        if (IsPrintTemplate(Page.get())) {
            ASSERT_TRUE(Page->RenderToBitmap(B.get(), 75, 75));
            EXPECT_EQ(B->Width(), Page->Width() < Page->Height() ? 620 : 877);
            SaveDesignPicture(B.get(), std::string("gallery-print-") + T.Name + ".png");
            continue;
        }
        Page->CalendarUnderlay = true;
        Page->RescaleTo(1920, 1080, 0, 0, 0, 0);
        ASSERT_TRUE(Page->RenderPage(B.get(), true));
        ASSERT_EQ(B->Width(), 1920);
        SaveDesignPicture(B.get(), std::string("gallery-") + T.Name + ".png");
        SaveAreas(Page.get(), B.get(), std::string("gallery-") + T.Name + "-areas.png");
        // Every wallpaper layout but the slide show shows this month.
        auto* Month = DynamicCast<TXDMonthItem>(Page->FindItem(u"Month"));
        if (!Month) {
            EXPECT_EQ(std::string(T.Name), "SlideShow");
            continue;
        }
        EXPECT_EQ(Month->DisplayMonth, 3);
        EXPECT_EQ(Month->DayCount(), 31);
    }
}

TEST(DesignGallery, VariantSheets)
{
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    {
        // Month types down, DatePos 1, 5, 9 and 0 across.
        auto Page = NewPage(4 * 330 + 20, 3 * 300 + 2 * 120 + 20);
        ShowMarch2024(Page.get(), Cal);
        const Integer Positions[] = { 1, 5, 9, 0 };
        for (Integer Col = 0; Col < 4; ++Col)
            for (Integer Row = 0; Row < 3; ++Row)
                AddItem<TXDMonthItem>(Page.get(), [&](TXDMonthItem* I) {
                    const TXDMonthType Types[] = { mtBox, mtClearBox, mtBox };
                    I->SetMonthType(Types[Row]);
                    I->SetIntProp(dipLeft, 10 + Col * 330);
                    I->SetIntProp(dipTop, 10 + Row * 300);
                    I->SetIntProp(dipWidth, 310);
                    I->SetIntProp(dipHeight, 280);
                    I->SetIntProp(202, Positions[Col]);
                    I->SetIntProp(151, Row == 2 ? 2 : 0);
                    I->SetIntProp(150, Row == 1 ? 1 : 0);
                    TXCalendarColors* C = I->CalendarColors();
                    for (Integer K = 0; K < cciCount; ++K)
                        C->SetColorByIndex(K, TColor(0x303030 + 0x0F0A05 * K));
                    C->SetColorByIndex(cciBg, 0xF8F0E8);
                    C->SetColorByIndex(cciToday, 0x0000D0);
                });
        const TXDMonthType Lines[] = { mtHorzLine, mtClearHorzLine };
        for (Integer Row = 0; Row < 2; ++Row)
            AddItem<TXDMonthItem>(Page.get(), [&](TXDMonthItem* I) {
                I->SetMonthType(Lines[Row]);
                I->SetIntProp(dipLeft, 10);
                I->SetIntProp(dipTop, 920 + Row * 120);
                I->SetIntProp(dipWidth, 1300);
                I->SetIntProp(dipHeight, 100);
                I->CalendarColors()->SetColorByIndex(cciBg, 0xF8F0E8);
                I->CalendarColors()->SetColorByIndex(cciSaturdayBg, 0xE0D0C0);
                I->CalendarColors()->SetColorByIndex(cciSundayBg, 0xC0C0F0);
                I->CalendarColors()->SetColorByIndex(cciDay, 0x202020);
                I->CalendarColors()->SetColorByIndex(cciToday, 0x0000D0);
            });
        Page->GetBgItem()->SetColorProp(100, 0x807060);
        SaveDesignPicture(Render(Page.get()).get(), "variants-month.png");
    }
    {
        // Schedule parts across: note and days, note alone, days alone,
        // one day (Wednesday), a clear box.
        auto Page = NewPage(5 * 250 + 20, 520);
        ShowMarch2024(Page.get(), Cal);
        const TXDVScheduleParts Parts[] = { SchedulePart(vspQNote) | SchedulePart(vspJournals), SchedulePart(vspQNote),
            SchedulePart(vspJournals), SchedulePart(vspJournal), SchedulePart(vspJournals) };
        for (Integer Col = 0; Col < 5; ++Col)
            AddItem<TXDVScheduleItem>(Page.get(), [&](TXDVScheduleItem* I) {
                I->SetIntProp(dipLeft, 10 + Col * 250);
                I->SetIntProp(dipTop, 10);
                I->SetIntProp(dipWidth, 230);
                I->SetIntProp(dipHeight, 480);
                I->SetVScheduleParts(Parts[Col]);
                I->SetIntProp(200, 3);
                I->SetVScheduleType(Col == 4 ? vstClearBox : vstBox);
                I->CalendarColors()->SetColorByIndex(cciBg, 0xF0E0D0);
                I->CalendarColors()->SetColorByIndex(cciDay, 0x202020);
                I->CalendarColors()->SetColorByIndex(cciToday, 0x0000C0);
                I->CalendarColors()->SetColorByIndex(cciDayShadow, 0x808080);
                I->SetIntProp(150, 1);
            });
        Page->GetBgItem()->SetColorProp(100, 0x607080);
        SaveDesignPicture(Render(Page.get()).get(), "variants-schedule.png");
    }
}

TEST(DesignGallery, AgainstReferenceRenderings)
{
    if (!Testing::HaveTool("compare"))
        GTEST_SKIP() << "ImageMagick is missing";
    TClockAt Clock(D(2024, 3, 20));
    TDesignCalendar Cal;
    const Integer Budget = 40;
    {
        auto Page = NewPage(240, 100);
        AddItem<TXDTextItem>(Page.get(), [](TXDTextItem* I) {
            I->Font()->SetHeight(-28);
            I->SetStrProp(100, u"Calendar");
            I->SetAutoSize(true);
            I->SetColorProp(100, 0x3050A0);
            I->SetColorProp(50, 0xA0A0A0);
            I->SetIntProp(50, 2);
            I->SetIntProp(51, 2);
        });
        AddItem<TXDTextItem>(Page.get(), [](TXDTextItem* I) {
            I->Font()->SetHeight(-28);
            I->SetStrProp(100, u"Pressed");
            I->SetAutoSize(true);
            I->SetIntProp(dipTop, 50);
            I->SetTextStyle(tsBlendLowered);
            I->SetByteProp(100, 60);
        });
        Page->GetBgItem()->SetColorProp(100, 0xC0D0E0);
        ExpectLikeReference(Render(Page.get()).get(), "text", Budget);
    }
    const struct {
        const char* Name;
        TXDMonthType Type;
        Integer W, H;
    } Months[] = { { "month-box", mtBox, 280, 240 }, { "month-strip", mtHorzLine, 620, 60 },
        { "month-list", mtVertLine, 120, 600 } };
    for (const auto& M : Months) {
        auto Page = NewPage(M.W + 20, M.H + 20);
        ShowMarch2024(Page.get(), Cal);
        AddItem<TXDMonthItem>(Page.get(), [&](TXDMonthItem* I) {
            I->SetMonthType(M.Type);
            I->SetIntProp(dipLeft, 10);
            I->SetIntProp(dipTop, 10);
            I->SetIntProp(dipWidth, M.W);
            I->SetIntProp(dipHeight, M.H);
            TXCalendarColors* C = I->CalendarColors();
            C->SetColorByIndex(cciBg, 0xFBF6F0);
            C->SetColorByIndex(cciSaturdayBg, 0xF0E4DA);
            C->SetColorByIndex(cciSundayBg, 0xE6D2C2);
            C->SetColorByIndex(cciHolidayBg, 0xC8E6FF);
            C->SetColorByIndex(cciDay, 0x302820);
            C->SetColorByIndex(cciSunday, 0xA04010);
            C->SetColorByIndex(cciToday, 0x0000D0);
        });
        ExpectLikeReference(Render(Page.get()).get(), M.Name, Budget);
    }
    {
        auto Page = NewPage(280, 420);
        ShowMarch2024(Page.get(), Cal);
        AddItem<TXDVScheduleItem>(Page.get(), [](TXDVScheduleItem* I) {
            I->SetIntProp(dipLeft, 10);
            I->SetIntProp(dipTop, 10);
            I->SetIntProp(dipWidth, 260);
            I->SetIntProp(dipHeight, 400);
            I->CalendarColors()->SetColorByIndex(cciBg, 0xF0E0D0);
            I->CalendarColors()->SetColorByIndex(cciDay, 0x202020);
            I->CalendarColors()->SetColorByIndex(cciToday, 0x0000C0);
        });
        ExpectLikeReference(Render(Page.get()).get(), "schedule", Budget);
    }
}
