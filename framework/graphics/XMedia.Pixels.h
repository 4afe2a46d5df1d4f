// Free routines on the bytes of 24-bit and 32-bit bitmaps: colour packing,
// blends with a constant opacity, blits that skip a key colour, saturated
// add and subtract, solid, gradient and HSL fills, one-colour painting of a
// metafile, rectangle mapping, the shared checkerboard brush, and the
// Gaussian blur.
//
//     BlendColorBitmap(Layer, clBlack, 96);             // darken a layer
//     DrawBitmapKeyed(Page, Layer, 10, 10, clFuchsia, 255);
//     GaussianBlur(Shadow, 4.0);
//
// A blend of one byte is (Alpha x source + (255 - Alpha) x dest) shr 8,
// except that 255 over 255 stays 255. The fourth byte of a 32-bit pixel is
// carried, never blended. Each bitmap is read at its own pixel size, so a
// 24-bit source may be drawn on a 32-bit destination and back.
#pragma once
#include "gdi/Canvas.h"
#include "gdi/Metafile.h"
#include "graphics/XMedia.Types.h"

// --- colours and bytes -------------------------------------------------------

TColor PackColor(Integer R, Integer G, Integer B);
TXRGBColor ColorToBGR(TColor Color);
// Exchanges the lowest and the third byte and clears the top byte.
Cardinal SwapRedBlue(Cardinal Value);
// The resolved colour as a 32-bit pixel value (alpha 0): B | G shl 8 | R shl 16.
Cardinal ColorToPixel(TColor Color);
TColor BlendColors(TColor Color1, TColor Color2, Byte Alpha);
inline Byte BlendByte(Byte Source, Byte Dest, Byte Alpha)
{
    return Source == 255 && Dest == 255 ? 255 : Byte((unsigned(Alpha) * Source + (255u - Alpha) * Dest) >> 8);
}
inline Byte AddSaturated(Byte A, Byte B)
{
    return A + B >= 255 ? 255 : Byte(A + B);
}
inline Byte SubtractFloored(Byte A, Byte B)
{
    return B < A ? Byte(A - B) : 0;
}
TXFotoPixel ColorToFotoPixel(TColor Color);
// Each channel rounded (ties to even, NaN as 0), then PackColor.
TColor FotoPixelToColor(const TXFotoPixel& Pixel);

// --- blits -----------------------------------------------------------------

// The blit rule: SourceRect of a SourceW x SourceH bitmap placed at (X, Y)
// of a DestW x DestH one, cut to both (in 64 bits). Rows Y..Y2-1 and
// columns X..X2-1 of the destination take the source from SourceRect's
// top-left on.
struct TXBlitClip {
    TRect SourceRect;
    Integer X = 0, Y = 0, X2 = 0, Y2 = 0;
};
bool ClipBlitRect(Integer DestW, Integer DestH, Integer SourceW, Integer SourceH, const TRect& SourceRect, Integer X,
    Integer Y, TXBlitClip& Clip);

// SourceRect of Source to (X, Y) of Dest: nothing at Alpha 0, a copy at
// 255, a blend otherwise.
void DrawBitmapAlpha(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, const TRect& SourceRect, Byte Alpha);
// All of Source at (X, Y), skipping pixels equal to KeyColor: a 24-bit
// source pixel compares its three bytes, a 32-bit one its whole value (so
// one with a fourth byte other than 0 never matches).
void DrawBitmapKeyed(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, TColor KeyColor, Byte Alpha);
void DrawLayerBitmapKeyed(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, TColor KeyColor, Byte Alpha);
// The colour blended over R (cut to the bitmap), also at Alpha 255.
void BlendColorRect(TBitmap* Bitmap, TColor Color, const TRect& R, Byte Alpha);
void BlendColorBitmap(TBitmap* Bitmap, TColor Color, Byte Alpha);
// Byte by byte, capped at 255 or floored at 0; a 32-bit result's fourth
// byte is 0. Source is not changed.
void AddBitmapSaturated(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y);
void SubtractBitmapSaturated(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y);
// Every pixel grey at its red minus Amount (floored at 0).
void DarkenGreyBitmap(TBitmap* Bitmap, Byte Amount);

// --- fills -------------------------------------------------------------------

// Direction 0 runs left to right, 1 top to bottom.
void FillRectGradient(TBitmap* Bitmap, const TRect& R, TColor Color1, Integer Direction, TColor Color2);
void FillBitmapGradient(TBitmap* Bitmap, TColor Color1, TColor Color2, Integer Direction);
// One RGB channel of Pixel (blue, green, red) runs from 255 to 0.
void FillRedGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction);
void FillGreenGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction);
void FillBlueGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction);
// One HSL channel of Pixel (hue, saturation, lightness) runs over its
// range; 24-bit bitmaps only, a 32-bit one is left as it is.
void FillHueGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical);
void FillSaturationGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical);
void FillLightnessGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical);
// Sizes the bitmap (24-bit) and paints rows 0..Height-1 from white through
// pure red towards black; a 32-bit bitmap only becomes 24-bit of that size.
void DrawLightnessRamp(TBitmap* Bitmap, Integer Width, Integer Height);

// --- metafiles, rectangles, brushes ------------------------------------------

// Paints the metafile stretched over Rect in one colour, its grey levels as
// coverage: onto magenta ($FF00FF, the transparent background of design
// layers) with the coverage as alpha, onto other pixels blended by it. A
// 24-bit Dest is painted at 3 bytes a pixel; only the part of Rect inside
// Dest is rendered.
void DrawMetafileInColor(TBitmap* Dest, const TRect& Rect, TColor Color, TMetafile* Metafile);
// The ink pixel's coverage as alpha, and the blend of colour C over D by it.
Byte InkAlpha(Cardinal Ink);
Cardinal CoverageBlend(Cardinal Ink, Cardinal Dest, Cardinal Color);

TRect MapRect(const TRect& SourceFrame, const TRect& DestFrame, const TRect& R);
// Clipped keeps what the caller passed when R lies past the frame.
void MapRectClipped(const TRect& SourceFrame, const TRect& DestFrame, const TRect& R, TRect& Clipped, TRect& Mapped);

// The shared checkerboard brush: 4-pixel squares of two colours (silver and
// grey at start).
TBrush* XCheckerBrush();
void InitCheckerBrush(TColor Color1, TColor Color2);
// The placeholder of a missing picture: a white box with a thick black
// frame and both diagonals.
void DrawCrossedBox(TCanvas* Canvas, const TRect& R);

// --- Gaussian blur -------------------------------------------------------------

// The kernel of the last blur: 201 weights for the offsets -100..100, the
// sigma they were built for and the radius in use.
struct TXGaussKernel {
    float Weights[201] = {};
    double Sigma = 0;
    Byte Radius = 0;
    float Weight(Integer Offset) const { return Weights[Offset + 100]; }
};
const TXGaussKernel& XGaussKernel();
// Builds the kernel for Sigma; true when it was built, false when it
// already was for this sigma (or Sigma is 0 or less, or not finite).
bool BuildGaussKernel(double Sigma);
// Blurs the bitmap in place; a 32-bit bitmap keeps its format and fourth
// bytes, any other becomes 24-bit. A sigma of 0 or less, or not finite,
// changes nothing.
void GaussianBlur(TBitmap* Bitmap, double Sigma);
