#include "DesignTestSupport.h"
#include "calendar_designs/XDesign.Stored.h"
#include "calendar_designs/XDesign.Text.h"
#include "core/XCore.Errors.h"
#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>

using namespace DesignTesting;

namespace {

TOwnedPtr<TXStoredPage> NewStored()
{
    return TOwnedPtr<TXStoredPage>(New<TXStoredPage>(static_cast<TComponent*>(nullptr)));
}

// A small page of every stored kind with anchors.
TOwnedPtr<TXPageObject> SamplePage()
{
    auto Page = NewPage(1024, 768);
    Page->GetBgItem()->SetName(u"Background");
    Page->GetBgItem()->SetDefaultName(u"DefaultFoto");
    AddItem<TXDSpaceItem>(Page.get(), [](TXDSpaceItem* I) {
        I->SetName(u"ControlSpacer");
        I->SetIntProp(dipAXIdx, 1);
        I->SetIntProp(dipAlRTo, 0);
        I->SetIntProp(dipAlR, 20);
        I->SetIntProp(dipWidth, 200);
    });
    AddItem<TXDLiveImageItem>(Page.get(), [](TXDLiveImageItem* I) {
        I->SetName(u"Ad1");
        I->SetDefaultName(u"DefaultAd1\r\nDefaultCalendar");
        I->SetIntProp(dipAlRTo, 1);
        I->SetIntProp(dipWidth, 120);
        I->SetIntProp(dipHeight, 60);
        I->SetColorProp(100, clNone);
        I->Hit()->SetHit(xhtCustom);
        I->Hit()->SetCommand(u"ad");
    });
    AddItem<TXDMonthTextItem>(Page.get(), [](TXDMonthTextItem* I) {
        I->SetName(u"MonthText");
        I->SetIntProp(150, 101);
        I->Font()->SetHeight(-28);
        I->SetColorProp(100, 0xFFFFFF);
        I->SetAutoSize(true);
    });
    return Page;
}

TEST(DesignStoredPages, SaveLoadSaveGivesTheSameText)
{
    auto Page = SamplePage();
    auto Stored = NewStored();
    const String Text = Stored->SaveFrom(Page.get());
    const std::string U = Testing::U8(Text);
    EXPECT_EQ(U.rfind("object TXStoredPage", 0), 0u) << U;
    EXPECT_NE(U.find("Page.Items = <"), std::string::npos);
    EXPECT_NE(U.find("ObjClassName = 'TXDLiveImageItem'"), std::string::npos);
    EXPECT_NE(U.find("Obj.Hit.Command = 'ad'"), std::string::npos) << U;
    EXPECT_EQ(U.find("Obj.Scaled"), std::string::npos); // defaults are not written

    TOwnedPtr<TXPageObject> Loaded(New<TXPageObject>());
    ASSERT_TRUE(Stored->LoadInto(Text, Loaded.get(), false));
    EXPECT_EQ(Stored->Page()->Items()->Count(), 0);
    ASSERT_EQ(Loaded->AllItems()->Count(), 4);
    EXPECT_EQ(Loaded->XChain()->Count(), 1);
    TXDesignItem* Ad = Loaded->FindItem(u"ad1");
    ASSERT_NE(Ad, nullptr);
    EXPECT_EQ(Ad->DefaultNames()->Count(), 2);
    EXPECT_TRUE(Ad->Scaled());
    EXPECT_EQ(Stored->SaveFrom(Loaded.get()), Text);
    // The spacer is hidden: the ad's right edge passes through it to the
    // page's edge.
    Loaded->LayoutNeeded = true;
    Loaded->LayoutPage(0, 0);
    EXPECT_EQ(Ad->PixLeft, 1024 - 120);

    // Loading again first clears the old items.
    ASSERT_TRUE(Stored->LoadInto(Text, Loaded.get(), false));
    EXPECT_EQ(Loaded->AllItems()->Count(), 4);
}

TEST(DesignStoredPages, ForeignAndUnknownContent)
{
    const char* Head = "object TXStoredPage\r\n  Page.Width = 300\r\n  Page.Height = 200\r\n  Page.Items = <\r\n";
    struct TCase {
        const char* Name;
        std::string Items;
        bool Loads;
        Integer Count;
    };
    const TCase Cases[] = {
        { "unknown keys are skipped",
            "    item\r\n      ObjClassName = 'TXDImageItem'\r\n      Obj.BorderShadow = True\r\n"
            "      Obj.WallPack = 'x'\r\n      Obj.Width = 40\r\n    end>\r\nend\r\n",
            true, 1 },
        { "two quoted lines",
            "    item\r\n      ObjClassName = 'TXDImageItem'\r\n"
            "      Obj.DefaultName = 'DefaultMonth'+#13#10+'DefaultCalendar'\r\n    end>\r\nend\r\n",
            true, 1 },
        { "a class that is no design item",
            "    item\r\n      ObjClassName = 'TXCalendarColors'\r\n    end\r\n    item\r\n"
            "      ObjClassName = 'TXDSpaceItem'\r\n    end>\r\nend\r\n",
            false, 1 },
        { "a class nobody registered", "    item\r\n      ObjClassName = 'TNoSuchItem'\r\n    end>\r\nend\r\n", false,
            0 },
        { "broken syntax", "    item\r\n      ObjClassName = \r\n", false, -1 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Stored = NewStored();
        auto Target = NewPage(10, 10);
        auto* Kept = AddItem<TXDSpaceItem>(Target.get(), [](TXDSpaceItem*) { });
        ClearXError();
        const bool Loaded = Stored->LoadInto(S(std::string(Head) + C.Items), Target.get(), false);
        EXPECT_EQ(Loaded, C.Loads);
        if (!Loaded)
            EXPECT_EQ(GetXErrorCode(), xecReadFailed);
        if (C.Count >= 0) {
            EXPECT_EQ(Target->AllItems()->Count(), C.Count);
            EXPECT_EQ(Target->Width(), 300);
        } else {
            ASSERT_EQ(Target->AllItems()->Count(), 2);
            EXPECT_EQ(Target->AllItems()->Items(1), Kept);
        }
        if (std::string(C.Name) == "two quoted lines")
            EXPECT_EQ(Target->AllItems()->Items(0)->DefaultNames()->Count(), 2);
    }
}

TEST(DesignStoredPages, HostileTextsFinishBounded)
{
    const Integer HostileItems = std::getenv("X_HOSTILE_ITEMS") ? std::atoi(std::getenv("X_HOSTILE_ITEMS")) : 100'000;
    // 10^5 items, huge sizes and a ring of anchors in one text.
    std::string Text = "object TXStoredPage\r\n  Page.Width = 2147483647\r\n  Page.Height = 2147483647\r\n"
                       "  Page.Items = <\r\n";
    for (Integer I = 0; I < HostileItems; ++I)
        Text += "    item\r\n      ObjClassName = 'TXDSpaceItem'\r\n      Obj.AXIdx = " + std::to_string(I % 100 + 1)
            + "\r\n      Obj.AlLTo = " + std::to_string((I + 1) % 100 + 1) + "\r\n      Obj.Width = 2147483647\r\n    end\r\n";
    Text += "  >\r\nend\r\n";
    const auto Start = std::chrono::steady_clock::now();
    Testing::ResetPeakResident();
    const long Before = Testing::ResidentKiB();
    auto Stored = NewStored();
    TOwnedPtr<TXPageObject> Target(New<TXPageObject>());
    ASSERT_TRUE(Stored->LoadInto(S(Text), Target.get(), false));
    EXPECT_EQ(Target->AllItems()->Count(), HostileItems);
    Target->RescaleTo(3840, 2160, 0, 0, 0, 0);
    Target->LayoutNeeded = true;
    Target->LayoutPage(0, 0);
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    EXPECT_TRUE(Target->RenderPage(B.get(), false));
    Target->SetPageSize(2147483647, 2147483647, 0, 0, 0, 0);
    EXPECT_FALSE(Target->RenderPage(B.get(), true));
    // Memory in proportion to the text, not to the sizes it names.
    EXPECT_LT(Testing::PeakResidentKiB() - Before, 2'000'000);
    std::printf("%d stored items loaded, laid out and rendered in %.2f s\n", HostileItems,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
}

}

#include "calendar_designs/XDesign.Templates.h"

namespace {

TEST(DesignStoredPages, ShippedLayoutsLoadAndSaveToTheSameText)
{
    ASSERT_FALSE(DesignTemplates().empty());
    for (const TXDesignTemplate& T : DesignTemplates()) {
        SCOPED_TRACE(T.Name);
        const String Text = DesignTemplateText(S(T.Name));
        auto Stored = NewStored();
        TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
        ASSERT_TRUE(Stored->LoadInto(Text, Page.get(), false));
        EXPECT_EQ(Stored->SaveFrom(Page.get()), Text);
        // Every layout is pictured at 1920 x 1080 for a person to look at.
        Page->RescaleTo(1920, 1080, 0, 0, 0, 40);
        for (Integer I = 0; I < Page->AllItems()->Count(); ++I)
            if (auto* Live = DynamicCast<TXDLiveImageItem>(Page->AllItems()->Items(I)))
                Live->SetColorProp(100, 0x3070C0 + 0x202020 * I);
        TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
        ASSERT_TRUE(Page->RenderPage(B.get(), true));
        SaveDesignPicture(B.get(), std::string("layout-") + T.Name + ".png");
    }
    EXPECT_TRUE(DesignTemplateText(u"no such layout").empty());
}

}
