#include "gdi/CairoCanvas.h"
#include "gdi/FontSystem.h"
#include <algorithm>
#include <cairo.h>

X_REGISTER_CLASS(TCairoCanvas)

namespace {

// The brush and pen colours as cairo takes them.
void SetSource(cairo_t* Cr, TColor Color)
{
    const Cardinal C = Cardinal(ColorToRGB(Color));
    cairo_set_source_rgb(Cr, (C & 0xFF) / 255.0, ((C >> 8) & 0xFF) / 255.0, ((C >> 16) & 0xFF) / 255.0);
}

} // namespace

void TCairoCanvas::Create(cairo_t* ACr, const TRect& AArea)
{
    TCanvas::Create(nullptr);
    FCr = ACr;
    FArea = AArea;
}

void TCairoCanvas::Begin()
{
    cairo_save(FCr);
    cairo_new_path(FCr);
    // Canvas coordinates are logical; the origin moves them as on a bitmap.
    cairo_translate(FCr, -Origin().X, -Origin().Y);
    if (const TRegion* Clip = ClipRegion()) {
        for (const auto& B : Clip->Boxes())
            cairo_rectangle(FCr, B.x1, B.y1, double(B.x2) - B.x1, double(B.y2) - B.y1);
        cairo_clip(FCr);
    }
}

void TCairoCanvas::End()
{
    cairo_restore(FCr);
}

void TCairoCanvas::SetColor(TColor Color)
{
    SetSource(FCr, Color);
}

void TCairoCanvas::FillRect(const TRect& R)
{
    if (R.IsEmpty() || Brush()->Style() == bsClear)
        return;
    Begin();
    SetColor(Brush()->Color());
    cairo_rectangle(FCr, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(FCr);
    End();
}

void TCairoCanvas::Rectangle(const TRect& R)
{
    if (R.IsEmpty())
        return;
    const TPoint Corners[4] = { Point(R.Left, R.Top), Point(R.Right - 1, R.Top), Point(R.Right - 1, R.Bottom - 1),
        Point(R.Left, R.Bottom - 1) };
    Polygon(Corners);
}

void TCairoCanvas::StrokePath(std::span<const TPoint> Points, bool Closed)
{
    if (Points.size() < 2 || Pen()->Style() == psClear)
        return;
    Begin();
    // A pixel's centre carries the line, as the stepped lines of bitmaps.
    cairo_move_to(FCr, Points[0].X + 0.5, Points[0].Y + 0.5);
    for (size_t I = 1; I < Points.size(); ++I)
        cairo_line_to(FCr, Points[I].X + 0.5, Points[I].Y + 0.5);
    if (Closed)
        cairo_close_path(FCr);
    SetColor(Pen()->Color());
    cairo_set_line_width(FCr, Pen()->Width());
    const bool Thin = Pen()->Width() <= 1;
    cairo_set_line_cap(FCr, Thin ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(FCr, Thin ? CAIRO_LINE_JOIN_MITER : CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(FCr);
    End();
}

void TCairoCanvas::LineTo(Integer X, Integer Y)
{
    const TPoint Points[2] = { PenPos(), Point(X, Y) };
    StrokePath(Points, false);
    MoveTo(X, Y);
}

void TCairoCanvas::Polyline(std::span<const TPoint> Points)
{
    StrokePath(Points, false);
}

void TCairoCanvas::Polygon(std::span<const TPoint> Points)
{
    if (Points.size() < 2)
        return;
    if (Brush()->Style() != bsClear) {
        Begin();
        // The pixels whose centres lie inside, as the bitmap fill takes them.
        cairo_move_to(FCr, Points[0].X + 0.5, Points[0].Y + 0.5);
        for (size_t I = 1; I < Points.size(); ++I)
            cairo_line_to(FCr, Points[I].X + 0.5, Points[I].Y + 0.5);
        cairo_close_path(FCr);
        cairo_set_fill_rule(FCr, CAIRO_FILL_RULE_EVEN_ODD);
        SetColor(Brush()->Color());
        cairo_fill(FCr);
        End();
    }
    StrokePath(Points, true);
}

void TCairoCanvas::PaintBitmap(const TBitmap* Bmp, const TRect& SourceRect, const TRect& DestRect)
{
    const TRect Src = Rect(std::max(SourceRect.Left, 0), std::max(SourceRect.Top, 0),
        std::min(SourceRect.Right, Bmp->Width()), std::min(SourceRect.Bottom, Bmp->Height()));
    if (Src.IsEmpty() || DestRect.IsEmpty() || SourceRect.IsEmpty())
        return;
    cairo_surface_t* Image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Src.Width(), Src.Height());
    if (cairo_surface_status(Image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(Image);
        return;
    }
    cairo_surface_flush(Image);
    Byte* Data = cairo_image_surface_get_data(Image);
    const int Stride = cairo_image_surface_get_stride(Image);
    const Integer Bpp = Bmp->BytesPerPixel();
    for (Integer Y = 0; Y < Src.Height(); ++Y) {
        const Byte* S = Bmp->ScanLine(Src.Top + Y) + size_t(Src.Left) * size_t(Bpp);
        auto* D = reinterpret_cast<std::uint32_t*>(Data + size_t(Y) * size_t(Stride));
        for (Integer X = 0; X < Src.Width(); ++X, S += Bpp)
            D[X] = std::uint32_t(S[0]) | std::uint32_t(S[1]) << 8 | std::uint32_t(S[2]) << 16;
    }
    cairo_surface_mark_dirty(Image);
    Begin();
    cairo_rectangle(FCr, DestRect.Left, DestRect.Top, DestRect.Width(), DestRect.Height());
    cairo_clip(FCr);
    // SourceRect maps onto DestRect; the part of it inside the bitmap is drawn.
    const double Sx = double(DestRect.Width()) / SourceRect.Width();
    const double Sy = double(DestRect.Height()) / SourceRect.Height();
    cairo_translate(FCr, DestRect.Left + (Src.Left - SourceRect.Left) * Sx, DestRect.Top + (Src.Top - SourceRect.Top) * Sy);
    cairo_scale(FCr, Sx, Sy);
    cairo_set_source_surface(FCr, Image, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(FCr), CAIRO_EXTEND_PAD);
    // Enlarged pictures keep their pixels square, as StretchDraw on bitmaps.
    if (Sx >= 1 && Sy >= 1)
        cairo_pattern_set_filter(cairo_get_source(FCr), CAIRO_FILTER_NEAREST);
    cairo_paint(FCr);
    End();
    cairo_surface_destroy(Image);
}

void TCairoCanvas::CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect)
{
    if (!Source || !Source->Bitmap())
        return;
    const TPoint O = Source->Origin();
    TRect S = SourceRect;
    S.Left -= O.X;
    S.Right -= O.X;
    S.Top -= O.Y;
    S.Bottom -= O.Y;
    PaintBitmap(Source->Bitmap(), S, DestRect);
}

void TCairoCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic)
{
    if (Graphic && !Graphic->Empty())
        StretchDraw(Rect(X, Y, X + Graphic->Width(), Y + Graphic->Height()), Graphic);
}

void TCairoCanvas::StretchDraw(const TRect& R, TGraphic* Graphic)
{
    if (!Graphic || Graphic->Empty() || R.IsEmpty())
        return;
    if (const auto* Bmp = dynamic_cast<const TBitmap*>(Graphic)) {
        PaintBitmap(Bmp, Rect(0, 0, Bmp->Width(), Bmp->Height()), R);
        return;
    }
    // Any other picture at its own size, then scaled as an image.
    TOwnedPtr<TBitmap> Bmp = GraphicOnWhite(Graphic);
    PaintBitmap(Bmp.get(), Rect(0, 0, Bmp->Width(), Bmp->Height()), R);
}

void TCairoCanvas::ShowText(Integer X, Integer Top, const std::string& Utf8, Integer Width, Cardinal Format)
{
    const TFontMetrics M = Font()->Metrics();
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    PangoContext* Context = FontSystem::NewContext(Font()->Quality(), Format & DT_RTLREADING);
    PangoLayout* Layout = FontSystem::NewLayout(Context, Font(), Utf8);
    Begin();
    SetColor(Font()->Color());
    // The layout's own baseline sits on the font's, as on bitmaps.
    const double Baseline = double(pango_layout_get_baseline(Layout)) / PANGO_SCALE;
    cairo_move_to(FCr, X, double(Top + M.Ascent) - Baseline);
    pango_cairo_show_layout(FCr, Layout);
    End();
    g_object_unref(Layout);
    g_object_unref(Context);
}

void TCairoCanvas::TextOut(Integer X, Integer Y, const String& Text)
{
    const TSize Extent = TextExtent(Text);
    FillRect(Rect(X, Y, X + Extent.cx, Y + Extent.cy));
    MoveTo(X + Extent.cx, Y);
    if (!Text.empty())
        ShowText(X, Y, StringToUTF8(Text), Extent.cx, 0);
}

Integer TCairoCanvas::DrawText(const String& Text, TRect& R, Cardinal Format)
{
    // The bitmap canvas measures and places; each line it would draw is
    // found again by measuring the rectangle line by line.
    TRect Calc = R;
    const Integer Height = TCanvas::DrawText(Text, Calc, Format | DT_CALCRECT);
    if (Format & DT_CALCRECT) {
        R = Calc;
        return Height;
    }
    const TFontMetrics M = Font()->Metrics();
    std::string Utf8 = StringToUTF8(Text);
    if (!(Format & DT_NOPREFIX)) {
        std::string Out;
        // "&&" stands for "&"; "&x" is x with a mnemonic mark printers leave out.
        for (size_t I = 0; I < Utf8.size(); ++I) {
            if (Utf8[I] == '&' && I + 1 < Utf8.size())
                ++I;
            Out += Utf8[I];
        }
        Utf8 = std::move(Out);
    }
    Integer Top = R.Top;
    if ((Format & DT_SINGLELINE) && (Format & DT_VCENTER))
        Top = R.Top + (R.Height() - M.Height()) / 2;
    else if ((Format & DT_SINGLELINE) && (Format & DT_BOTTOM))
        Top = R.Bottom - M.Height();
    std::lock_guard<std::recursive_mutex> Guard(FontSystem::Lock());
    PangoContext* Context = FontSystem::NewContext(Font()->Quality(), Format & DT_RTLREADING);
    PangoLayout* Layout = FontSystem::NewLayout(Context, Font(), Utf8);
    if (!(Format & DT_SINGLELINE) && (Format & DT_WORDBREAK)) {
        pango_layout_set_width(Layout, std::clamp(R.Width(), 1, INT32_MAX / PANGO_SCALE) * PANGO_SCALE);
        pango_layout_set_wrap(Layout, PANGO_WRAP_WORD);
    }
    if (Format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
        pango_layout_set_width(Layout, std::clamp(R.Width(), 1, INT32_MAX / PANGO_SCALE) * PANGO_SCALE);
        pango_layout_set_ellipsize(Layout, Format & DT_PATH_ELLIPSIS ? PANGO_ELLIPSIZE_MIDDLE : PANGO_ELLIPSIZE_END);
    }
    Begin();
    if (!(Format & DT_NOCLIP)) {
        cairo_rectangle(FCr, R.Left, R.Top, R.Width(), R.Height());
        cairo_clip(FCr);
    }
    SetColor(Font()->Color());
    Integer LineTop = Top;
    for (GSList* L = pango_layout_get_lines_readonly(Layout); L; L = L->next, LineTop += M.Height()) {
        auto* Line = static_cast<PangoLayoutLine*>(L->data);
        PangoRectangle Logical;
        pango_layout_line_get_pixel_extents(Line, nullptr, &Logical);
        Integer X = R.Left;
        if (Format & DT_CENTER)
            X = R.Left + (R.Width() - Logical.width) / 2;
        else if (Format & DT_RIGHT)
            X = R.Right - Logical.width;
        if (Brush()->Style() != bsClear) {
            SetColor(Brush()->Color());
            cairo_rectangle(FCr, X, LineTop, Logical.width, M.Height());
            cairo_fill(FCr);
            SetColor(Font()->Color());
        }
        cairo_move_to(FCr, X - Logical.x, LineTop + M.Ascent);
        pango_cairo_show_layout_line(FCr, Line);
    }
    End();
    g_object_unref(Layout);
    g_object_unref(Context);
    return Height;
}
