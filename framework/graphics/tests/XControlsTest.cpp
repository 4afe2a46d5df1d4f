#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.ScreenMetrics.h"
#include "core/XSpark.App.h"
#include "graphics/XControls.h"
#include "win/Metrics.h"
#include <pixman.h>

using namespace ControlTests;

namespace {

// A picture of W x H pixels in Item's own image object.
void GivePicture(TXHitImageAreaItem* Item, Integer W, Integer H)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(W, H);
    ASSERT_TRUE(Item->Image()->LoadFromObject(Bmp.get()));
}

// Counts the change notifications the borders run.
class TCountedBorders : public TXBorders {
    X_CLASS_TEMPLATE(TCountedBorders, TXBorders, u"TXControlsTestCountedBorders")
public:
    void EndChange() override { ++Changes; }
    Integer Changes = 0;
};

// The region as pixman's union of the rectangles.
TRegion UnionOf(std::initializer_list<TRect> Rects)
{
    std::vector<pixman_box32_t> Boxes;
    for (const TRect& R : Rects)
        Boxes.push_back({ R.Left, R.Top, R.Right, R.Bottom });
    return TRegion(Boxes);
}

}

TEST(ImageAreaItems, AnAssignmentTakesOnlyWhatTheSourceCarries)
{
    TOwnedPtr<TXImageAreaCollection> Areas(New<TXImageAreaCollection>(static_cast<TPersistent*>(nullptr)));
    // The typed collection makes image area items.
    TXHitImageAreaItem* Plain = Areas->GetItem(Areas->Add()->Index());
    ASSERT_TRUE(Plain->InheritsFrom(TXHitImageAreaItem::StaticClass()));
    GivePicture(Plain, 4, 3);
    Plain->SetHit(xhtWeb);
    Plain->SetRect({ 1, 2, 3, 4 });

    TOwnedPtr<TXHitImageAreasItem> Hot(New<TXHitImageAreasItem>(nullptr));
    GivePicture(Hot.get(), 8, 8);
    Hot->SetCommand(u"Hot");
    Hot->Areas()->Add();
    Hot->Areas()->Add();
    ASSERT_TRUE(Hot->Areas()->Items(0)->InheritsFrom(TXHitImageAreaItem::StaticClass()));
    TOwnedPtr<TXHitAreaItem> Bare(New<TXHitAreaItem>(nullptr));
    Bare->SetCommand(u"Bare");

    struct {
        TPersistent* Source;
        Integer Width;
        Integer SubAreas;
        String Command;
    } const Cases[] = {
        { Hot.get(), 8, 2, u"Hot" },
        { Plain, 4, 0, u"" },
        { Hot.get(), 8, 2, u"Hot" },
        { Bare.get(), 0, 0, u"Bare" },
    };
    TOwnedPtr<TXHitImageAreasItem> Target(New<TXHitImageAreasItem>(nullptr));
    for (const auto& C : Cases) {
        SCOPED_TRACE(StringToUTF8(C.Source->ClassName()));
        Target->Assign(C.Source);
        EXPECT_EQ(Target->Image()->Width(), C.Width);
        EXPECT_EQ(Target->Image()->IsEmpty(), C.Width == 0);
        EXPECT_EQ(Target->Areas()->Count(), C.SubAreas);
        EXPECT_EQ(Target->Command(), C.Command);
    }
    // The copy is the target's own: the source's sub-areas stay.
    Target->Assign(Hot.get());
    Hot->Areas()->Clear();
    EXPECT_EQ(Target->Areas()->Count(), 2);
    Target->Assign(Plain);
    EXPECT_EQ(Target->Rect(), Rect(1, 2, 3, 4));
    EXPECT_EQ(Target->Hit(), xhtWeb);
}

TEST(Borders, WidthsRectsAndChanges)
{
    TOwnedPtr<TCountedBorders> B(New<TCountedBorders>());
    EXPECT_EQ(B->GetRect(100, 50), Rect(0, 0, 100, 50));
    B->SetLeft(1);
    B->SetTop(2);
    B->SetRight(3);
    B->SetBottom(4);
    EXPECT_EQ(B->Changes, 4);
    B->SetBottom(4); // the same width: no change
    B->SetWidth(4, 9); // no such border
    B->SetWidth(-1, 9);
    EXPECT_EQ(B->Changes, 4);
    EXPECT_EQ(B->GetRect(100, 50), Rect(1, 2, 97, 46));
    // Narrower than its borders: the rectangle turns over, as the caller
    // asked for.
    EXPECT_EQ(B->GetRect(2, 2), Rect(1, 2, -1, -2));

    TOwnedPtr<TCountedBorders> Copy(New<TCountedBorders>());
    Copy->Assign(B.get());
    EXPECT_EQ(Copy->Changes, 1); // one change for the whole assignment
    for (Integer I = 0; I < 4; ++I)
        EXPECT_EQ(Copy->GetWidth(I), B->GetWidth(I));
    Copy->Clear();
    EXPECT_EQ(Copy->GetRect(10, 10), Rect(0, 0, 10, 10));

    // The published widths are what the text form stores.
    EXPECT_EQ(GetOrdProp(B.get(), GetPropInfo(B.get(), u"Right")), 3);
    EXPECT_FALSE(IsDefaultPropValue(B.get(), GetPropInfo(B.get(), u"Right")));
    EXPECT_TRUE(IsDefaultPropValue(Copy.get(), GetPropInfo(Copy.get(), u"Right")));
}

TEST(Borders, ScaleToTheScreen)
{
    struct {
        Integer Dpi;
        std::array<Word, 4> Expected;
    } const Cases[] = {
        { 96, { 6, 0, 1, 65535 } },
        { 144, { 9, 0, 2, 65535 } }, // 1.5 rounds up; no wrap past 16 bits
        { 120, { 8, 0, 1, 65535 } },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Dpi);
        SetScreenDPI(C.Dpi, C.Dpi);
        LoadScreenMetrics();
        TOwnedPtr<TCountedBorders> B(New<TCountedBorders>());
        B->SetLeft(6);
        B->SetRight(1);
        B->SetBottom(65535);
        B->Changes = 0;
        B->ScaleToScreenDpi();
        for (Integer I = 0; I < 4; ++I)
            EXPECT_EQ(B->GetWidth(I), C.Expected[I]) << I;
        EXPECT_LE(B->Changes, 1);
    }
    SetScreenDPI(96, 96);
    LoadScreenMetrics();
}

TEST(Borders, RegionOfTheStrips)
{
    struct {
        std::array<Word, 4> Widths;
        TRegion Expected;
    } const Cases[] = {
        { { 0, 0, 0, 0 }, TRegion() },
        { { 2, 0, 0, 0 }, UnionOf({ Rect(0, 0, 2, 40) }) },
        { { 0, 5, 0, 0 }, UnionOf({ Rect(0, 0, 60, 5) }) },
        { { 0, 0, 3, 0 }, UnionOf({ Rect(57, 0, 60, 40) }) },
        { { 0, 0, 0, 4 }, UnionOf({ Rect(0, 36, 60, 40) }) },
        { { 2, 5, 3, 4 }, UnionOf({ Rect(0, 0, 2, 40), Rect(0, 0, 60, 5), Rect(57, 0, 60, 40), Rect(0, 36, 60, 40) }) },
        // Wider than the window: the strips stop at its edges.
        { { 100, 0, 0, 0 }, UnionOf({ Rect(0, 0, 60, 40) }) },
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Widths[0] << C.Widths[1] << C.Widths[2] << C.Widths[3]);
        TOwnedPtr<TXBorders> B(New<TXBorders>());
        for (Integer I = 0; I < 4; ++I)
            B->SetWidth(I, C.Widths[I]);
        HRGN Rgn = B->CreateBordersRegion(60, 40);
        ASSERT_NE(RegionOf(Rgn), nullptr);
        TRegion Got = *RegionOf(Rgn);
        Got.Intersect(TRegion(Rect(0, 0, 60, 40)));
        EXPECT_TRUE(Got == C.Expected);
        DeleteObject(Rgn);
    }
}

namespace {
class ControlUtilities : public TFormFixture { };
}

TEST_F(ControlUtilities, ControlsMoveAndGrowInPlace)
{
    auto* C = Add<TProbePanel>(Form, { 10, 20, 60, 50 }, clWhite);
    struct {
        void (*Move)(TControl*, Integer, Integer);
        Integer A, B;
        TRect Expected;
    } const Cases[] = {
        { &OffsetControl, 5, -3, { 15, 17, 65, 47 } },
        { &GrowControl, 10, 20, { 15, 17, 75, 67 } },
        { &GrowControl, -60, 0, { 15, 17, 15, 67 } }, // no negative width
        { &OffsetControl, 0, 0, { 15, 17, 15, 67 } },
    };
    for (const auto& Case : Cases) {
        Case.Move(C, Case.A, Case.B);
        EXPECT_EQ(C->BoundsRect(), Case.Expected);
    }
}
