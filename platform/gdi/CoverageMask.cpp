#include "gdi/CoverageMask.h"
#include <cairo.h>
#include <algorithm>
#include <cmath>

namespace {

// cairo keeps coordinates in 24.8 fixed point; shapes are first cut to a
// window a little larger than the mask, which leaves the covered pixels
// inside the mask as they are (the cut edges run outside it).
struct TWindow {
    double Left, Top, Right, Bottom;
};

using TPath = std::vector<std::pair<double, double>>;

// Sutherland-Hodgman against one side of the window.
template<class Inside, class Cross>
TPath ClipSide(const TPath& In, Inside&& IsIn, Cross&& At)
{
    TPath Out;
    if (In.empty())
        return Out;
    Out.reserve(In.size() + 4);
    auto Prev = In.back();
    bool PrevIn = IsIn(Prev);
    for (const auto& P : In) {
        const bool PIn = IsIn(P);
        if (PIn != PrevIn)
            Out.push_back(At(Prev, P));
        if (PIn)
            Out.push_back(P);
        Prev = P;
        PrevIn = PIn;
    }
    return Out;
}

TPath ClipPolygon(TPath P, const TWindow& W)
{
    auto AtX = [](double X) {
        return [X](std::pair<double, double> A, std::pair<double, double> B) {
            const double T = (X - A.first) / (B.first - A.first);
            return std::pair { X, A.second + T * (B.second - A.second) };
        };
    };
    auto AtY = [](double Y) {
        return [Y](std::pair<double, double> A, std::pair<double, double> B) {
            const double T = (Y - A.second) / (B.second - A.second);
            return std::pair { A.first + T * (B.first - A.first), Y };
        };
    };
    P = ClipSide(
        P, [&](auto Q) { return Q.first >= W.Left; }, AtX(W.Left));
    P = ClipSide(
        P, [&](auto Q) { return Q.first <= W.Right; }, AtX(W.Right));
    P = ClipSide(
        P, [&](auto Q) { return Q.second >= W.Top; }, AtY(W.Top));
    P = ClipSide(
        P, [&](auto Q) { return Q.second <= W.Bottom; }, AtY(W.Bottom));
    return P;
}

// Liang-Barsky: the part of segment A-B inside the window; false when none.
bool ClipSegment(std::pair<double, double>& A, std::pair<double, double>& B, const TWindow& W)
{
    double T0 = 0, T1 = 1;
    const double DX = B.first - A.first, DY = B.second - A.second;
    const double P[4] = { -DX, DX, -DY, DY };
    const double Q[4] = { A.first - W.Left, W.Right - A.first, A.second - W.Top, W.Bottom - A.second };
    for (int I = 0; I < 4; ++I) {
        if (P[I] == 0) {
            if (Q[I] < 0)
                return false;
            continue;
        }
        const double R = Q[I] / P[I];
        if (P[I] < 0)
            T0 = std::max(T0, R);
        else
            T1 = std::min(T1, R);
        if (T0 > T1)
            return false;
    }
    B = { A.first + T1 * DX, A.second + T1 * DY };
    A = { A.first + T0 * DX, A.second + T0 * DY };
    return true;
}

} // namespace

template<class F>
void TCoverageMask::Render(double Left, double Top, double Right, double Bottom, F&& Draw)
{
    FUsed = {};
    FBits.clear();
    if (FBounds.IsEmpty())
        return;
    // Only the part of the shape's box inside the mask bounds is rasterised.
    const Int64 L = std::max<Int64>(FBounds.Left, Int64(std::floor(std::max(Left, -1e9))));
    const Int64 T = std::max<Int64>(FBounds.Top, Int64(std::floor(std::max(Top, -1e9))));
    const Int64 R = std::min<Int64>(FBounds.Right, Int64(std::ceil(std::min(Right, 1e9))));
    const Int64 B = std::min<Int64>(FBounds.Bottom, Int64(std::ceil(std::min(Bottom, 1e9))));
    if (L >= R || T >= B)
        return;
    FBounds = Rect(Integer(L), Integer(T), Integer(R), Integer(B));
    const Integer W = FBounds.Width(), H = FBounds.Height();
    FStride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, W);
    FBits.assign(size_t(FStride) * size_t(H), 0);
    cairo_surface_t* Surface = cairo_image_surface_create_for_data(FBits.data(), CAIRO_FORMAT_A8, W, H, FStride);
    cairo_t* Cr = cairo_create(Surface);
    cairo_set_antialias(Cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgba(Cr, 0, 0, 0, 1);
    cairo_translate(Cr, -double(FBounds.Left), -double(FBounds.Top));
    const TWindow Window { FBounds.Left - 2.0, FBounds.Top - 2.0, FBounds.Right + 2.0, FBounds.Bottom + 2.0 };
    Draw(Cr, Window);
    cairo_destroy(Cr);
    cairo_surface_flush(Surface);
    cairo_surface_destroy(Surface);
    FUsed = FBounds;
}

void TCoverageMask::FillPolygon(std::span<const TPoint> Points)
{
    if (Points.size() < 3)
        return;
    double L = Points[0].X, T = Points[0].Y, R = L, B = T;
    TPath Path;
    Path.reserve(Points.size());
    for (const TPoint& P : Points) {
        L = std::min<double>(L, P.X);
        R = std::max<double>(R, P.X);
        T = std::min<double>(T, P.Y);
        B = std::max<double>(B, P.Y);
        Path.emplace_back(P.X, P.Y);
    }
    Render(L, T, R, B, [&](cairo_t* Cr, const TWindow& W) {
        const TPath Clipped = ClipPolygon(Path, W);
        if (Clipped.size() < 3)
            return;
        cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_move_to(Cr, Clipped[0].first, Clipped[0].second);
        for (size_t I = 1; I < Clipped.size(); ++I)
            cairo_line_to(Cr, Clipped[I].first, Clipped[I].second);
        cairo_close_path(Cr);
        cairo_fill(Cr);
    });
}

void TCoverageMask::StrokePolyline(std::span<const TPoint> Points, Integer Width, bool Closed)
{
    if (Points.empty())
        return;
    const double Half = Width / 2.0 + 1;
    double L = Points[0].X, T = Points[0].Y, R = L, B = T;
    for (const TPoint& P : Points) {
        L = std::min<double>(L, P.X);
        R = std::max<double>(R, P.X);
        T = std::min<double>(T, P.Y);
        B = std::max<double>(B, P.Y);
    }
    Render(L - Half, T - Half, R + Half + 1, B + Half + 1, [&](cairo_t* Cr, const TWindow& Box) {
        // Segments are cut one by one to a window widened by the pen, and
        // each piece is stroked alone with round caps: where pieces meet
        // the caps make the round join.
        const TWindow W { Box.Left - Width, Box.Top - Width, Box.Right + Width, Box.Bottom + Width };
        cairo_set_line_width(Cr, Width);
        cairo_set_line_cap(Cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(Cr, CAIRO_LINE_JOIN_ROUND);
        const size_t Count = Points.size() == 1 ? 1 : (Closed ? Points.size() : Points.size() - 1);
        for (size_t I = 0; I < Count; ++I) {
            const TPoint& P = Points[I];
            const TPoint& Q = Points[(I + 1) % Points.size()];
            std::pair<double, double> A { P.X + 0.5, P.Y + 0.5 }, B2 { Q.X + 0.5, Q.Y + 0.5 };
            if (!ClipSegment(A, B2, W))
                continue;
            cairo_move_to(Cr, A.first, A.second);
            cairo_line_to(Cr, B2.first, B2.second);
        }
        cairo_stroke(Cr);
    });
}
