// Pixels of windows: 32-bit rows (blue, green, red and a fourth byte),
// top-down, as the bitmaps of the picture layer hold them.
//
// Every window has a bitmap of its window rectangle that it paints into.
// The layer makes it through a factory, so that the layer that draws can
// hand out bitmaps its canvas draws on; without one it makes TPixelBuffer.
#pragma once
#include "rtl/Types.h"
#include "win/Messages.h"
#include <memory>
#include <vector>

class TWindowBitmap {
public:
    virtual ~TWindowBitmap() = default;
    virtual Integer Width() const = 0;
    virtual Integer Height() const = 0;
    // Pixels that still fit keep their place; new ones are white.
    virtual void SetSize(Integer AWidth, Integer AHeight) = 0;
    // Row Y (0 <= Y < Height), 4 bytes a pixel.
    virtual Byte* ScanLine(Integer Y) = 0;
    const Byte* ScanLine(Integer Y) const { return const_cast<TWindowBitmap*>(this)->ScanLine(Y); }
};

class TPixelBuffer : public TWindowBitmap {
public:
    TPixelBuffer() = default;
    TPixelBuffer(Integer AWidth, Integer AHeight) { SetSize(AWidth, AHeight); }

    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    void SetSize(Integer AWidth, Integer AHeight) override;
    Byte* ScanLine(Integer Y) override { return reinterpret_cast<Byte*>(FPixels.data() + size_t(Y) * FWidth); }
    using TWindowBitmap::ScanLine;

    // 0x00RRGGBB in memory order B, G, R (the fourth byte as stored).
    Cardinal Pixel(Integer X, Integer Y) const { return FPixels[size_t(Y) * FWidth + X]; }
    void SetPixel(Integer X, Integer Y, Cardinal Value) { FPixels[size_t(Y) * FWidth + X] = Value; }
    const std::vector<Cardinal>& Pixels() const { return FPixels; }

private:
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<Cardinal> FPixels;
};

using TWindowBitmapFactory = std::unique_ptr<TWindowBitmap> (*)();
// Installs the factory of window bitmaps (null: TPixelBuffer again);
// answers the one before. Windows made before keep their bitmaps.
TWindowBitmapFactory SetWindowBitmapFactory(TWindowBitmapFactory Factory);
std::unique_ptr<TWindowBitmap> MakeWindowBitmap();

// Copies the rectangle Source of From to (X, Y) of To, both cut to the
// bitmaps' bounds.
void CopyPixels(const TWindowBitmap& From, const RECT& Source, TWindowBitmap& To, Integer X, Integer Y);
