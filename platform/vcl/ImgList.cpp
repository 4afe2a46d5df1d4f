#include "vcl/ImgList.h"
#include "gdi/Canvas.h"
#include <algorithm>
#include <cmath>

X_REGISTER_CLASS(TCustomImageList)
X_REGISTER_CLASS(TImageList)

namespace {

Byte Blend(Byte Src, Byte Dst, Integer Alpha)
{
    return Byte(std::nearbyint((double(Src) * Alpha + double(Dst) * (255 - Alpha)) / 255.0));
}

}

void TCustomImageList::BeforeDestruction()
{
    FImages.clear();
    inherited::BeforeDestruction();
}

void TCustomImageList::SetSize(Integer AWidth, Integer AHeight)
{
    AWidth = std::max(AWidth, 1);
    AHeight = std::max(AHeight, 1);
    if (AWidth == FWidth && AHeight == FHeight)
        return;
    FWidth = AWidth;
    FHeight = AHeight;
    Clear();
}

TOwnedPtr<TBitmap> TCustomImageList::Prepare(TBitmap* Image, TBitmap* Mask)
{
    auto Picture = MakeOwned<TBitmap>();
    Picture->SetPixelFormat(pf32bit);
    Picture->SetSize(FWidth, FHeight);
    for (Integer Y = 0; Y < FHeight; ++Y) {
        Byte* Row = Picture->ScanLine(Y);
        for (Integer X = 0; X < FWidth; ++X)
            Row[X * 4] = Row[X * 4 + 1] = Row[X * 4 + 2] = Row[X * 4 + 3] = 0;
    }
    if (!Image || Image->Empty())
        return Picture;
    const Integer W = std::min(FWidth, Image->Width()), H = std::min(FHeight, Image->Height());
    const Integer Bpp = Image->BytesPerPixel();
    bool AnyAlpha = false;
    for (Integer Y = 0; Y < H && Bpp == 4; ++Y) {
        const Byte* Src = Image->ScanLine(Y);
        for (Integer X = 0; X < W && !AnyAlpha; ++X)
            AnyAlpha = Src[X * 4 + 3] != 0;
    }
    for (Integer Y = 0; Y < H; ++Y) {
        const Byte* Src = Image->ScanLine(Y);
        Byte* Dst = Picture->ScanLine(Y);
        for (Integer X = 0; X < W; ++X) {
            Dst[X * 4] = Src[X * Bpp];
            Dst[X * 4 + 1] = Src[X * Bpp + 1];
            Dst[X * 4 + 2] = Src[X * Bpp + 2];
            Dst[X * 4 + 3] = AnyAlpha ? Src[X * 4 + 3] : 255;
            // A mask's white (any channel set) pixels are clear.
            if (Mask && X < Mask->Width() && Y < Mask->Height() && (Mask->Pixel(X, Y) & 0xFFFFFF) != 0)
                Dst[X * 4 + 3] = 0;
        }
    }
    return Picture;
}

void TCustomImageList::Changed()
{
    if (const auto Handler = OnChange)
        Handler(this);
}

Integer TCustomImageList::Add(TBitmap* Image, TBitmap* Mask)
{
    FImages.push_back(Prepare(Image, Mask));
    Changed();
    return Count() - 1;
}

void TCustomImageList::Replace(Integer Index, TBitmap* Image, TBitmap* Mask)
{
    if (Index < 0 || Index >= Count())
        throw EInvalidOperation(u"Invalid image list index");
    FImages[size_t(Index)] = Prepare(Image, Mask);
    Changed();
}

void TCustomImageList::Delete(Integer Index)
{
    if (Index < 0 || Index >= Count())
        throw EInvalidOperation(u"Invalid image list index");
    FImages.erase(FImages.begin() + Index);
    Changed();
}

void TCustomImageList::Clear()
{
    if (FImages.empty())
        return;
    FImages.clear();
    Changed();
}

bool TCustomImageList::GetBitmap(Integer Index, TBitmap* Image)
{
    if (!Image || Index < 0 || Index >= Count())
        return false;
    Image->Assign(FImages[size_t(Index)].get());
    return true;
}

void TCustomImageList::Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled)
{
    if (!Canvas || !Canvas->Bitmap() || Index < 0 || Index >= Count())
        return;
    const TBitmap& Picture = *FImages[size_t(Index)];
    const TRect Clip = Canvas->Bounds();
    const Integer Bpp = Canvas->Bitmap()->BytesPerPixel();
    for (Integer Row = std::max(0, Clip.Top - Y); Row < FHeight && Y + Row < Clip.Bottom; ++Row) {
        const Byte* Src = Picture.ScanLine(Row);
        const Integer First = std::max(0, Clip.Left - X);
        if (First >= FWidth || X + First >= Clip.Right)
            continue;
        Byte* const Dst = Canvas->PixelAddress(X + First, Y + Row);
        for (Integer Col = First; Col < FWidth && X + Col < Clip.Right; ++Col) {
            const Byte* S = Src + Col * 4;
            Byte* D = Dst + size_t(Col - First) * Bpp;
            Integer Alpha = S[3];
            Byte B = S[0], G = S[1], R = S[2];
            if (!Enabled) {
                B = G = R = Byte((R * 77 + G * 151 + B * 28) >> 8);
                Alpha /= 2;
            }
            if (Alpha == 0)
                continue;
            D[0] = Blend(B, D[0], Alpha);
            D[1] = Blend(G, D[1], Alpha);
            D[2] = Blend(R, D[2], Alpha);
        }
    }
}
