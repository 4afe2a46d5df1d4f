// The picture classes' common ground: colours, rectangles, the abstract
// picture (TGraphic) and the registry that finds a picture class by name.
//
// Every picture class registers itself with X_REGISTER_CLASS, so a stored
// picture's class name ("TBitmap", "TJPEGImage", "TPngImage") finds it:
//
//     TGraphicClass Class = FindGraphicClass(u"TPngImage");
//     TOwnedPtr<TGraphic> Picture(NewGraphic(Class));
//     Picture->LoadFromStream(Data);
#pragma once
#include "rtl/Persistent.h"

class TStream;
class TBitmap;
class TCanvas;

// 0x00BBGGRR: red in the low byte. A negative value names a system colour
// (gdi/Colors.h); whatever draws resolves it with ColorToRGB first.
using TColor = Integer;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;

constexpr Byte GetRValue(TColor C)
{
    return Byte(C);
}
constexpr Byte GetGValue(TColor C)
{
    return Byte(C >> 8);
}
constexpr Byte GetBValue(TColor C)
{
    return Byte(C >> 16);
}
constexpr TColor RGB(Byte R, Byte G, Byte B)
{
    return TColor(R | (G << 8) | (B << 16));
}

struct TPoint {
    Integer X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};
inline TPoint Point(Integer X, Integer Y)
{
    return { X, Y };
}

// Right and bottom are exclusive.
struct TRect {
    Integer Left = 0, Top = 0, Right = 0, Bottom = 0;
    Integer Width() const { return Right - Left; }
    Integer Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};
inline TRect Rect(Integer Left, Integer Top, Integer Right, Integer Bottom)
{
    return { Left, Top, Right, Bottom };
}

// Raised for picture data that cannot be decoded and for sizes beyond the cap.
X_EXCEPTION(EInvalidGraphic, Exception)
X_EXCEPTION(EInvalidGraphicOperation, Exception)

// Decoders refuse pictures beyond these before they allocate anything;
// bitmaps cannot be made larger either.
constexpr Integer MaxGraphicSide = 65535;
constexpr Int64 MaxGraphicPixels = 100'000'000;
// Raises EInvalidGraphic when Width x Height is negative or beyond the cap.
void CheckGraphicSize(Int64 Width, Int64 Height);

class TGraphic : public TPersistent {
    X_CLASS(TGraphic, TPersistent)
public:
    // Reads the picture from the stream's current position.
    virtual void LoadFromStream(TStream* Stream) = 0;
    virtual void SaveToStream(TStream* Stream) = 0;
    void LoadFromFile(const String& FileName);
    // The file is replaced whole through a temporary file.
    void SaveToFile(const String& FileName);

    virtual Integer Width() const = 0;
    virtual Integer Height() const = 0;
    virtual bool Empty() const = 0;
    // Draws the picture stretched into Rect of Dest, clipped to Dest.
    virtual void Draw(TBitmap* Dest, const TRect& Rect) = 0;
    // Draws the picture stretched into Rect of the canvas, through its
    // clip (the canvas's StretchDraw).
    void Draw(TCanvas* Canvas, const TRect& Rect);
};

// A TGraphic descendant's class.
using TGraphicClass = TClass;

// The registered picture class of that name (case-insensitive); null when
// the name is unknown or names a class that is no picture.
TGraphicClass FindGraphicClass(StringView Name);
// A new picture of the class (virtual construction); raises
// EInvalidGraphic for a null, abstract or non-picture class.
TGraphic* NewGraphic(TGraphicClass Class);
