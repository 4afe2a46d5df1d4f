#include "vcl/ImgList.h"
#include <gtest/gtest.h>

namespace {

TOwnedPtr<TBitmap> Solid(TPixelFormat Format, Integer W, Integer H, TColor Color)
{
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    Bmp->Fill(Color);
    return Bmp;
}

}

TEST(ImageLists, PicturesBlendByTheirOpacityInsideTheClip)
{
    TOwnedPtr<TImageList> List(MakeOwned<TImageList>(nullptr));
    List->SetSize(4, 4);
    // 24-bit: opaque. 32-bit with opacity 128 in its fourth byte.
    List->Add(Solid(pf24bit, 4, 4, clRed).get(), nullptr);
    auto Half = Solid(pf32bit, 4, 4, clBlue);
    for (Integer Y = 0; Y < 4; ++Y)
        for (Integer X = 0; X < 4; ++X)
            Half->ScanLine(Y)[X * 4 + 3] = 128;
    List->Add(Half.get(), nullptr);
    // A mask whose white pixels are clear: the left half.
    auto Mask = Solid(pf24bit, 4, 4, clBlack);
    Mask->FillRect(Rect(0, 0, 2, 4), clWhite);
    List->Add(Solid(pf24bit, 4, 4, clLime).get(), Mask.get());
    EXPECT_EQ(List->Count(), 3);

    auto Target = Solid(pf24bit, 20, 4, clWhite);
    TCanvas* C = Target->Canvas();
    List->Draw(C, 0, 0, 0);
    List->Draw(C, 5, 0, 1);
    List->Draw(C, 10, 0, 2);
    C->SetClipRect(Rect(15, 0, 17, 4));
    List->Draw(C, 15, 0, 0); // only two columns show
    List->Draw(C, 0, 0, 7); // out of range: nothing
    EXPECT_EQ(Target->Pixel(1, 1), clRed);
    // (255 * 128 + 255 * 127) / 255 for blue, 255 * 127 / 255 = 127 for the others.
    EXPECT_EQ(Target->Pixel(6, 1), RGB(127, 127, 255));
    EXPECT_EQ(Target->Pixel(10, 1), clWhite);
    EXPECT_EQ(Target->Pixel(12, 1), clLime);
    EXPECT_EQ(Target->Pixel(16, 1), clRed);
    EXPECT_EQ(Target->Pixel(17, 1), clWhite);

    // Disabled: grey at half opacity.
    auto Grey = Solid(pf24bit, 4, 4, clWhite);
    List->Draw(Grey->Canvas(), 0, 0, 0, false);
    const Byte Level = Byte((255 * 77) >> 8);
    EXPECT_EQ(Grey->Pixel(0, 0),
        RGB(Byte((Level * 127 + 255 * 128 + 127) / 255), Byte((Level * 127 + 255 * 128 + 127) / 255),
            Byte((Level * 127 + 255 * 128 + 127) / 255)));

    EXPECT_THROW(List->Replace(5, nullptr, nullptr), EInvalidOperation);
    List->SetSize(8, 8); // a new size empties the list
    EXPECT_EQ(List->Count(), 0);
}
