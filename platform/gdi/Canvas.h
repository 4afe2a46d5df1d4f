// TCanvas: drawing on a TBitmap with a brush and a pen, as GDI draws.
//
//     TCanvas* C = Bmp->Canvas();
//     C->Brush()->SetColor(clWhite);
//     C->Pen()->SetWidth(10);
//     C->Rectangle(Rect(0, 0, 200, 100));      // white inside, black frame
//     C->MoveTo(0, 0);
//     C->LineTo(199, 99);                      // the end point stays unpainted
//
// One-pixel lines are stepped in plain code and leave out their end point;
// filled shapes and wide lines (round caps and joins) are rasterised by
// cairo into a coverage mask without antialiasing, and the mask is painted
// here with the brush or pen colour. Every pixel write goes through one
// span painter that applies the clip rectangle, so later clip shapes only
// change that one place. Filled pixels of a 32-bit bitmap get the fourth
// byte 0, as fills from 24-bit colours do.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/Colors.h"
#include "gdi/Font.h"
#include "gdi/Region.h"
#include <optional>
#include <span>
#include <vector>

enum TBrushStyle { bsSolid, bsClear };

// Horizontal and vertical alignment of text in controls.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
X_ENUM_INFO(TAlignment, taLeftJustify, taRightJustify, taCenter)
enum TVerticalAlignment { taAlignTop, taAlignBottom, taVerticalCenter };

// DrawText's format flags, as GDI numbers them.
constexpr Cardinal DT_TOP = 0x0;
constexpr Cardinal DT_LEFT = 0x0;
constexpr Cardinal DT_CENTER = 0x1;
constexpr Cardinal DT_RIGHT = 0x2;
constexpr Cardinal DT_VCENTER = 0x4;
constexpr Cardinal DT_BOTTOM = 0x8;
constexpr Cardinal DT_WORDBREAK = 0x10;
constexpr Cardinal DT_SINGLELINE = 0x20;
constexpr Cardinal DT_EXPANDTABS = 0x40;
constexpr Cardinal DT_NOCLIP = 0x100;
constexpr Cardinal DT_EXTERNALLEADING = 0x200;
constexpr Cardinal DT_CALCRECT = 0x400;
constexpr Cardinal DT_NOPREFIX = 0x800;
constexpr Cardinal DT_PATH_ELLIPSIS = 0x4000;
constexpr Cardinal DT_END_ELLIPSIS = 0x8000;
constexpr Cardinal DT_RTLREADING = 0x20000;
constexpr Cardinal DT_WORD_ELLIPSIS = 0x40000;
enum TPenStyle { psSolid, psClear };

// The brush fills the insides of shapes: a solid colour, nothing (bsClear),
// or an 8x8 pattern bitmap repeated from the bitmap's origin.
class TBrush : public TPersistent {
    X_CLASS(TBrush, TPersistent)
public:
    void Create() override { }

    TColor Color() const { return FColor; }
    // Also makes the style solid.
    void SetColor(TColor Value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle Value) { FStyle = Value; }
    // The pattern; null when none. Setting one copies its top-left 8x8
    // pixels; null drops it.
    TBitmap* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap* Value);
    void Assign(TPersistent* Source) override;

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TOwnedPtr<TBitmap> FBitmap; // a copy
};

class TPen : public TPersistent {
    X_CLASS(TPen, TPersistent)
public:
    void Create() override { }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    // Below 1 counts as 1.
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value < 1 ? 1 : Value; }
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle Value) { FStyle = Value; }
    void Assign(TPersistent* Source) override;

private:
    TColor FColor = clBlack;
    Integer FWidth = 1;
    TPenStyle FStyle = psSolid;
};

class TCanvas : public TPersistent {
    X_CLASS(TCanvas, TPersistent)
public:
    // A canvas on Bitmap (borrowed; the bitmap outlives its canvas). A
    // canvas without a bitmap draws nothing.
    void Create(TBitmap* ABitmap);
    void Create() override { Create(nullptr); }
    ~TCanvas() override;

    TBitmap* Bitmap() const { return FBitmap; }
    TBrush* Brush() const { return FBrush.get(); }
    TPen* Pen() const { return FPen.get(); }
    TFont* Font() const { return FFont.get(); }
    // Copies Value's attributes.
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    TPoint PenPos() const { return FPenPos; }

    // The logical point the bitmap's top-left pixel holds, (0, 0) unless
    // set: a canvas may hold only a part of a larger drawing (the visible
    // part of a window) and still be drawn on in that drawing's
    // coordinates. Every coordinate of the canvas is logical.
    TPoint Origin() const { return FOrigin; }
    void SetOrigin(TPoint Value) { FOrigin = Value; }
    // The bitmap's area in logical coordinates (empty without one).
    TRect BitmapRect() const;
    // The bytes of logical pixel (X, Y), which lies in BitmapRect().
    Byte* PixelAddress(Integer X, Integer Y) const
    {
        return FBitmap->ScanLine(Y - FOrigin.Y) + size_t(X - FOrigin.X) * size_t(FBitmap->BytesPerPixel());
    }

    // Drawing is limited to the clip region and the bitmap; without a
    // clip, to the bitmap. ClipRect is the box round the clip region.
    TRect ClipRect() const;
    // The clip rectangle met with the bitmap's area (empty without one).
    TRect Bounds() const;
    void SetClipRect(const TRect& R) { FClip = TRegion(R); }
    void SetClipRegion(const TRegion& R) { FClip = R; }
    // Null without a clip.
    const TRegion* ClipRegion() const { return FClip ? &*FClip : nullptr; }
    void ResetClip() { FClip.reset(); }
    // Calls Fn(A, B) for each piece [A, B) of row Y between X1 and X2 that
    // may be drawn (inside the bitmap and the clip), left to right.
    template<class F>
    void ForEachVisible(Integer Y, Integer X1, Integer X2, F&& Fn) const
    {
        if (!FBitmap || Y < FOrigin.Y || Y - FOrigin.Y >= FBitmap->Height())
            return;
        X1 = X1 > FOrigin.X ? X1 : FOrigin.X;
        X2 = X2 - FOrigin.X < FBitmap->Width() ? X2 : FOrigin.X + FBitmap->Width();
        if (X1 >= X2)
            return;
        if (FClip)
            FClip->Spans(Y, X1, X2, Fn);
        else
            Fn(X1, X2);
    }

    // Serialises drawing from several threads on one canvas.
    void Lock();
    void Unlock();
    // True while a thread holds the canvas.
    bool Locked() const { return FLockCount > 0; }

    // The brush over R, right and bottom exclusive; the pen is not used.
    virtual void FillRect(const TRect& R);
    // The brush inside, the pen on the frame; the frame covers the pixels
    // X1..X2-1 and Y1..Y2-1 with a one-pixel pen.
    virtual void Rectangle(const TRect& R);
    void Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2) { Rectangle(::Rect(X1, Y1, X2, Y2)); }
    virtual void MoveTo(Integer X, Integer Y);
    // A line from the pen position; the end point is left out and becomes
    // the pen position.
    virtual void LineTo(Integer X, Integer Y);
    // Lines through the points; the last point is left out. The pen
    // position does not change.
    virtual void Polyline(std::span<const TPoint> Points);
    // The brush inside (alternate filling), the pen on the closed outline.
    virtual void Polygon(std::span<const TPoint> Points);
    // Source's pixels in SourceRect copied into DestRect of this canvas,
    // stretched to the nearest pixel when the sizes differ.
    virtual void CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect);
    // The picture at its own size with its top-left at (X, Y).
    virtual void Draw(Integer X, Integer Y, TGraphic* Graphic);
    // The picture stretched into R.
    virtual void StretchDraw(const TRect& R, TGraphic* Graphic);

    // Text in the font with the top-left of its cell at (X, Y); a solid
    // brush fills the cell behind it first. The pen position moves to the
    // text's right end.
    virtual void TextOut(Integer X, Integer Y, const String& Text);
    // The text's advance and the font's cell height.
    TSize TextExtent(const String& Text) const;
    Integer TextWidth(const String& Text) const { return TextExtent(Text).cx; }
    Integer TextHeight(const String& Text) const { return TextExtent(Text).cy; }
    // GDI's DrawText: lays Text out in R by the DT_ flags and draws it,
    // clipped to R unless DT_NOCLIP; a solid brush fills each line's cell.
    // With DT_CALCRECT it draws nothing and sets R's right and bottom to
    // what the text needs. Answers the text's height (with DT_VCENTER or
    // DT_BOTTOM, from R's top to the text's bottom).
    virtual Integer DrawText(const String& Text, TRect& R, Cardinal Format);

private:
    void Span(Integer Y, Integer X1, Integer X2, TColor Color);
    void BrushSpan(Integer Y, Integer X1, Integer X2);
    void ThinLine(TPoint A, TPoint B);
    void WideLines(std::span<const TPoint> Points, bool Closed);
    void FillPolygon(std::span<const TPoint> Points);
    void PaintMask(const class TCoverageMask& Mask, bool WithBrush);
    // Blends Color over the pixels of Box by the coverage bytes of Mask
    // (Stride bytes a row), inside the clip.
    void PaintCoverage(const TRect& Box, const Byte* Mask, Integer Stride, TColor Color);

    TBitmap* FBitmap = nullptr;
    TOwnedPtr<TBrush> FBrush;
    TOwnedPtr<TPen> FPen;
    TOwnedPtr<TFont> FFont;
    TPoint FPenPos;
    TPoint FOrigin;
    std::optional<TRegion> FClip;
    Integer FLockCount = 0;
};

// Gradient fills of a canvas: each rectangle runs from its first vertex's
// colour to its second one's, across (RECT_H) or down (RECT_V). Colours
// are 16 bits per channel, as GDI takes them; the pixel gets the top byte.
struct TRIVERTEX {
    Integer x = 0, y = 0;
    Word Red = 0, Green = 0, Blue = 0, Alpha = 0;
};
struct GRADIENT_RECT {
    Cardinal UpperLeft = 0, LowerRight = 0;
};
constexpr Cardinal GRADIENT_FILL_RECT_H = 0;
constexpr Cardinal GRADIENT_FILL_RECT_V = 1;

// False (nothing drawn) for an unknown mode or a vertex index past the
// vertices.
bool GradientFill(TCanvas* Canvas, std::span<const TRIVERTEX> Vertices, std::span<const GRADIENT_RECT> Rects,
    Cardinal Mode);
