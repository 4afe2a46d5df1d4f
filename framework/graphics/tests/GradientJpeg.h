// Smooth test pictures stored as JPEG in picture objects: two gradients
// and a disc, so that scaled copies can be compared and a person sees
// what they show.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "graphics/XMedia.Images.h"
#include <cmath>

namespace PixelTest {

// Tint shifts the disc's colour, to tell pictures apart.
inline bool LoadGradientJpeg(TXImageObject* Object, Integer W, Integer H, Byte Tint = 0)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(pf24bit);
    Bmp->SetSize(W, H);
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* Row = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W; ++X) {
            const bool Disc = std::hypot(X - W / 2.0, Y - H / 2.0) < H / 4.0;
            Row[3 * X] = Disc ? Tint : Byte(255 * X / W);
            Row[3 * X + 1] = Byte(255 * Y / H);
            Row[3 * X + 2] = Disc ? 220 : 40;
        }
    }
    TOwnedPtr<TJPEGImage> Jpeg(MakeOwned<TJPEGImage>());
    Jpeg->Assign(Bmp.get());
    return Object->LoadFromObject(Jpeg.get());
}

}
