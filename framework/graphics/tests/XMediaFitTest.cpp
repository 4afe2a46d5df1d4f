#include "gdi/Bitmap.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XMedia.JPEG.h"
#include <gtest/gtest.h>

TEST(XMediaFit, BestFitKeepsProportions)
{
    const struct {
        Integer SrcW, SrcH, MaxW, MaxH;
        Integer W, H, DownW, DownH;
    } Cases[] = {
        { 640, 480, 72, 72, 72, 54, 72, 54 },
        { 480, 640, 72, 72, 54, 72, 54, 72 },
        { 40, 25, 72, 72, 72, 45, 40, 25 }, // enlarged, or kept as it is
        { 10000, 1, 72, 72, 72, 1, 72, 1 }, // never thinner than a pixel
        { 0, 480, 72, 72, 0, 0, 0, 0 },
        { 640, 480, 0, 72, 0, 0, 0, 0 },
        { 2147483647, 2147483647, 72, 72, 72, 72, 72, 72 },
        { 100, 50, 400, 400, 400, 200, 100, 50 },
        { 8, 5, 4, 4, 4, 2, 4, 2 }, // 2.5 rounds to the even 2
        { 8, 3, 4, 4, 4, 2, 4, 2 }, // 1.5 rounds to the even 2
        { 1, 65535, 100, 100, 1, 100, 1, 100 }, // 0.0015 becomes 1
        { -5, 10, 72, 72, 0, 0, 0, 0 },
        { 640, 480, 72, -1, 0, 0, 0, 0 },
        { 3, 2, 2147483647, 2147483647, 2147483647, 1431655765, 3, 2 },
    };
    for (const auto& C : Cases) {
        Integer W = -1, H = -1;
        CalcBestFitSize(W, H, C.SrcW, C.SrcH, C.MaxW, C.MaxH);
        EXPECT_EQ(W, C.W) << C.SrcW << "x" << C.SrcH;
        EXPECT_EQ(H, C.H) << C.SrcW << "x" << C.SrcH;
        CalcDownScaledBestFitSize(W, H, C.SrcW, C.SrcH, C.MaxW, C.MaxH);
        EXPECT_EQ(W, C.DownW) << C.SrcW << "x" << C.SrcH;
        EXPECT_EQ(H, C.DownH) << C.SrcW << "x" << C.SrcH;
    }
}

TEST(XMediaImages, StoredPictureRoundTrip)
{
    TOwnedPtr<TBitmap> Pixels(New<TBitmap>());
    Pixels->SetSize(16, 8);
    Pixels->Fill(clRed);
    TOwnedPtr<TXJPEGImage> Jpeg(New<TXJPEGImage>());
    Jpeg->Assign(Pixels.get());
    const struct {
        TPersistent* Source;
        const char16_t* DataClass;
    } Cases[] = { { Pixels.get(), u"TBitmap" }, { Jpeg.get(), u"TJPEGImage" } };
    for (const auto& C : Cases) {
        TOwnedPtr<TXImageObject> Image(New<TXImageObject>());
        ASSERT_TRUE(Image->LoadFromObject(C.Source));
        EXPECT_EQ(Image->DataClass(), C.DataClass);
        EXPECT_EQ(Image->ImageSize(), (TXSize { 16, 8 }));
        TOwnedPtr<TGraphic> Back(Image->ToGraphic());
        ASSERT_TRUE(Back);
        EXPECT_EQ(Back->Width(), 16);
        EXPECT_EQ(Back->Height(), 8);
    }
    // Not a picture: refused, and the object stays empty.
    TOwnedPtr<TXImageObject> Image(New<TXImageObject>());
    TOwnedPtr<TXObject> Other(New<TXObject>());
    EXPECT_FALSE(Image->LoadFromObject(Other.get()));
    EXPECT_TRUE(Image->IsEmpty());
}
