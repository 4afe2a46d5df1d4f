#include "gdi/Bitmap.h"
#include "gdi/Canvas.h"
#include <algorithm>
#include <cstring>

X_REGISTER_CLASS(TBitmap)

TBitmap::~TBitmap() = default;

TCanvas* TBitmap::Canvas()
{
    if (!FCanvas)
        FCanvas = MakeOwned<TCanvas>(this);
    return FCanvas.get();
}

Integer TBitmap::StrideOf(Integer Width, TPixelFormat Format)
{
    Int64 Bytes = Int64(Width) * (Format == pf32bit ? 4 : 3);
    return Integer((Bytes + 3) & ~Int64(3));
}

void TBitmap::SetPixelFormat(TPixelFormat Value)
{
    if (Value != pf24bit && Value != pf32bit)
        throw EInvalidGraphicOperation(u"Unsupported pixel format");
    if (Value == FPixelFormat)
        return;
    Integer NewStride = StrideOf(FWidth, Value);
    TPixelBytes Bits(size_t(NewStride) * size_t(FHeight), 0);
    Integer From = BytesPerPixel(), To = Value == pf32bit ? 4 : 3;
    for (Integer Y = 0; Y < FHeight; ++Y) {
        const Byte* S = &FBits[size_t(Y) * FStride];
        Byte* D = &Bits[size_t(Y) * NewStride];
        for (Integer X = 0; X < FWidth; ++X, S += From, D += To) {
            D[0] = S[0];
            D[1] = S[1];
            D[2] = S[2];
        }
    }
    FPixelFormat = Value;
    FStride = NewStride;
    FBits.swap(Bits);
}

void TBitmap::SetSize(Integer AWidth, Integer AHeight)
{
    CheckGraphicSize(AWidth, AHeight);
    if (AWidth == FWidth && AHeight == FHeight)
        return;
    Integer NewStride = StrideOf(AWidth, FPixelFormat);
    TPixelBytes Bits(size_t(NewStride) * size_t(AHeight), 0xFF);
    Integer Rows = std::min(FHeight, AHeight);
    size_t RowBytes = size_t(std::min(FWidth, AWidth)) * BytesPerPixel();
    for (Integer Y = 0; Y < Rows; ++Y)
        std::memcpy(&Bits[size_t(Y) * NewStride], &FBits[size_t(Y) * FStride], RowBytes);
    FWidth = AWidth;
    FHeight = AHeight;
    FStride = NewStride;
    FBits.swap(Bits);
}

void TBitmap::SetSizeForOverwrite(TPixelFormat Format, Integer AWidth, Integer AHeight)
{
    if (Format != pf24bit && Format != pf32bit)
        throw EInvalidGraphicOperation(u"Unsupported pixel format");
    CheckGraphicSize(AWidth, AHeight);
    const Integer NewStride = StrideOf(AWidth, Format);
    const size_t Bytes = size_t(NewStride) * size_t(AHeight);
    if (FBits.size() != Bytes) {
        TPixelBytes Bits;
        Bits.resize(Bytes);
        FBits.swap(Bits);
    }
    FPixelFormat = Format;
    FWidth = AWidth;
    FHeight = AHeight;
    FStride = NewStride;
    const size_t Used = size_t(AWidth) * BytesPerPixel();
    if (Used < size_t(NewStride))
        for (Integer Y = 0; Y < AHeight; ++Y)
            std::fill(FBits.begin() + ptrdiff_t(size_t(Y) * NewStride + Used),
                FBits.begin() + ptrdiff_t(size_t(Y + 1) * NewStride), Byte(0));
}

Byte* TBitmap::ScanLine(Integer Y)
{
    return const_cast<Byte*>(static_cast<const TBitmap*>(this)->ScanLine(Y));
}

const Byte* TBitmap::ScanLine(Integer Y) const
{
    if (Y < 0 || Y >= FHeight)
        throw EInvalidGraphicOperation(u"Scan line index out of range");
    return &FBits[size_t(Y) * FStride];
}

void TBitmap::Fill(TColor Color)
{
    FillRect(Rect(0, 0, FWidth, FHeight), Color);
}

void TBitmap::FillRect(const TRect& R, TColor Color)
{
    Integer Left = std::max(R.Left, 0), Right = std::min(R.Right, FWidth);
    Integer Top = std::max(R.Top, 0), Bottom = std::min(R.Bottom, FHeight);
    Color = ColorToRGB(Color);
    const Byte Pixel[4] = { GetBValue(Color), GetGValue(Color), GetRValue(Color), 0 };
    Integer Bpp = BytesPerPixel();
    for (Integer Y = Top; Y < Bottom; ++Y) {
        Byte* D = ScanLine(Y) + size_t(Left) * Bpp;
        for (Integer X = Left; X < Right; ++X, D += Bpp)
            std::memcpy(D, Pixel, size_t(Bpp));
    }
}

TColor TBitmap::Pixel(Integer X, Integer Y) const
{
    if (X < 0 || X >= FWidth)
        throw EInvalidGraphicOperation(u"Pixel index out of range");
    const Byte* P = ScanLine(Y) + size_t(X) * BytesPerPixel();
    return RGB(P[2], P[1], P[0]);
}

void TBitmap::Assign(TPersistent* Source)
{
    if (!Source) {
        FWidth = FHeight = FStride = 0;
        FBits.clear();
        return;
    }
    if (auto* Other = DynamicCast<TBitmap>(Source)) {
        if (Other == this)
            return;
        FPixelFormat = Other->FPixelFormat;
        FWidth = Other->FWidth;
        FHeight = Other->FHeight;
        FStride = Other->FStride;
        FBits = Other->FBits;
        return;
    }
    inherited::Assign(Source);
}

void TBitmap::Draw(TBitmap* Dest, const TRect& R)
{
    StretchDraw(Dest, R, this, smNearest);
}

TOwnedPtr<TBitmap> GraphicOnWhite(TGraphic* Graphic)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(Graphic->Width(), Graphic->Height());
    Bmp->Fill(clWhite);
    Graphic->Draw(Bmp.get(), Rect(0, 0, Bmp->Width(), Bmp->Height()));
    return Bmp;
}
