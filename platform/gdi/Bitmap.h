// TBitmap: a device-independent bitmap in memory, 24-bit BGR or 32-bit
// BGRA, rows top-down and padded to 4 bytes, loaded from and saved as BMP.
//
//     TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
//     Bmp->SetPixelFormat(pf32bit);
//     Bmp->SetSize(72, 72);
//     Bmp->Fill(clWhite);
//     Byte* Row = Bmp->ScanLine(0);
//
// The fourth byte of a 32-bit pixel is carried along, never blended:
// fills and copies from 24-bit pixels set it to 0, as GDI does.
#pragma once
#include "gdi/Graphic.h"
#include "gdi/PixelMemory.h"

class TCanvas;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// How a stretched copy picks its pixels: the nearest source pixel, or the
// average of the source area each target pixel covers.
enum TStretchMode { smNearest, smHalftone };

class TBitmap : public TGraphic {
    X_CLASS(TBitmap, TGraphic)
public:
    // Empty, 24-bit.
    void Create() override { }
    ~TBitmap() override;

    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    using TGraphic::Draw;
    // Copies a bitmap; other pictures draw themselves into this one;
    // null empties it.
    void Assign(TPersistent* Source) override;

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    // Only pf24bit and pf32bit; the pixels are converted.
    void SetPixelFormat(TPixelFormat Value);
    // Keeps the pixels that still fit at the top left; new ones are white.
    void SetSize(Integer AWidth, Integer AHeight);
    void SetWidth(Integer Value) { SetSize(Value, FHeight); }
    void SetHeight(Integer Value) { SetSize(FWidth, Value); }
    // For a writer that fills every pixel: Format and AWidth x AHeight
    // with nothing kept or cleared (the pixels are undefined until
    // written); only the padding at the rows' ends is set to 0. The memory
    // stays when the size in bytes does.
    void SetSizeForOverwrite(TPixelFormat Format, Integer AWidth, Integer AHeight);

    Integer BytesPerPixel() const { return FPixelFormat == pf32bit ? 4 : 3; }
    // Bytes from one row to the next.
    Integer BytesPerScanline() const { return FStride; }
    // Row Y, counted from the top; raises EInvalidGraphicOperation outside.
    Byte* ScanLine(Integer Y);
    const Byte* ScanLine(Integer Y) const;

    // The canvas that draws on this bitmap, made on first use.
    TCanvas* Canvas();

    void Fill(TColor Color);
    void FillRect(const TRect& Rect, TColor Color);
    TColor Pixel(Integer X, Integer Y) const;

private:
    static Integer StrideOf(Integer Width, TPixelFormat Format);
    TPixelFormat FPixelFormat = pf24bit;
    Integer FWidth = 0;
    Integer FHeight = 0;
    Integer FStride = 0;
    TPixelBytes FBits;
    TOwnedPtr<TCanvas> FCanvas;
};

// Draws Source stretched into DestRect of Dest, clipped to Dest. The
// pixels are converted to Dest's format; the rectangle may lie partly or
// wholly outside Dest. An empty rectangle or source draws nothing.
void StretchDraw(TBitmap* Dest, const TRect& DestRect, const TBitmap* Source, TStretchMode Mode = smNearest);

// Graphic drawn at its own size on a white 24-bit bitmap, for those who
// keep or send a picture as pixels.
TOwnedPtr<TBitmap> GraphicOnWhite(TGraphic* Graphic);

// Every user of a bitmap may reach its canvas; the bitmap owns it, so the
// canvas class must be complete wherever a bitmap is made or freed.
#include "gdi/Canvas.h"
