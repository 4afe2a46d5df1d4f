#include "GradientJpeg.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Resample.h"
#include "graphics/XMedia.Thumbnails.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace {

void LoadGradientJpeg(TXImageObject* Object, Integer W, Integer H)
{
    ASSERT_TRUE(PixelTest::LoadGradientJpeg(Object, W, H));
}

double MeanDifference(TBitmap* A, TBitmap* B)
{
    double Sum = 0;
    for (Integer Y = 0; Y < A->Height(); ++Y)
        for (Integer X = 0; X < A->Width(); ++X) {
            const TColor CA = A->Pixel(X, Y), CB = B->Pixel(X, Y);
            Sum += std::abs(GetRValue(CA) - GetRValue(CB)) + std::abs(GetGValue(CA) - GetGValue(CB))
                + std::abs(GetBValue(CA) - GetBValue(CB));
        }
    return Sum / (3.0 * A->Width() * A->Height());
}

}

TEST(ThumbnailCache, KeepsTheRecentlyShownWithinItsBudget)
{
    TOwnedPtr<TXImageCollection> Items(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    for (Integer I = 0; I < 6; ++I)
        LoadGradientJpeg(Items->Add()->ImageData(), 200, 150);
    const TXThumbnailLook Look { 100, 75, true, clWhite };
    const size_t One = size_t(300 * 75);
    TXThumbnailCache Cache(3 * One);
    for (Integer I = 0; I < 3; ++I)
        ASSERT_NE(Cache.Thumbnail(Items->Items(I), Items->Items(I), Look), nullptr);
    EXPECT_EQ(Cache.Drawn(), 3);
    // Shown again: kept, not drawn again; item 0 becomes the newest.
    Cache.Thumbnail(Items->Items(0), Items->Items(0), Look);
    EXPECT_EQ(Cache.Drawn(), 3);
    // A fourth pushes out the least recently shown (item 1).
    Cache.Thumbnail(Items->Items(3), Items->Items(3), Look);
    EXPECT_EQ(Cache.Count(), 3);
    EXPECT_EQ(Cache.Bytes(), 3 * One);
    Cache.Thumbnail(Items->Items(0), Items->Items(0), Look);
    Cache.Thumbnail(Items->Items(2), Items->Items(2), Look);
    EXPECT_EQ(Cache.Drawn(), 4);
    Cache.Thumbnail(Items->Items(1), Items->Items(1), Look);
    EXPECT_EQ(Cache.Drawn(), 5);
    // A smaller budget drops the oldest at once; the newest always stays.
    Cache.SetBudget(One / 2);
    EXPECT_EQ(Cache.Count(), 1);
    ASSERT_NE(Cache.Thumbnail(Items->Items(1), Items->Items(1), Look), nullptr);
    EXPECT_EQ(Cache.Drawn(), 5);
    Cache.Forget(Items->Items(1));
    EXPECT_EQ(Cache.Count(), 0);
    EXPECT_EQ(Cache.Bytes(), 0u);
}

TEST(ThumbnailCache, DrawsAgainWhenThePictureOrTheLookChanges)
{
    TOwnedPtr<TXImageCollection> Items(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    TXImageItem* Item = Items->Add();
    LoadGradientJpeg(Item->ImageData(), 200, 150);
    TXThumbnailCache Cache(1 << 20);
    const int Key = 0;
    TXThumbnailLook Look { 100, 75, true, clWhite };
    Cache.Thumbnail(&Key, Item, Look);
    struct TChange {
        const char* Name;
        std::function<void()> Change;
        bool Redrawn;
    } const Changes[] = {
        { "nothing", [] { }, false },
        { "the size", [&] { Look.Width = 80; }, true },
        { "stretched", [&] { Look.KeepAspectRatio = false; }, true },
        { "the ground", [&] { Look.Background = clBlack; }, true },
        { "a new picture", [&] { LoadGradientJpeg(Item->ImageData(), 300, 100); }, true },
    };
    for (const TChange& C : Changes) {
        SCOPED_TRACE(C.Name);
        const Int64 Before = Cache.Drawn();
        C.Change();
        TBitmap* Thumb = Cache.Thumbnail(&Key, Item, Look);
        ASSERT_NE(Thumb, nullptr);
        EXPECT_EQ(Thumb->Width(), Look.Width);
        EXPECT_EQ(Cache.Drawn() - Before, C.Redrawn ? 1 : 0);
        EXPECT_EQ(Cache.Count(), 1);
    }
}

TEST(ThumbnailCache, APictureThatDoesNotDecodeIsNeitherDrawnNorKept)
{
    TOwnedPtr<TXImageCollection> Items(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    TXImageItem* Broken = Items->Add();
    Broken->ImageData()->SetDataClass(u"TJPEGImage");
    const Testing::Bytes Junk = Testing::RandomBytes(4000, 7);
    Broken->ImageData()->DataStream()->WriteBuffer(Junk.data(), Int64(Junk.size()));
    TXImageItem* Empty = Items->Add();
    TXThumbnailCache Cache(1 << 20);
    EXPECT_EQ(Cache.Thumbnail(Broken, Broken, { 64, 48, true, clWhite }), nullptr);
    EXPECT_EQ(Cache.Thumbnail(Empty, Empty, { 64, 48, true, clWhite }), nullptr);
    EXPECT_EQ(Cache.Thumbnail(nullptr, nullptr, { 64, 48, true, clWhite }), nullptr);
    EXPECT_EQ(Cache.Count(), 0);
}

TEST(ThumbnailCache, AReducedJpegDecodeLooksLikeTheFullOne)
{
    // 1600 x 1200 into 128 x 96: decoded at an eighth (200 x 150).
    TOwnedPtr<TXImageCollection> Items(New<TXImageCollection>(static_cast<TPersistent*>(nullptr)));
    TXImageItem* Item = Items->Add();
    LoadGradientJpeg(Item->ImageData(), 1600, 1200);
    for (bool Keep : { true, false }) {
        TOwnedPtr<TBitmap> Full(MakeOwned<TBitmap>());
        Full->SetPixelFormat(pf24bit);
        Full->SetSize(128, 96);
        if (Keep)
            DrawImageItemDownScaled(Full->Canvas(), Rect(0, 0, 128, 96), Item, XLanczosKernel());
        else
            DrawImageItemStretch(Full->Canvas(), Rect(0, 0, 128, 96), Item, XLanczosKernel());
        TXThumbnailCache Cache(1 << 20);
        TBitmap* Thumb = Cache.Thumbnail(Item, Item, { 128, 96, Keep, clWhite });
        ASSERT_NE(Thumb, nullptr);
        EXPECT_LT(MeanDifference(Full.get(), Thumb), 2.0) << Keep;
    }
}
