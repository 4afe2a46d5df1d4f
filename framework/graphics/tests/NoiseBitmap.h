// Bitmaps of seeded noise for the pixel and resampling tests: every byte
// random, a quarter of them 255, and with KeyEvery some magenta key pixels.
#pragma once
#include "gdi/Bitmap.h"
#include <random>

namespace PixelTest {

inline TOwnedPtr<TBitmap> Noise(TPixelFormat Format, Integer W, Integer H, unsigned Seed, int KeyEvery = 0)
{
    std::mt19937 Rng(Seed);
    auto Bmp = MakeOwned<TBitmap>();
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    const Integer Bpp = Bmp->BytesPerPixel();
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* P = Bmp->ScanLine(Y);
        for (Integer X = 0; X < W; ++X, P += Bpp) {
            for (Integer C = 0; C < Bpp; ++C)
                P[C] = Byte(Rng() % 4 == 0 ? 255 : Rng());
            // Some key pixels: magenta, with a fourth byte of 0 or not.
            if (KeyEvery && Rng() % KeyEvery == 0) {
                P[0] = 255, P[1] = 0, P[2] = 255;
                if (Bpp == 4)
                    P[3] = Rng() % 2 ? 0 : 9;
            }
        }
    }
    return Bmp;
}

}
