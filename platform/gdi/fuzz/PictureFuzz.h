// What the picture targets share: a small sample bitmap for seeds made by
// our own encoders, and the run of one loaded picture.
#pragma once
#include "gdi/Bitmap.h"
#include "rtl/testing/FuzzTarget.h"

inline TOwnedPtr<TBitmap> SampleBitmap(TPixelFormat Format)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(13, 7);
    for (Integer Y = 0; Y < 7; ++Y)
        for (Integer X = 0; X < 13; ++X) {
            Byte* P = Bmp->ScanLine(Y) + X * Bmp->BytesPerPixel();
            P[0] = Byte(X * 19);
            P[1] = Byte(Y * 36);
            P[2] = Byte((X + Y) * 11);
            if (Format == pf32bit)
                P[3] = Byte(X * 20);
        }
    return Bmp;
}

// The picture in Stream: loaded and drawn into a small bitmap. Damaged
// data may raise EInvalidGraphic (or a stream error), also while drawing
// a picture that decodes late; nothing else.
inline void FuzzPicture(TGraphic* Picture, TStream* Stream)
{
    try {
        Picture->LoadFromStream(Stream);
        TOwnedPtr<TBitmap> Dest(MakeOwned<TBitmap>());
        Dest->SetSize(9, 5);
        Picture->Draw(Dest.get(), Rect(-2, 1, 8, 6));
    } catch (const EInvalidGraphic&) {
    } catch (const EStreamError&) { }
}
