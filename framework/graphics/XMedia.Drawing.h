// Pictures and text on a canvas: pictures placed in a rectangle by a
// placement mode and resampled, stored pictures drawn whole, in part,
// stretched or with an opacity, icons from icon streams, text with
// alignment and ellipsis, bevel frames, divider lines, the corner
// triangles of border strips and the wrapped copy of a wallpaper.
//
//     Canvas->Brush()->SetColor(clBlack);
//     DrawGraphicCenter(Canvas, Rect(0, 0, 3840, 2160), Photo, XLanczosKernel());
//
// Every placement first fills the rectangle with the canvas's brush. Sizes
// are worked out in 64 bits; only what the canvas clip lets through is
// resampled, so a covering picture's invisible part is never made.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/PngImage.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XMedia.Resample.h"

// The core of every resampled drawing: without a kernel, or at the
// picture's own size, the plain stretch; a PNG with transparency resampled
// with its alpha; any other picture resampled as 32-bit pixels.
void StretchDrawResampled(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);

void DrawGraphicBestFit(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
void DrawGraphicDownScaledBestFit(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
void DrawGraphicFitWidth(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
void DrawGraphicFitHeight(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
// Covers the rectangle, aspect kept, centred.
void DrawGraphicCenter(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
// As DrawGraphicCenter, but a picture smaller than the rectangle along the
// deciding side keeps its natural size.
void DrawGraphicDownScaledCenter(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel);
void DrawGraphicTile(TCanvas* Canvas, const TRect& R, TGraphic* Graphic);
void DrawGraphicTileSized(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, Integer TileHeight, Integer TileWidth);

void DrawImageObjectStretch(TCanvas* Canvas, const TRect& R, TXImageObject* Object, const TXFilterKernel* Kernel);
void DrawImageObjectDownScaledBestFit(TCanvas* Canvas, const TRect& R, TXImageObject* Object,
    const TXFilterKernel* Kernel);
void DrawImageObjectCenter(TCanvas* Canvas, const TRect& R, TXImageObject* Object, const TXFilterKernel* Kernel);
void DrawImageObjectDownScaledFramed(TCanvas* Canvas, const TRect& R, TXImageObject* Object,
    const TXFilterKernel* Kernel, TColor BottomRightColor, TColor TopLeftColor);

void DrawGraphicThumbnail(TBitmap* Bitmap, Integer Width, Integer Height, const TXFilterKernel* Kernel,
    TGraphic* Graphic);
void DrawImageObjectAt(TCanvas* Canvas, Integer X, Integer Y, TXImageObject* Object);
// Icons whole into DestRect; other pictures: SourceRect of the picture
// (cut to it, DestRect shrinking alike) stretched into DestRect.
void DrawImageObjectPart(TCanvas* Canvas, const TRect& DestRect, const TRect& SourceRect, TXImageObject* Object);
void DrawImageObjectOpacity(TCanvas* Canvas, const TRect& R, Byte Opacity, const TXFilterKernel* Kernel,
    TXImageObject* Object);
// The picture an item shows: a thumbnail item's thumbnail when it has one,
// else its picture; null without an item.
TXImageObject* ItemPicture(TXImageItem* Item);
void DrawImageItemDownScaled(TCanvas* Canvas, const TRect& R, TXImageItem* Item, const TXFilterKernel* Kernel);
void DrawImageItemStretch(TCanvas* Canvas, const TRect& R, TXImageItem* Item, const TXFilterKernel* Kernel);
// The icon entry that fits R best, from the stream's start. Bad data draws
// nothing; raises EOutOfResources only when the icon cannot be made.
void DrawIconStream(TCanvas* Canvas, const TRect& R, TStream* Stream);
// Multiplies the picture's opacity by (Opacity + 1) / 256, giving it an
// alpha channel first where it has none.
void ApplyPngOpacity(TPngImage* Png, Byte Opacity);

void FillBitmap(TBitmap* Bitmap, TColor Color);
void CopyBitmap(TBitmap* Dest, TBitmap* Source);
// Source at (X, Y), the parts falling left of or above Dest wrapped round
// to its far sides.
void DrawBitmapWrapped(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y);

void DrawTextAt(TCanvas* Canvas, Integer X, Integer Y, TFontQuality Quality, const String& Text);
// Layout: 0 one line at the top, 1 at the bottom, 2 centred, 3 lines from
// the top. CalcOnly measures into OutRect and draws nothing.
void DrawTextInRect(TCanvas* Canvas, const TRect& R, const String& Text, TRect& OutRect, bool CalcOnly,
    TFontQuality Quality, TXEllipsis Ellipsis, bool RightToLeft, TAlignment Alignment, Integer Layout);
void DrawBevelFrame(TCanvas* Canvas, const TRect& R, TColor TopLeftColor, TColor BottomRightColor);
void DrawDividerLine(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TColor LowerColor,
    TColor UpperColor);

// Triangles at the ends of border strips, in one colour.
void FillHStripCornerBottomLeft(TBitmap* Bitmap, TColor Color);
void FillHStripCornerBottomRight(TBitmap* Bitmap, TColor Color);
void FillHStripCornerTopLeft(TBitmap* Bitmap, TColor Color);
void FillHStripCornerTopRight(TBitmap* Bitmap, TColor Color);
void FillVStripCornerTopRight(TBitmap* Bitmap, TColor Color);
void FillVStripCornerTopLeft(TBitmap* Bitmap, TColor Color);
void FillVStripCornerBottomRight(TBitmap* Bitmap, TColor Color);
void FillVStripCornerBottomLeft(TBitmap* Bitmap, TColor Color);
