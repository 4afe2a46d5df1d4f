#include "DesignTestSupport.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <chrono>

using namespace DesignTesting;

namespace {

// Items that count how often their content is painted.
class TCountedBorderItem : public TXDBorderItem {
    X_CLASS(TCountedBorderItem, TXDBorderItem)
public:
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override
    {
        ++Calls;
        inherited::PaintContent(Bitmap, PageRect, Flags, Key);
    }
    Integer Calls = 0;
};

class TCountedImageItem : public TXDImageItem {
    X_CLASS(TCountedImageItem, TXDImageItem)
public:
    void PaintContent(TBitmap* Bitmap, const TRect& PageRect, Cardinal Flags, TColor Key) override
    {
        ++Calls;
        inherited::PaintContent(Bitmap, PageRect, Flags, Key);
    }
    Integer Calls = 0;
};

}

X_REGISTER_CLASS(TCountedBorderItem)
X_REGISTER_CLASS(TCountedImageItem)

namespace {

void Layout(TXPageObject* Page)
{
    Page->LayoutNeeded = true;
    Page->LayoutPage(Page->DPI(), Page->DPI());
}

TEST(DesignAnchors, EdgesAgainstMarginsPageAndOtherItems)
{
    struct TCase {
        const char* Name;
        bool FullPage;
        Integer Targets[4]; // of the probe: AlLTo, AlTTo, AlRTo, AlBTo
        bool HiddenVia; // the probe's left target is hidden and itself anchored to item 1
        Integer HiddenTarget;
        Integer Left, Top, Width, Height;
    };
    // Page 200 x 100 with margins 10; the probe has distances 5, 6, 7, 8
    // and a 30 x 20 body at (40, 50); item 1 (AXIdx 1) sits at 60..80.
    const TCase Cases[] = {
        { "margins", false, { 0, 0, 0, 0 }, false, 0, 15, 16, 168, 66 },
        { "full page", true, { 0, 0, 0, 0 }, false, 0, 5, 6, 188, 86 },
        { "left only", false, { 0, -1, -1, -1 }, false, 0, 15, 50, 30, 20 },
        { "right only", false, { -1, -1, 0, -1 }, false, 0, 153, 50, 30, 20 },
        { "unanchored", false, { -1, -1, -1, -1 }, false, 0, 40, 50, 30, 20 },
        { "to an item", false, { 1, -1, -1, -1 }, false, 0, 85, 50, 30, 20 },
        { "through a hidden item to item 1", false, { 2, -1, -1, -1 }, true, 1, 85, 50, 30, 20 },
        { "through a hidden item to nothing", false, { 2, -1, -1, -1 }, true, -1, 15, 50, 30, 20 },
        { "hidden cycle", false, { 2, -1, -1, -1 }, true, 3, 15, 50, 30, 20 },
        { "target nobody carries", false, { 99, -1, -1, -1 }, false, 0, 15, 50, 30, 20 },
        { "crossing anchors clamp to 0", false, { 0, -1, 0, -1 }, false, 0, 15, 50, 0, 20 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Page = NewPage(200, 100, 10, 10, 10, 10);
        AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
            I->SetIntProp(dipAXIdx, 1);
            I->SetIntProp(dipLeft, 60);
            I->SetIntProp(dipWidth, 20);
        });
        if (C.HiddenVia) {
            AddItem<TXDSpaceItem>(Page.get(), [&](TXDSpaceItem* I) {
                I->SetIntProp(dipAXIdx, 2);
                I->SetIntProp(dipAlLTo, C.HiddenTarget);
            });
            // The other half of a cycle: item 3, hidden, anchored back to 2.
            AddItem<TXDSpaceItem>(Page.get(), [](TXDSpaceItem* I) {
                I->SetIntProp(dipAXIdx, 3);
                I->SetIntProp(dipAlLTo, 2);
            });
        }
        auto* Probe = AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* I) {
            I->SetBoolProp(3, C.FullPage);
            I->SetIntProp(dipLeft, 40);
            I->SetIntProp(dipTop, 50);
            I->SetIntProp(dipWidth, 30);
            I->SetIntProp(dipHeight, 20);
            I->SetIntProp(dipAlL, 5);
            I->SetIntProp(dipAlT, 6);
            I->SetIntProp(dipAlR, std::string(C.Name).starts_with("crossing") ? 500 : 7);
            I->SetIntProp(dipAlB, 8);
            I->SetIntProp(dipAlLTo, C.Targets[0]);
            I->SetIntProp(dipAlTTo, C.Targets[1]);
            I->SetIntProp(dipAlRTo, C.Targets[2]);
            I->SetIntProp(dipAlBTo, C.Targets[3]);
        });
        Layout(Page.get());
        EXPECT_EQ(Probe->PixLeft, C.Left);
        EXPECT_EQ(Probe->PixTop, C.Top);
        EXPECT_EQ(Probe->PixWidth, C.Width);
        EXPECT_EQ(Probe->PixHeight, C.Height);
        EXPECT_GE(Probe->BaseWidth, 0);
        // A box of no width paints nothing and does not fail.
        TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
        EXPECT_TRUE(Page->RenderPage(B.get(), false));
    }
}

TEST(DesignAnchors, ChainsFollowTheIdsAndKeepTargetsFirst)
{
    auto Page = NewPage(300, 100);
    // Inserted before its target and after it: either way the target leads.
    for (bool TargetFirst : { false, true }) {
        SCOPED_TRACE(TargetFirst);
        Page->Clear();
        auto MakeTarget = [&] {
            return AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
                I->SetIntProp(dipAXIdx, 6);
                I->SetIntProp(dipLeft, 100);
                I->SetIntProp(dipWidth, 50);
            });
        };
        auto MakeDependent = [&] {
            return AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
                I->SetIntProp(dipAXIdx, 5);
                I->SetIntProp(dipAlLTo, 6);
                I->SetIntProp(dipWidth, 10);
            });
        };
        TXDesignItem* Target = TargetFirst ? MakeTarget() : nullptr;
        TXDesignItem* Dependent = MakeDependent();
        if (!Target)
            Target = MakeTarget();
        ASSERT_EQ(Page->XChain()->Count(), 2);
        EXPECT_EQ(Page->XChain()->Items(0), Target);
        EXPECT_EQ(Page->XChain()->Items(1), Dependent);
        Layout(Page.get());
        EXPECT_EQ(Dependent->PixLeft, 150);

        // AXIdx 0 leaves the chain for the remaining list; back again it
        // goes to the front and then just behind its target.
        Dependent->SetIntProp(dipAXIdx, 0);
        EXPECT_FALSE(Page->XChain()->Contains(Dependent));
        EXPECT_TRUE(Page->RemainingItems()->Contains(Dependent));
        Dependent->SetIntProp(dipAXIdx, 5);
        EXPECT_FALSE(Page->RemainingItems()->Contains(Dependent));
        EXPECT_EQ(Page->XChain()->IndexOf(Dependent), 1);
    }
}

TEST(DesignItems, SettersAndRescale)
{
    auto Page = NewPage(1024, 768);
    auto* Item = AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetIntProp(dipWidth, 100);
        I->SetIntProp(dipHeight, 40);
        I->SetIntProp(dipLeft, 10);
        I->SetIntProp(dipTop, 7);
        I->SetIntProp(dipAlL, 3);
        I->SetIntProp(dipAlR, 5);
        I->SetIntProp(100, 4); // border width
        I->SetIntProp(50, 2); // shadow offset
    });
    Item->SetIntProp(dipWidth, -5);
    EXPECT_EQ(Item->Width(), 0);
    Item->SetIntProp(dipWidth, 100);

    struct TCase {
        double X, Y;
        bool Scaled;
        Integer Width, Height, Left, Top, AlL, AlR, Border, Shadow;
    };
    const TCase Cases[] = {
        { 0, 1.5, true, 100, 40, 10, 7, 3, 5, 4, 2 }, // a factor of 0 changes nothing
        { 1.875, 1.40625, true, 188, 56, 19, 10, 6, 9, 8, 4 }, // 187.5 and 56.25 round to even
        { 2, 2, false, 188, 56, 19, 10, 6, 9, 16, 8 }, // not scaled: only border and shadow
    };
    for (const TCase& C : Cases) {
        Item->SetScaled(C.Scaled);
        Item->Rescale(C.X, C.Y);
        EXPECT_EQ(Item->Width(), C.Width);
        EXPECT_EQ(Item->Height(), C.Height);
        EXPECT_EQ(Item->Left(), C.Left);
        EXPECT_EQ(Item->Top(), C.Top);
        EXPECT_EQ(Item->GetIntProp(dipAlL), C.AlL);
        EXPECT_EQ(Item->GetIntProp(dipAlR), C.AlR);
        EXPECT_EQ(Item->BorderWidth(), C.Border);
        EXPECT_EQ(Item->ShadowDX(), C.Shadow);
    }
    // Sizes from data: a huge factor saturates instead of wrapping.
    Item->SetScaled(true);
    Item->SetIntProp(dipWidth, 2'000'000'000);
    Item->Rescale(1e9, 1);
    EXPECT_EQ(Item->Width(), std::numeric_limits<Integer>::max());
    EXPECT_EQ(SafeColor(0xFF00FF), 0xFE00FF);
    EXPECT_EQ(SafeColor(0xFE00FF), 0xFE00FF);
    EXPECT_EQ(SafeColor(clNone), clNone);
}

TEST(DesignPage, NewPagesSizesAndRenders)
{
    TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
    ASSERT_EQ(Page->AllItems()->Count(), 1);
    EXPECT_TRUE(Page->AllItems()->Items(0)->InheritsFrom(TXDBgItem::StaticClass()));
    EXPECT_NE(Page->DefaultList()->FindByName(u"date"), nullptr);
    EXPECT_NE(Page->DefaultList()->FindByName(u"Format"), nullptr);
    EXPECT_TRUE(Page->LayoutNeeded);

    // Item 0 something else: a size setter puts a white background first.
    Page->AllItems()->Delete(0);
    auto* Shape = AddItem<TXDShapeItem>(Page.get(), [](TXDShapeItem*) { });
    Integer Raised = 0;
    Page->OnSizeChanged = [&](TObject*) { ++Raised; };
    Page->SetIntProp(2, 800);
    ASSERT_EQ(Page->AllItems()->Count(), 2);
    auto* Bg = DynamicCast<TXDBgItem>(Page->AllItems()->Items(0));
    ASSERT_NE(Bg, nullptr);
    EXPECT_EQ(Bg->BgColor(), 0xFFFFFF);
    EXPECT_EQ(Bg->Width(), 800);
    EXPECT_EQ(Page->AllItems()->Items(1), Shape);
    EXPECT_EQ(Raised, 1);

    struct TCase {
        Integer DPI, Width, Height, PixW, PixH;
    };
    for (const TCase& C : { TCase { 300, 21000, 100, 2480, 12 }, TCase { 0, 1024, 10, 1024, 10 } }) {
        Page->SetIntProp(0, C.DPI);
        Page->SetPageSize(C.Width, C.Height, 0, 0, 0, 0);
        TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
        ASSERT_TRUE(Page->RenderPage(B.get(), true));
        EXPECT_EQ(B->Width(), C.PixW);
        EXPECT_EQ(B->Height(), C.PixH);
        EXPECT_EQ(B->PixelFormat(), pf32bit);
    }
    // Beyond the picture cap nothing is allocated.
    Page->SetPageSize(1'000'000'000, 1'000'000'000, 0, 0, 0, 0);
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    EXPECT_FALSE(Page->RenderPage(B.get(), true));
    EXPECT_FALSE(Page->RenderToBitmap(B.get(), 300, 300));
    EXPECT_TRUE(Page->CacheLayers);
}

TEST(DesignPage, RescaleToMultipliesEveryScaledItem)
{
    auto Page = NewPage(1024, 768);
    auto* Item = AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetIntProp(dipWidth, 100);
        I->SetIntProp(dipLeft, 10);
        I->SetIntProp(dipAlR, 5);
        I->SetIntProp(dipHeight, 40);
        I->SetIntProp(dipAlB, 3);
    });
    Page->RescaleTo(1920, 1080, 0, 0, 0, 40);
    EXPECT_EQ(Item->Width(), 188);
    EXPECT_EQ(Item->Left(), 19);
    EXPECT_EQ(Item->GetIntProp(dipAlR), 9);
    EXPECT_EQ(Item->Height(), 56);
    EXPECT_EQ(Item->GetIntProp(dipAlB), 4);
    EXPECT_EQ(Page->BottomMargin(), 40);
    EXPECT_EQ(Page->GetBgItem()->Width(), 1920);
    // A page of no size rescales by 1.
    auto Empty = NewPage(0, 0);
    auto* Kept = AddItem<TXDBorderItem>(Empty.get(), [](TXDBorderItem* I) { I->SetIntProp(dipWidth, 33); });
    Empty->RescaleTo(500, 500, 0, 0, 0, 0);
    EXPECT_EQ(Kept->Width(), 33);
}

TEST(DesignPage, CopyKeepsAnchorsWorking)
{
    auto Page = NewPage(300, 100, 10, 0, 10, 0);
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetIntProp(dipAXIdx, 6);
        I->SetIntProp(dipLeft, 100);
        I->SetIntProp(dipWidth, 50);
    });
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetName(u"Follower");
        I->SetIntProp(dipAlLTo, 6);
        I->SetIntProp(dipAlRTo, 0);
    });
    TOwnedPtr<TXPageObject> Copy(New<TXPageObject>());
    Copy->Assign(Page.get());
    ASSERT_EQ(Copy->AllItems()->Count(), 3);
    EXPECT_EQ(Copy->XChain()->Count(), 1);
    Layout(Copy.get());
    TXDesignItem* Follower = Copy->FindItem(u"follower");
    ASSERT_NE(Follower, nullptr);
    EXPECT_EQ(Follower->Page(), Copy.get());
    EXPECT_EQ(Follower->PixLeft, 150);
    EXPECT_EQ(Follower->PixWidth, 140);
}

TEST(DesignPage, SecondRenderRepaintsOnlyUncachedItems)
{
    auto Page = NewPage(100, 100);
    auto* Cached = AddItem<TCountedBorderItem>(Page.get(), [](TCountedBorderItem* I) {
        I->SetIntProp(dipWidth, 20);
        I->SetIntProp(dipHeight, 20);
    });
    auto* NoBackground = AddItem<TCountedBorderItem>(Page.get(), [](TCountedBorderItem* I) {
        I->SetColorProp(100, clNone);
        I->SetIntProp(dipWidth, 20);
        I->SetIntProp(dipHeight, 20);
    });
    auto* Underlay = AddItem<TCountedImageItem>(Page.get(), [](TCountedImageItem* I) {
        I->SetImageStyle(isBlendRaised);
        I->SetIntProp(dipWidth, 20);
        I->SetIntProp(dipHeight, 20);
    });
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    Page->RenderPage(B.get(), true);
    EXPECT_EQ(Cached->Calls, 1);
    EXPECT_EQ(NoBackground->Calls, 1);
    EXPECT_EQ(Underlay->Calls, 1);
    Page->RenderPage(B.get(), false);
    EXPECT_EQ(Cached->Calls, 1);
    EXPECT_EQ(NoBackground->Calls, 2);
    EXPECT_EQ(Underlay->Calls, 2);
    // A look change repaints; without caching every render repaints.
    Cached->SetColorProp(100, 0x123456);
    Page->RenderPage(B.get(), false);
    EXPECT_EQ(Cached->Calls, 2);
    // The first render without caching still draws the layer it holds,
    // then drops it; every later one paints again.
    Page->CacheLayers = false;
    Page->RenderPage(B.get(), false);
    Page->RenderPage(B.get(), false);
    Page->RenderPage(B.get(), false);
    EXPECT_EQ(Cached->Calls, 4);
    EXPECT_EQ(Cached->LayerBitmap()->Width(), 0);
}

TEST(DesignPage, HostilePagesFinishBounded)
{
    // 10^5 items anchored to the page, some to ids nobody has, and a ring
    // of hidden items anchored to each other.
    auto Page = NewPage(1024, 768, 5, 5, 5, 5);
    const auto Start = std::chrono::steady_clock::now();
    for (Integer I = 0; I < 100'000; ++I)
        AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* Item) {
            Item->SetIntProp(dipWidth, 2);
            Item->SetIntProp(dipHeight, 2);
            Item->SetIntProp(dipAlLTo, I % 7 == 0 ? 1000 + I : 0);
            Item->SetIntProp(dipAlTTo, 0);
            Item->SetIntProp(dipAlL, I % 1000);
        });
    for (Integer I = 1; I <= 50; ++I)
        AddItem<TXDSpaceItem>(Page.get(), [&](TXDSpaceItem* Item) {
            Item->SetIntProp(dipAXIdx, I);
            Item->SetIntProp(dipAlLTo, I % 50 + 1);
        });
    auto* Probe = AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) { I->SetIntProp(dipAlLTo, 7); });
    // A layer far beyond the picture cap is not painted.
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetIntProp(dipWidth, 2'000'000'000);
        I->SetIntProp(dipHeight, 2'000'000'000);
    });
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    EXPECT_TRUE(Page->RenderPage(B.get(), true));
    EXPECT_EQ(Probe->PixLeft, 5);
    Page->Clear();
    EXPECT_EQ(Page->AllItems()->Count(), 0);
    // Not a time limit: a report for the log, the run ends either way.
    std::printf("10^5 items built, laid out, rendered and freed in %.2f s\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
}

}
