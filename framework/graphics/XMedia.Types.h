// The picture layer's value types: sizes and rectangle helpers, the
// enumerations picture controls share, the byte colour record, and colour
// models (RGB, HSL, CMY, CIE XYZ, CIE Lab) with conversions between them.
//
//     TXSize Thumb;
//     CalcBestFitSize(Thumb.Width, Thumb.Height, 640, 480, 72, 72);   // 72 x 54
//
//     TXModelColor C = TXModelColor::FromColorAs(clRed, cmHSL);       // 0, 1, 0.5
//     C.FotoPixel.C3 = 0.25f;                                          // darker
//     TColor Dark = C.ToColor();
#pragma once
#include "gdi/Graphic.h"
#include "rtl/TypInfo.h"
#include "rtl/Types.h"
#include <algorithm>
#include <cmath>

enum TXEllipsis { xepNone, xepPathEllipsis, xepEndEllipsis, xepWordEllipsis };
enum TXZoomType { zoPixels, zoCustom, zoWidth, zoHeight, zoFit };
enum TXImagePosition {
    ipDefault,
    ipCustom,
    ipBestFit,
    ipStretch,
    ipFitWidth,
    ipFitHeight,
    ipCenter,
    ipTile,
    ipColorOnly,
    ipDownScaledBestFit,
    ipDownScaledCenter
};
X_ENUM_INFO(TXImagePosition, ipDefault, ipCustom, ipBestFit, ipStretch, ipFitWidth, ipFitHeight, ipCenter, ipTile,
    ipColorOnly, ipDownScaledBestFit, ipDownScaledCenter)
enum TXThnSize { thnSmall, thnMedium, thnLarge };
enum TXColorChannel {
    ccMaster,
    ccBlue,
    ccGreen,
    ccRed,
    ccAlpha,
    ccHue,
    ccSaturation,
    ccLight,
    ccCyan,
    ccMagenta,
    ccYellow,
    ccBlack,
    ccX,
    ccY,
    ccZ,
    ccL,
    cca,
    ccb
};

struct TXSize {
    Integer Width = 0;
    Integer Height = 0;

    void Create(Integer AWidth, Integer AHeight)
    {
        Width = AWidth;
        Height = AHeight;
    }
    void Clear()
    {
        Width = 0;
        Height = 0;
    }
    bool IsEmpty() const { return Width == 0 || Height == 0; }
    String ToString() const;
    friend bool operator==(const TXSize&, const TXSize&) = default;
};

// --- rectangles -------------------------------------------------------------

inline void RectCopy(TRect& Dest, const TRect& Source)
{
    Dest = Source;
}
inline void RectAssign(TRect& Dest, const TRect& Source)
{
    Dest = Source;
}
inline TRect RectZero()
{
    return {};
}
// Width or height below 1.
inline bool RectIsEmpty(const TRect& R)
{
    return Int64(R.Right) - R.Left < 1 || Int64(R.Bottom) - R.Top < 1;
}
inline bool RectEquals(const TRect& A, const TRect& B)
{
    return A == B;
}
inline Integer RectHeight(const TRect& R)
{
    return R.Bottom - R.Top;
}
inline TRect RectBounds(const TRect& R)
{
    return Rect(0, 0, R.Right - R.Left, R.Bottom - R.Top);
}
inline TRect RectOffset(const TRect& R, Integer DX, Integer DY)
{
    return Rect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY);
}
inline TRect RectInflate(const TRect& R, Integer DX, Integer DY)
{
    return Rect(R.Left - DX, R.Top - DY, R.Right + DX, R.Bottom + DY);
}
inline TRect RectOffsetPoint(const TRect& R, const TPoint& P)
{
    return RectOffset(R, P.X, P.Y);
}
inline TRect RectAroundPoint(const TPoint& P, Integer DX, Integer DY)
{
    return Rect(P.X - DX, P.Y - DY, P.X + DX + 1, P.Y + DY + 1);
}
// Left and top inclusive, right and bottom exclusive.
inline bool IsPointInRect(const TPoint& P, const TRect& R)
{
    return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}
// R = the overlap of A and B; (0, 0, 0, 0) and false when it is empty.
bool RectIntersect(const TRect& A, const TRect& B, TRect& R);
// "left,top,right,bottom".
String RectToText(const TRect& R);
// The four fields split at ","; a missing or bad field reads as 0.
TRect RectFromText(StringView Text);

// --- fit sizes ---------------------------------------------------------------

// The source scaled into the box with its proportions; a source that fits
// keeps its size. Products are taken in 64 bits and rounded to the nearest
// integer, ties to even; a side that rounds to 0 becomes 1; a source or box
// of 0 or less gives 0 x 0.
void CalcDownScaledBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH);
// The same, but a source smaller than the box in both directions is first
// enlarged to the box width.
void CalcBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH);

// --- colours -----------------------------------------------------------------

#pragma pack(push, 1)
// Blue, green, red: the Windows triple order.
struct TXRGBColor {
    Byte Blue = 0, Green = 0, Red = 0;
    friend bool operator==(const TXRGBColor&, const TXRGBColor&) = default;
};

// Three channels of one colour model.
struct TXFotoPixel {
    float C1 = 0, C2 = 0, C3 = 0;
    friend bool operator==(const TXFotoPixel&, const TXFotoPixel&) = default;
};

enum TXColorModel : Byte { cmRGB = 0, cmHSL = 1, cmCMY = 2, cmXYZ = 3, cmLab = 6 };

// A colour in one model: RGB (C1..C3 blue, green, red, 0..255), HSL (hue
// 0..360, saturation and lightness 0..1), CMY (0..1), XYZ (D65, 0..about
// 100), Lab. Models 4 and 5 have no conversions: converting to or from
// them changes only the model byte.
struct TXModelColor {
    Byte Model = cmRGB;
    Byte Alpha = 255;
    TXFotoPixel FotoPixel;

    // Model RGB, alpha 255, the channels of the resolved colour.
    static TXModelColor FromColor(TColor Color);
    static TXModelColor FromColorAs(TColor Color, Byte AModel);
    void ConvertTo(Byte AModel);
    // Into Result, keeping this colour's alpha.
    void Convert(Byte AModel, TXModelColor& Result) const;
    // As RGB, each channel rounded (ties to even; NaN counts as 0) and
    // clamped to 0..255.
    TColor ToColor() const;
};
#pragma pack(pop)
static_assert(sizeof(TXRGBColor) == 3 && sizeof(TXFotoPixel) == 12 && sizeof(TXModelColor) == 14);

float MaxComponent(const TXFotoPixel& Pixel);
float MinComponent(const TXFotoPixel& Pixel);

// A system colour (negative) is resolved first.
TXRGBColor ColorToRGBColor(TColor Color);
TColor RGBColorToColor(const TXRGBColor& Color);
// Each value clamped to 0..255.
TXRGBColor SetRGBClamped(Integer R, Integer G, Integer B);
inline bool IsGray(const TXRGBColor& C)
{
    return C.Red == C.Green && C.Green == C.Blue;
}

// The single conversion steps; the routes between models chain them.
TXFotoPixel RGBToHSL(const TXFotoPixel& Rgb);
TXFotoPixel HSLToRGB(const TXFotoPixel& Hsl);
TXFotoPixel RGBToCMY(const TXFotoPixel& Rgb);
TXFotoPixel CMYToRGB(const TXFotoPixel& Cmy);
TXFotoPixel RGBToXYZ(const TXFotoPixel& Rgb);
TXFotoPixel XYZToRGB(const TXFotoPixel& Xyz);
TXFotoPixel XYZToLab(const TXFotoPixel& Xyz);
TXFotoPixel LabToXYZ(const TXFotoPixel& Lab);

// Rounds to the nearest integer, ties to even; NaN gives 0.
inline Integer RoundChannel(float V)
{
    return V == V ? Integer(std::nearbyint(std::clamp(V, -2e9f, 2e9f))) : 0;
}
