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
#include <optional>
#include <span>
#include <vector>

enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psClear };

// The brush fills the insides of shapes: a solid colour, nothing (bsClear),
// or an 8x8 pattern bitmap repeated from the bitmap's origin.
class TBrush : public TPersistent {
    X_CLASS(TBrush, TPersistent)
public:
    void Create() override { }
    ~TBrush() override;

    TColor Color() const { return FColor; }
    // Also makes the style solid.
    void SetColor(TColor Value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle Value) { FStyle = Value; }
    // The pattern; null when none. Setting one copies its top-left 8x8
    // pixels; null drops it.
    TBitmap* Bitmap() const { return FBitmap; }
    void SetBitmap(TBitmap* Value);
    void Assign(TPersistent* Source) override;

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TBitmap* FBitmap = nullptr;     // owned copy
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
    TPoint PenPos() const { return FPenPos; }

    // Drawing is limited to the clip rectangle and the bitmap; without a
    // clip rectangle, to the bitmap.
    TRect ClipRect() const;
    void SetClipRect(const TRect& R) { FClip = R; }
    void ResetClip() { FClip.reset(); }

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

protected:
    // The clip rectangle met with the bitmap's bounds (empty without one).
    TRect Bounds() const;

private:
    void Span(Integer Y, Integer X1, Integer X2, TColor Color);
    void BrushSpan(Integer Y, Integer X1, Integer X2);
    void ThinLine(TPoint A, TPoint B);
    void WideLines(std::span<const TPoint> Points, bool Closed);
    void FillPolygon(std::span<const TPoint> Points);
    void PaintMask(const class TCoverageMask& Mask, bool WithBrush);

    TBitmap* FBitmap = nullptr;
    TOwnedPtr<TBrush> FBrush;
    TOwnedPtr<TPen> FPen;
    TPoint FPenPos;
    std::optional<TRect> FClip;
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
bool GradientFill(TCanvas* Canvas, std::span<const TRIVERTEX> Vertices, std::span<const GRADIENT_RECT> Rects, Cardinal Mode);
