// Pixels of windows: 32-bit rows (blue, green, red and a fourth byte),
// top-down, as the 32-bit bitmaps of the picture layer hold them. Every
// window has one of its window rectangle that it paints into; a canvas of
// the picture layer copies what it draws into it.
#pragma once
#include "rtl/Types.h"
#include "win/Messages.h"
#include <vector>

class TPixelBuffer {
public:
    TPixelBuffer() = default;
    TPixelBuffer(Integer AWidth, Integer AHeight) { SetSize(AWidth, AHeight); }

    Integer Width() const { return FWidth; }
    Integer Height() const { return FHeight; }
    // Pixels that still fit keep their place; new ones are white.
    void SetSize(Integer AWidth, Integer AHeight);
    // Row Y (0 <= Y < Height), 4 bytes a pixel.
    Byte* ScanLine(Integer Y) { return reinterpret_cast<Byte*>(FPixels.data() + size_t(Y) * FWidth); }
    const Byte* ScanLine(Integer Y) const { return reinterpret_cast<const Byte*>(FPixels.data() + size_t(Y) * FWidth); }

    // 0x00RRGGBB in memory order B, G, R (the fourth byte as stored).
    Cardinal Pixel(Integer X, Integer Y) const { return FPixels[size_t(Y) * FWidth + X]; }
    void SetPixel(Integer X, Integer Y, Cardinal Value) { FPixels[size_t(Y) * FWidth + X] = Value; }
    const std::vector<Cardinal>& Pixels() const { return FPixels; }

private:
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<Cardinal> FPixels;
};

// Copies the rectangle Source of From to (X, Y) of To, both cut to the
// bitmaps' bounds.
void CopyPixels(const TPixelBuffer& From, const RECT& Source, TPixelBuffer& To, Integer X, Integer Y);
