// TCairoCanvas: a canvas drawing through a cairo context instead of into a
// bitmap, for vector surfaces (a printer's PDF pages).
//
//     cairo_surface_t* S = cairo_pdf_surface_create("page.pdf", 595, 842);
//     cairo_t* Cr = cairo_create(S);
//     cairo_scale(Cr, 72.0 / 600, 72.0 / 600);    // 600 pixels an inch
//     TOwnedPtr<TCairoCanvas> C(MakeOwned<TCairoCanvas>(Cr, Rect(0, 0, 4960, 7016)));
//     C->TextOut(600, 600, u"Hello");               // stays text in the PDF
//
// Shapes, lines and text keep the pixel rules of TCanvas (end points left
// out, rectangles right and bottom exclusive) but are drawn as paths and
// glyphs, so nothing is rasterised; pictures are painted as images. Text
// is laid out by the same pango font map and fonts as on bitmaps.
#pragma once
#include "gdi/Canvas.h"

typedef struct _cairo cairo_t;

class TCairoCanvas : public TCanvas {
    X_CLASS(TCairoCanvas, TCanvas)
public:
    // Cr is borrowed and outlives the canvas; Area is the drawing's extent
    // in the canvas's pixels (what Bounds answers without a clip).
    void Create(cairo_t* ACr, const TRect& AArea);

    cairo_t* Context() const { return FCr; }

    void FillRect(const TRect& R) override;
    void Rectangle(const TRect& R) override;
    void LineTo(Integer X, Integer Y) override;
    void Polyline(std::span<const TPoint> Points) override;
    void Polygon(std::span<const TPoint> Points) override;
    void CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect) override;
    void Draw(Integer X, Integer Y, TGraphic* Graphic) override;
    void StretchDraw(const TRect& R, TGraphic* Graphic) override;
    void TextOut(Integer X, Integer Y, const String& Text) override;
    // Lines broken and aligned as on a bitmap, drawn as text.
    Integer DrawText(const String& Text, TRect& R, Cardinal Format) override;

private:
    // Saves the context and clips it to the canvas's clip region.
    void Begin();
    void End();
    void SetColor(TColor Color);
    void StrokePath(std::span<const TPoint> Points, bool Closed);
    // Bmp's SourceRect painted into DestRect.
    void PaintBitmap(const TBitmap* Bmp, const TRect& SourceRect, const TRect& DestRect);
    void ShowText(Integer X, Integer Top, const std::string& Utf8, Integer Width, Cardinal Format);

    cairo_t* FCr = nullptr;
    TRect FArea;
};
