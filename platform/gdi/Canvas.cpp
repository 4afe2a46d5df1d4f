#include "gdi/Canvas.h"
#include "gdi/CoverageMask.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>

X_REGISTER_CLASS(TBrush)
X_REGISTER_CLASS(TPen)
X_REGISTER_CLASS(TCanvas)

// --- brush and pen ---------------------------------------------------------

void TBrush::SetColor(TColor Value)
{
    FColor = Value;
    FStyle = bsSolid;
}

void TBrush::SetBitmap(TBitmap* Value)
{
    if (!Value || Value->Empty()) {
        FBitmap.reset();
        return;
    }
    TOwnedPtr<TBitmap> Pattern(MakeOwned<TBitmap>());
    Pattern->SetSize(std::min(Value->Width(), 8), std::min(Value->Height(), 8));
    for (Integer Y = 0; Y < Pattern->Height(); ++Y)
        for (Integer X = 0; X < Pattern->Width(); ++X)
            Pattern->FillRect(Rect(X, Y, X + 1, Y + 1), Value->Pixel(X, Y));
    FBitmap = std::move(Pattern);
}

void TBrush::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TBrush>(Source)) {
        FColor = Other->FColor;
        FStyle = Other->FStyle;
        SetBitmap(Other->FBitmap.get());
        return;
    }
    inherited::Assign(Source);
}

void TPen::Assign(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TPen>(Source)) {
        FColor = Other->FColor;
        FWidth = Other->FWidth;
        FStyle = Other->FStyle;
        return;
    }
    inherited::Assign(Source);
}

// --- canvas ----------------------------------------------------------------

void TCanvas::Create(TBitmap* ABitmap)
{
    inherited::Create();
    FBitmap = ABitmap;
    FBrush = MakeOwned<TBrush>();
    FPen = MakeOwned<TPen>();
    FFont = MakeOwned<TFont>();
}

TCanvas::~TCanvas() = default;

TRect TCanvas::BitmapRect() const
{
    return FBitmap ? Rect(FOrigin.X, FOrigin.Y, FOrigin.X + FBitmap->Width(), FOrigin.Y + FBitmap->Height()) : TRect {};
}

TRect TCanvas::ClipRect() const
{
    return FClip ? FClip->Extents() : BitmapRect();
}

TRect TCanvas::Bounds() const
{
    if (!FBitmap)
        return {};
    TRect R = BitmapRect();
    if (FClip) {
        const TRect C = FClip->Extents();
        R.Left = std::max(R.Left, C.Left);
        R.Top = std::max(R.Top, C.Top);
        R.Right = std::min(R.Right, C.Right);
        R.Bottom = std::min(R.Bottom, C.Bottom);
    }
    return R.IsEmpty() ? TRect {} : R;
}

void TCanvas::Lock()
{
    MonitorEnter();
    ++FLockCount;
}

void TCanvas::Unlock()
{
    --FLockCount;
    MonitorExit();
}

// The one place that writes pixels of a shape: row Y from X1 to X2
// (exclusive), cut to the clip.
void TCanvas::Span(Integer Y, Integer X1, Integer X2, TColor Color)
{
    const TColor C = ColorToRGB(Color);
    const Byte Px[4] = { GetBValue(C), GetGValue(C), GetRValue(C), 0 };
    const Integer Bpp = FBitmap ? FBitmap->BytesPerPixel() : 0;
    ForEachVisible(Y, X1, X2, [&](Integer A, Integer B) {
        if (B <= A)
            return;
        // One pixel, then the filled part copied onto the rest, doubling.
        Byte* D = PixelAddress(A, Y);
        const size_t Total = size_t(B - A) * Bpp;
        std::memcpy(D, Px, size_t(Bpp));
        for (size_t Done = size_t(Bpp); Done < Total;) {
            const size_t N = std::min(Done, Total - Done);
            std::memcpy(D + Done, D, N);
            Done += N;
        }
    });
}

void TCanvas::PaintCoverage(const TRect& Box, const Byte* Mask, Integer Stride, TColor Color)
{
    const TColor C = ColorToRGB(Color);
    const Byte Px[3] = { GetBValue(C), GetGValue(C), GetRValue(C) };
    const Integer Bpp = FBitmap ? FBitmap->BytesPerPixel() : 0;
    for (Integer Y = Box.Top; Y < Box.Bottom; ++Y) {
        const Byte* M = Mask + size_t(Y - Box.Top) * size_t(Stride) - Box.Left;
        ForEachVisible(Y, Box.Left, Box.Right, [&](Integer A, Integer B) {
            Byte* D = PixelAddress(A, Y);
            for (Integer X = A; X < B; ++X, D += Bpp) {
                const unsigned Cover = M[X];
                if (!Cover)
                    continue;
                for (int I = 0; I < 3; ++I)
                    D[I] = Byte((Px[I] * Cover + D[I] * (255 - Cover) + 127) / 255);
                if (Bpp == 4)
                    D[3] = 0;
            }
        });
    }
}

void TCanvas::BrushSpan(Integer Y, Integer X1, Integer X2)
{
    if (FBrush->Style() == bsClear)
        return;
    const TBitmap* Pattern = FBrush->Bitmap();
    if (!Pattern) {
        Span(Y, X1, X2, FBrush->Color());
        return;
    }
    // The pattern repeats from the bitmap's origin.
    const Integer PW = Pattern->Width(), PH = Pattern->Height();
    ForEachVisible(Y, X1, X2, [&](Integer A, Integer B) {
        for (Integer X = A; X < B; ++X)
            Span(Y, X, X + 1, Pattern->Pixel(X % PW, Y % PH));
    });
}

void TCanvas::PaintMask(const TCoverageMask& Mask, bool WithBrush)
{
    const TRect& U = Mask.Used();
    for (Integer Y = U.Top; Y < U.Bottom; ++Y) {
        const Byte* M = Mask.Row(Y);
        Integer X = U.Left;
        while (X < U.Right) {
            while (X < U.Right && !M[X - U.Left])
                ++X;
            const Integer Start = X;
            while (X < U.Right && M[X - U.Left])
                ++X;
            if (Start == X)
                continue;
            if (WithBrush)
                BrushSpan(Y, Start, X);
            else
                Span(Y, Start, X, FPen->Color());
        }
    }
}

void TCanvas::FillRect(const TRect& R)
{
    const TRect B = Bounds();
    const Integer Top = std::max(R.Top, B.Top), Bottom = std::min(R.Bottom, B.Bottom);
    for (Integer Y = Top; Y < Bottom; ++Y)
        BrushSpan(Y, R.Left, R.Right);
}

void TCanvas::Rectangle(const TRect& R)
{
    if (R.IsEmpty())
        return;
    if (FPen->Style() == psClear) {
        FillRect(R);
        return;
    }
    const Integer W = FPen->Width();
    if (W == 1) {
        FillRect(Rect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1));
        const TPoint Corners[5] = { { R.Left, R.Top }, { R.Right - 1, R.Top }, { R.Right - 1, R.Bottom - 1 },
            { R.Left, R.Bottom - 1 }, { R.Left, R.Top } };
        for (int I = 0; I < 4; ++I)
            ThinLine(Corners[I], Corners[I + 1]);
        // A one-pixel-wide or -high rectangle still shows its last pixel.
        Span(R.Bottom - 1, R.Left, R.Left + 1, FPen->Color());
        return;
    }
    FillRect(R);
    const TPoint Corners[4] = { { R.Left, R.Top }, { R.Right - 1, R.Top }, { R.Right - 1, R.Bottom - 1 },
        { R.Left, R.Bottom - 1 } };
    WideLines(Corners, true);
}

void TCanvas::MoveTo(Integer X, Integer Y)
{
    FPenPos = Point(X, Y);
}

void TCanvas::LineTo(Integer X, Integer Y)
{
    const TPoint Line[2] = { FPenPos, Point(X, Y) };
    Polyline(Line);
    FPenPos = Line[1];
}

void TCanvas::Polyline(std::span<const TPoint> Points)
{
    if (Points.size() < 2 || FPen->Style() == psClear)
        return;
    if (FPen->Width() > 1) {
        WideLines(Points, false);
        return;
    }
    for (size_t I = 0; I + 1 < Points.size(); ++I)
        ThinLine(Points[I], Points[I + 1]);
}

void TCanvas::Polygon(std::span<const TPoint> Points)
{
    if (Points.size() < 2)
        return;
    FillPolygon(Points);
    if (FPen->Style() == psClear)
        return;
    if (FPen->Width() > 1) {
        WideLines(Points, true);
        return;
    }
    for (size_t I = 0; I < Points.size(); ++I)
        ThinLine(Points[I], Points[(I + 1) % Points.size()]);
}

void TCanvas::FillPolygon(std::span<const TPoint> Points)
{
    if (FBrush->Style() == bsClear)
        return;
    TCoverageMask Mask(Bounds());
    Mask.FillPolygon(Points);
    PaintMask(Mask, true);
}

void TCanvas::WideLines(std::span<const TPoint> Points, bool Closed)
{
    TCoverageMask Mask(Bounds());
    Mask.StrokePolyline(Points, FPen->Width(), Closed);
    PaintMask(Mask, false);
}

// A one-pixel line from A towards B, B left out. The pixel of step I on
// the longer axis sits at the shorter axis' coordinate rounded from the
// exact line (halves towards A). Only the steps whose longer-axis
// coordinate lies inside the clip are visited, so the work is bounded by
// the clip whatever the coordinates.
void TCanvas::ThinLine(TPoint A, TPoint B)
{
    const TRect Box = Bounds();
    if (Box.IsEmpty())
        return;
    const Int64 DX = Int64(B.X) - A.X, DY = Int64(B.Y) - A.Y;
    const Int64 AX = std::llabs(DX), AY = std::llabs(DY);
    const Int64 Steps = std::max(AX, AY);
    if (Steps == 0)
        return;
    const bool XMajor = AX >= AY;
    const Int64 Major0 = XMajor ? A.X : A.Y, Minor0 = XMajor ? A.Y : A.X;
    const Int64 MajorDir = (XMajor ? DX : DY) < 0 ? -1 : 1;
    const Int64 MinorDir = (XMajor ? DY : DX) < 0 ? -1 : 1;
    const Int64 MinorLen = XMajor ? AY : AX;
    // Steps I in [First, Last) whose major coordinate is inside the clip.
    const Int64 Lo = XMajor ? Box.Left : Box.Top, Hi = (XMajor ? Box.Right : Box.Bottom) - 1;
    Int64 First, Last;
    if (MajorDir > 0) {
        First = std::max<Int64>(0, Lo - Major0);
        Last = std::min<Int64>(Steps, Hi - Major0 + 1);
    } else {
        First = std::max<Int64>(0, Major0 - Hi);
        Last = std::min<Int64>(Steps, Major0 - Lo + 1);
    }
    const TColor Color = FPen->Color();
    for (Int64 I = First; I < Last; ++I) {
        const Int64 Major = Major0 + MajorDir * I;
        const Int64 Minor = Minor0 + MinorDir * ((2 * I * MinorLen + Steps - 1) / (2 * Steps));
        const Int64 X = XMajor ? Major : Minor, Y = XMajor ? Minor : Major;
        if (X >= Box.Left && X < Box.Right && Y >= Box.Top && Y < Box.Bottom)
            Span(Integer(Y), Integer(X), Integer(X) + 1, Color);
    }
}

void TCanvas::CopyRect(const TRect& DestRect, TCanvas* Source, const TRect& SourceRect)
{
    TBitmap* Src = Source ? Source->Bitmap() : nullptr;
    if (!Src || Src->Empty() || DestRect.IsEmpty() || SourceRect.IsEmpty())
        return;
    const TRect B = Bounds();
    if (B.IsEmpty())
        return;
    // Copying within one bitmap reads from a copy of it.
    TOwnedPtr<TBitmap> Copy;
    if (Src == FBitmap) {
        Copy = MakeOwned<TBitmap>();
        Copy->Assign(Src);
        Src = Copy.get();
    }
    const Int64 DW = Int64(DestRect.Right) - DestRect.Left, DH = Int64(DestRect.Bottom) - DestRect.Top;
    const Int64 SW = Int64(SourceRect.Right) - SourceRect.Left, SH = Int64(SourceRect.Bottom) - SourceRect.Top;
    const Integer SB = Src->BytesPerPixel(), DB = FBitmap->BytesPerPixel();
    const Integer X1 = std::max(DestRect.Left, B.Left), X2 = std::min(DestRect.Right, B.Right);
    const Integer Y1 = std::max(DestRect.Top, B.Top), Y2 = std::min(DestRect.Bottom, B.Bottom);
    // Source rectangles are in the source canvas's logical coordinates.
    const TPoint From = Source->Origin();
    for (Integer Y = Y1; Y < Y2; ++Y) {
        // Each target pixel takes the source pixel under its centre.
        const Int64 SY = SourceRect.Top + ((2 * (Y - Int64(DestRect.Top)) + 1) * SH) / (2 * DH) - From.Y;
        if (SY < 0 || SY >= Src->Height())
            continue;
        const Byte* S = Src->ScanLine(Integer(SY));
        ForEachVisible(Y, X1, X2, [&](Integer A, Integer B) {
            Byte* const Row = PixelAddress(A, Y);
            for (Integer X = A; X < B; ++X) {
                Byte* Q = Row + size_t(X - A) * DB;
                const Int64 SX = SourceRect.Left + ((2 * (X - Int64(DestRect.Left)) + 1) * SW) / (2 * DW) - From.X;
                if (SX < 0 || SX >= Src->Width())
                    continue;
                const Byte* P = S + size_t(SX) * SB;
                Q[0] = P[0];
                Q[1] = P[1];
                Q[2] = P[2];
                if (DB == 4)
                    Q[3] = SB == 4 ? P[3] : 0;
            }
        });
    }
}

void TCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic)
{
    if (Graphic && !Graphic->Empty())
        StretchDraw(Rect(X, Y, Integer(std::clamp<Int64>(Int64(X) + Graphic->Width(), INT32_MIN, INT32_MAX)),
                        Integer(std::clamp<Int64>(Int64(Y) + Graphic->Height(), INT32_MIN, INT32_MAX))),
            Graphic);
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic)
{
    if (!Graphic || Graphic->Empty() || R.IsEmpty())
        return;
    const TRect B = Bounds();
    if (B.IsEmpty())
        return;
    const TRect Area = BitmapRect();
    const bool Whole = !FClip ||
        (RegionKind(*FClip) == SIMPLEREGION && B.Left <= Area.Left && B.Top <= Area.Top && B.Right >= Area.Right &&
            B.Bottom >= Area.Bottom);
    if (Whole) {
        Graphic->Draw(FBitmap,
            Rect(Integer(std::clamp<Int64>(Int64(R.Left) - FOrigin.X, INT32_MIN, INT32_MAX)),
                Integer(std::clamp<Int64>(Int64(R.Top) - FOrigin.Y, INT32_MIN, INT32_MAX)),
                Integer(std::clamp<Int64>(Int64(R.Right) - FOrigin.X, INT32_MIN, INT32_MAX)),
                Integer(std::clamp<Int64>(Int64(R.Bottom) - FOrigin.Y, INT32_MIN, INT32_MAX))));
        return;
    }
    // Clipped: the picture draws into a copy of the clip's box, whose
    // visible pieces are then copied back, so pictures that blend see what
    // was there.
    TOwnedPtr<TBitmap> Part(MakeOwned<TBitmap>());
    Part->SetPixelFormat(FBitmap->PixelFormat());
    Part->SetSize(B.Width(), B.Height());
    const size_t Bytes = size_t(B.Width()) * FBitmap->BytesPerPixel();
    for (Integer Y = B.Top; Y < B.Bottom; ++Y)
        std::memcpy(Part->ScanLine(Y - B.Top), PixelAddress(B.Left, Y), Bytes);
    Graphic->Draw(Part.get(),
        Rect(Integer(std::clamp<Int64>(Int64(R.Left) - B.Left, INT32_MIN, INT32_MAX)),
            Integer(std::clamp<Int64>(Int64(R.Top) - B.Top, INT32_MIN, INT32_MAX)),
            Integer(std::clamp<Int64>(Int64(R.Right) - B.Left, INT32_MIN, INT32_MAX)),
            Integer(std::clamp<Int64>(Int64(R.Bottom) - B.Top, INT32_MIN, INT32_MAX))));
    const Integer Bpp = FBitmap->BytesPerPixel();
    for (Integer Y = B.Top; Y < B.Bottom; ++Y)
        ForEachVisible(Y, B.Left, B.Right, [&](Integer A, Integer E) {
            std::memcpy(PixelAddress(A, Y), Part->ScanLine(Y - B.Top) + size_t(A - B.Left) * Bpp,
                size_t(E - A) * Bpp);
        });
}

// --- gradients -------------------------------------------------------------

bool GradientFill(TCanvas* Canvas, std::span<const TRIVERTEX> Vertices, std::span<const GRADIENT_RECT> Rects,
    Cardinal Mode)
{
    if (Mode != GRADIENT_FILL_RECT_H && Mode != GRADIENT_FILL_RECT_V)
        return false;
    for (const GRADIENT_RECT& G : Rects)
        if (G.UpperLeft >= Vertices.size() || G.LowerRight >= Vertices.size())
            return false;
    TBitmap* Bmp = Canvas ? Canvas->Bitmap() : nullptr;
    if (!Bmp)
        return true;
    const TRect Clip = Canvas->Bounds();
    const Integer Bpp = Bmp->BytesPerPixel();
    for (const GRADIENT_RECT& G : Rects) {
        const TRIVERTEX* V1 = &Vertices[G.UpperLeft];
        const TRIVERTEX* V2 = &Vertices[G.LowerRight];
        // The colour runs from the vertex on the left (top) to the other.
        const bool Horizontal = Mode == GRADIENT_FILL_RECT_H;
        if ((Horizontal ? V1->x : V1->y) > (Horizontal ? V2->x : V2->y))
            std::swap(V1, V2);
        const Integer Left = std::min(V1->x, V2->x), Right = std::max(V1->x, V2->x);
        const Integer Top = std::min(V1->y, V2->y), Bottom = std::max(V1->y, V2->y);
        const Int64 Length = Horizontal ? Int64(Right) - Left : Int64(Bottom) - Top;
        if (Length <= 0)
            continue;
        auto At = [&](Int64 Pos, Word C1, Word C2) { return Byte((C1 + (Int64(C2) - C1) * Pos / Length) >> 8); };
        const Integer X1 = std::max(Left, Clip.Left), X2 = std::min(Right, Clip.Right);
        const Integer Y1 = std::max(Top, Clip.Top), Y2 = std::min(Bottom, Clip.Bottom);
        for (Integer Y = Y1; Y < Y2; ++Y)
            Canvas->ForEachVisible(Y, X1, X2, [&](Integer A, Integer B) {
                Byte* D = Canvas->PixelAddress(A, Y);
                for (Integer X = A; X < B; ++X, D += Bpp) {
                    const Int64 Pos = Horizontal ? Int64(X) - Left : Int64(Y) - Top;
                    D[0] = At(Pos, V1->Blue, V2->Blue);
                    D[1] = At(Pos, V1->Green, V2->Green);
                    D[2] = At(Pos, V1->Red, V2->Red);
                    if (Bpp == 4)
                        D[3] = At(Pos, V1->Alpha, V2->Alpha);
                }
            });
    }
    return true;
}
