#include "DesignTestSupport.h"
#include <gtest/gtest.h>

using namespace DesignTesting;

namespace {

constexpr TColor Grey = 0x808080;

TEST(DesignBorderItems, Boxes)
{
    struct TCase {
        const char* Name;
        Integer DPI, Width, ShadowDX, ShadowDY, BorderWidth;
        TXDShadowStyle Style;
        Integer PixWidth, PixHeight, PixBorder;
    };
    const TCase Cases[] = {
        { "shadow 3", 0, 40, 3, 3, 0, ssFlat, 43, 43, 0 },
        { "blurred shadow 3", 0, 40, 3, 3, 0, ssBlur, 47, 47, 0 },
        { "blur needs both offsets", 0, 40, 3, 0, 0, ssBlur, 43, 40, 0 },
        { "negative offsets", 0, 40, -3, -2, 0, ssFlat, 43, 42, 0 },
        { "border 10 at 300 dpi", 300, 2540, 0, 0, 10, ssFlat, 302, 302, 1 },
        { "border 1 at 96 dpi", 96, 2540, 0, 0, 1, ssFlat, 98, 98, 1 },
        { "border and shadow", 0, 40, 2, 2, 4, ssFlat, 50, 50, 4 },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Page = NewPage(3000, 3000);
        Page->SetIntProp(0, C.DPI);
        auto* I = AddItem<TXDBorderItem>(Page.get(), [&](TXDBorderItem* I) {
            I->SetIntProp(dipWidth, C.Width);
            I->SetIntProp(dipHeight, C.Width);
            I->SetIntProp(50, C.ShadowDX);
            I->SetIntProp(51, C.ShadowDY);
            I->SetIntProp(100, C.BorderWidth);
            I->SetShadowStyle(C.Style);
        });
        Page->LayoutPage(C.DPI, C.DPI);
        EXPECT_EQ(I->PixWidth, C.PixWidth);
        EXPECT_EQ(I->PixHeight, C.PixHeight);
        EXPECT_EQ(I->PixBorderWidth, C.PixBorder);
        EXPECT_EQ(I->GetOuterWidth(), C.Width + std::abs(C.ShadowDX) + 2 * C.BorderWidth);
        // Laid out twice, the blur margin still counts once.
        Page->LayoutPage(C.DPI, C.DPI);
        EXPECT_EQ(I->PixWidth, C.PixWidth);
    }
}

TEST(DesignBorderItems, PaintedParts)
{
    auto Page = NewPage(100, 60);
    Page->GetBgItem()->SetColorProp(100, Grey);
    // No background: only the frame; the page shows through the body.
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetColorProp(100, clNone);
        I->SetColorProp(101, 0x0000FF);
        I->SetIntProp(100, 2);
        I->SetIntProp(dipLeft, 5);
        I->SetIntProp(dipTop, 5);
        I->SetIntProp(dipWidth, 20);
        I->SetIntProp(dipHeight, 20);
    });
    // A key colour: the picture shows, the background colour does not.
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetColorProp(100, 0x00FF00);
        I->SetColorProp(0, 0x123456);
        I->SetImagePosition(ipBestFit);
        FillPicture(I->Image(), 10, 10, 0xFF0000);
        I->SetIntProp(dipLeft, 40);
        I->SetIntProp(dipTop, 5);
        I->SetIntProp(dipWidth, 40);
        I->SetIntProp(dipHeight, 20);
    });
    // Negative shadow offsets: a bigger box but no shadow.
    AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetColorProp(100, 0x00FFFF);
        I->SetColorProp(50, 0);
        I->SetIntProp(50, -4);
        I->SetIntProp(51, -4);
        I->SetIntProp(dipLeft, 5);
        I->SetIntProp(dipTop, 35);
        I->SetIntProp(dipWidth, 20);
        I->SetIntProp(dipHeight, 20);
    });
    auto B = Render(Page.get());
    SaveDesignPicture(B.get(), "border-parts.png");
    EXPECT_EQ(At(B.get(), 5, 5), 0x0000FF);
    EXPECT_EQ(At(B.get(), 6, 20), 0x0000FF);
    EXPECT_EQ(At(B.get(), 15, 15), Grey);
    EXPECT_EQ(At(B.get(), 60, 15), 0xFF0000);
    EXPECT_EQ(At(B.get(), 42, 15), Grey);
    EXPECT_EQ(At(B.get(), 7, 37), 0x00FFFF);
    // The body fills the whole enlarged box; no black shadow anywhere.
    EXPECT_EQ(At(B.get(), 5 + 23, 35 + 23), 0x00FFFF);
    // The space item is never painted.
    AddItem<TXDSpaceItem>(Page.get(), [](TXDSpaceItem* I) {
        I->SetIntProp(dipWidth, 100);
        I->SetIntProp(dipHeight, 60);
    });
    auto After = Render(Page.get());
    EXPECT_EQ(At(After.get(), 15, 15), Grey);
}

TEST(DesignPictureItems, Cases)
{
    {
        SCOPED_TRACE("auto size at 300 dpi counts the picture at 140 dpi");
        auto Page = NewPage(50000, 50000);
        Page->SetIntProp(0, 300);
        auto* I = AddItem<TXDImageItem>(Page.get(), [](TXDImageItem* I) {
            I->Image()->SetWidth(1400);
            I->Image()->SetHeight(700);
            I->SetAutoSize(true);
        });
        EXPECT_EQ(I->Width(), 1400);
        Page->LayoutPage(300, 300);
        EXPECT_EQ(I->BaseWidth, 3000);
        EXPECT_EQ(I->BaseHeight, 1500);
        // A huge stored picture saturates instead of wrapping.
        I->Image()->SetWidth(2'000'000'000);
        Page->LayoutPage(300, 300);
        EXPECT_EQ(I->BaseWidth, std::numeric_limits<Integer>::max());
    }
    {
        SCOPED_TRACE("credit band");
        auto Page = NewPage(80, 60);
        AddItem<TXDImageItem>(Page.get(), [](TXDImageItem* I) {
            I->SetIntProp(dipWidth, 80);
            I->SetIntProp(dipHeight, 60);
            FillPicture(I->Image(), 80, 60, 0x00C000);
            I->SetStrProp(150, u"Photo: Somebody");
        });
        auto B = Render(Page.get());
        SaveDesignPicture(B.get(), "image-credit.png");
        EXPECT_EQ(At(B.get(), 1, 60 - 24), 0);
        EXPECT_EQ(At(B.get(), 1, 60 - 25), 0x00C000);
        Integer White = 0;
        for (Integer X = 0; X < 80; ++X)
            White += At(B.get(), X, 60 - 10) == 0xFFFFFF;
        EXPECT_GT(White, 0);
    }
    {
        SCOPED_TRACE("the background item paints also when hidden");
        auto Page = NewPage(20, 20);
        Page->GetBgItem()->SetColorProp(100, 0x4080C0);
        Page->GetBgItem()->SetBoolProp(0, false);
        EXPECT_EQ(At(Render(Page.get()).get(), 10, 10), 0x4080C0);
    }
    {
        SCOPED_TRACE("live image areas");
        auto Page = NewPage(200, 100);
        auto* I = AddItem<TXDLiveImageItem>(Page.get(), [](TXDLiveImageItem* I) {
            I->SetIntProp(dipLeft, 10);
            I->SetIntProp(dipTop, 20);
            I->SetIntProp(dipWidth, 30);
            I->SetIntProp(dipHeight, 40);
        });
        Page->LayoutPage(0, 0);
        TOwnedPtr<TXAreaCollection> Areas(
            New<TXAreaCollection>(static_cast<TPersistent*>(nullptr), TXHitAreaItem::StaticClass()));
        I->CollectHitAreas(Areas.get());
        EXPECT_EQ(Areas->Count(), 0);
        I->Hit()->SetHit(xhtCustom);
        I->Hit()->SetCommand(u"next");
        I->CollectHitAreas(Areas.get());
        ASSERT_EQ(Areas->Count(), 1);
        auto* Area = static_cast<TXHitAreaItem*>(Areas->Items(0));
        EXPECT_EQ(Area->Command(), u"next");
        EXPECT_EQ(Area->Rect(), Rect(10, 20, 40, 60));
    }
    {
        SCOPED_TRACE("shapes");
        auto Page = NewPage(120, 60);
        Page->GetBgItem()->SetColorProp(100, Grey);
        const TXDShapeType Types[] = { stRectangle, stRoundRect, stEllipse };
        for (Integer K = 0; K < 3; ++K)
            AddItem<TXDShapeItem>(Page.get(), [&](TXDShapeItem* I) {
                I->SetShapeType(Types[K]);
                I->SetColorProp(100, 0xFFFF00);
                I->SetColorProp(101, 0xFF0000);
                I->SetIntProp(100, K == 0 ? 0 : 2);
                I->SetIntProp(50, 4);
                I->SetIntProp(51, 4);
                I->SetIntProp(dipLeft, 5 + 40 * K);
                I->SetIntProp(dipTop, 5);
                I->SetIntProp(dipWidth, 30);
                I->SetIntProp(dipHeight, 40);
            });
        auto B = Render(Page.get());
        SaveDesignPicture(B.get(), "shapes.png");
        EXPECT_EQ(At(B.get(), 5, 5), 0xFFFF00); // no pen: no outline
        EXPECT_EQ(At(B.get(), 5 + 31, 5 + 40), 0); // the shadow
        EXPECT_EQ(At(B.get(), 100, 25), 0xFFFF00);
        EXPECT_EQ(At(B.get(), 100, 6), 0xFF0000); // the ellipse's outline
        EXPECT_EQ(At(B.get(), 86, 6), Grey); // outside the ellipse
    }
}

TEST(DesignColors, CalendarColorsAndDefaults)
{
    TOwnedPtr<TXCalendarColors> Colors(New<TXCalendarColors>());
    EXPECT_TRUE(Colors->IsEmpty());
    for (Integer I = 0; I < cciCount; ++I)
        Colors->SetColorByIndex(I, I == cciToday ? clNone : 0x10 * I);
    EXPECT_TRUE(Colors->IsEmpty());
    Colors->SetColorByIndex(cciToday, 0);
    EXPECT_FALSE(Colors->IsEmpty());
    TOwnedPtr<TXCalendarColors> Copy(New<TXCalendarColors>());
    Copy->Assign(Colors.get());
    EXPECT_EQ(Copy->ColorByIndex(cciGrid), 0xA0);

    TOwnedPtr<TXGradientObject> G(New<TXGradientObject>());
    auto* Stop = G->Stops()->Add();
    Stop->SetColor(0x123456);
    Stop->SetPosition(40);
    TOwnedPtr<TXGradientObject> G2(New<TXGradientObject>());
    G2->Assign(G.get());
    ASSERT_EQ(G2->Stops()->Count(), 1);
    EXPECT_EQ(G2->Stops()->Items(0)->Color(), 0x123456);
    EXPECT_EQ(G2->Stops()->Items(0)->Position(), 40);

    TOwnedPtr<TXDDefaultList> List(MakeOwned<TXDDefaultList>(true));
    auto* NotADate = New<TXDDefaultVisible>();
    NotADate->SetName(u"Date");
    List->Add(NotADate);
    List->SetDate(1, 2, 2020);
    EXPECT_FALSE(List->Changed);
    EXPECT_EQ(List->FindByName(u"DATE"), NotADate);
    // A default written into something that is not an item raises.
    EXPECT_THROW(NotADate->AssignTo(Colors.get()), Exception);
}

TEST(DesignDefaults, ItemsTakeTheirNamedDefaults)
{
    auto Page = NewPage(100, 100);
    auto* Item = AddItem<TXDBorderItem>(Page.get(), [](TXDBorderItem* I) {
        I->SetDefaultName(u"Hide\r\nHalf");
        I->SetDataName(u"PageHalf");
    });
    ASSERT_EQ(Item->DefaultNames()->Count(), 2);
    TOwnedPtr<TXDDefaultList> Defaults(MakeOwned<TXDDefaultList>(true));
    auto* Hide = New<TXDDefaultVisible>();
    Hide->SetName(u"Hide");
    Defaults->Add(Hide);
    auto* Half = New<TXDDefaultAlpha>();
    Half->SetName(u"Half");
    Half->SetAlpha(128);
    Defaults->Add(Half);
    auto* Other = New<TXDDefaultAlpha>();
    Other->SetName(u"half"); // the list match is case-sensitive
    Other->SetAlpha(7);
    Defaults->Add(Other);
    Page->ApplyDefaults(Defaults.get());
    EXPECT_FALSE(Item->Visible());
    EXPECT_EQ(Item->Alpha(), 128);
    // One default by name matches without regard to case.
    Other->SetName(u"HALF");
    Page->ApplyDefault(Other);
    EXPECT_EQ(Item->Alpha(), 7);
    // The page's own list serves DataName.
    auto* PageHalf = New<TXDDefaultAlpha>();
    PageHalf->SetName(u"PageHalf");
    PageHalf->SetBgAlpha(64);
    Page->DefaultList()->Add(PageHalf);
    Page->DefaultList()->Changed = true;
    Page->LayoutPage(0, 0);
    EXPECT_EQ(Item->BgAlpha(), 64);
    EXPECT_FALSE(Page->DefaultList()->Changed);
}

}
