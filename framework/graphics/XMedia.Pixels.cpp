#include "graphics/XMedia.Pixels.h"
#include "graphics/XMedia.Pixels.Rows.h"
#include "gdi/Colors.h"
#include "rtl/Units.h"
#include "rtl/Verify.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace XPixelRows;

// --- colours and bytes -------------------------------------------------------

TColor PackColor(Integer R, Integer G, Integer B)
{
    return RGB(Byte(std::clamp(R, 0, 255)), Byte(std::clamp(G, 0, 255)), Byte(std::clamp(B, 0, 255)));
}

TXRGBColor ColorToBGR(TColor Color)
{
    return ColorToRGBColor(Color);
}

Cardinal SwapRedBlue(Cardinal Value)
{
    return (Value & 0x00FF00) | (Value & 0xFF) << 16 | (Value >> 16 & 0xFF);
}

Cardinal ColorToPixel(TColor Color)
{
    return SwapRedBlue(Cardinal(ColorToRGB(Color)));
}

TColor BlendColors(TColor Color1, TColor Color2, Byte Alpha)
{
    const TColor A = ColorToRGB(Color1), B = ColorToRGB(Color2);
    return RGB(BlendByte(GetRValue(B), GetRValue(A), Alpha), BlendByte(GetGValue(B), GetGValue(A), Alpha),
        BlendByte(GetBValue(B), GetBValue(A), Alpha));
}

TXFotoPixel ColorToFotoPixel(TColor Color)
{
    const TXRGBColor C = ColorToRGBColor(Color);
    return { float(C.Blue), float(C.Green), float(C.Red) };
}

TColor FotoPixelToColor(const TXFotoPixel& Pixel)
{
    return PackColor(RoundChannel(Pixel.C3), RoundChannel(Pixel.C2), RoundChannel(Pixel.C1));
}

// --- blits -----------------------------------------------------------------

bool ClipBlitRect(Integer DestW, Integer DestH, Integer SourceW, Integer SourceH, const TRect& SourceRect, Integer X,
    Integer Y, TXBlitClip& Clip)
{
    if (DestW < 1 || DestH < 1 || SourceW < 1 || SourceH < 1)
        return false;
    Int64 SL = SourceRect.Left, ST = SourceRect.Top, SR = SourceRect.Right, SB = SourceRect.Bottom;
    Int64 DX = X, DY = Y;
    if (SL < 0) {
        DX -= SL;
        SL = 0;
    }
    if (ST < 0) {
        DY -= ST;
        ST = 0;
    }
    if (DX < 0) {
        SL -= DX;
        DX = 0;
    }
    if (DY < 0) {
        ST -= DY;
        DY = 0;
    }
    SR = std::min<Int64>(SR, SourceW);
    SB = std::min<Int64>(SB, SourceH);
    if (SL >= SR || ST >= SB || SL >= SourceW || ST >= SourceH)
        return false;
    const Int64 X2 = std::min<Int64>(DX + (SR - SL), DestW), Y2 = std::min<Int64>(DY + (SB - ST), DestH);
    if (DX >= X2 || DY >= Y2)
        return false;
    Clip.SourceRect = Rect(Integer(SL), Integer(ST), Integer(SR), Integer(SB));
    Clip.X = Integer(DX);
    Clip.Y = Integer(DY);
    Clip.X2 = Integer(X2);
    Clip.Y2 = Integer(Y2);
    return true;
}

namespace {

// Count pixels of a source row at the destination's pixel size: the row
// itself, or a copy widened (fourth byte 0) or narrowed.
const Byte* RowAs(const Byte* S, Integer SB, Integer DB, Integer Count, std::vector<Byte>& Scratch)
{
    if (SB == DB)
        return S;
    Scratch.resize(size_t(Count) * DB);
    if (DB == 4) {
        Widen24(XSimdLevel(), S, Scratch.data(), Count);
        return Scratch.data();
    }
    Byte* D = Scratch.data();
    for (Integer X = 0; X < Count; ++X, S += SB, D += DB) {
        D[0] = S[0];
        D[1] = S[1];
        D[2] = S[2];
    }
    return Scratch.data();
}

// Drawing a bitmap onto itself reads from a copy.
TBitmap* Distinct(TBitmap* Dest, TBitmap* Source, TOwnedPtr<TBitmap>& Copy)
{
    if (Source != Dest)
        return Source;
    Copy = MakeOwned<TBitmap>();
    Copy->Assign(Source);
    return Copy.get();
}

bool Usable(const TBitmap* B)
{
    return B && !B->Empty();
}

template<class F>
void ForEachBlitRow(TBitmap* Dest, TBitmap* Source, const TXBlitClip& C, F&& Row)
{
    const Integer SB = Source->BytesPerPixel(), DB = Dest->BytesPerPixel();
    for (Integer Y = C.Y; Y < C.Y2; ++Y)
        Row(Source->ScanLine(C.SourceRect.Top + (Y - C.Y)) + size_t(C.SourceRect.Left) * SB,
            Dest->ScanLine(Y) + size_t(C.X) * DB);
}

void SaturatedBitmap(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, bool Subtract)
{
    if (!Usable(Dest) || !Usable(Source))
        return;
    TOwnedPtr<TBitmap> Copy;
    Source = Distinct(Dest, Source, Copy);
    TXBlitClip C;
    if (!ClipBlitRect(Dest->Width(), Dest->Height(), Source->Width(), Source->Height(),
            Rect(0, 0, Source->Width(), Source->Height()), X, Y, C))
        return;
    const Integer SB = Source->BytesPerPixel(), DB = Dest->BytesPerPixel(), N = C.X2 - C.X;
    const TFourth Fourth = DB == 4 ? fbZero : fbCompute;
    const TXSimdLevel Level = XSimdLevel();
    std::vector<Byte> Scratch;
    ForEachBlitRow(Dest, Source, C, [&](const Byte* S, Byte* D) {
        const Byte* Row = RowAs(S, SB, DB, N, Scratch);
        if (Subtract)
            XPixelRows::SubtractFloored(Level, Row, D, size_t(N) * DB, Fourth);
        else
            XPixelRows::AddSaturated(Level, Row, D, size_t(N) * DB, Fourth);
    });
}

} // namespace

void DrawBitmapAlpha(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, const TRect& SourceRect, Byte Alpha)
{
    if (Alpha == 0 || !Usable(Dest) || !Usable(Source))
        return;
    TOwnedPtr<TBitmap> Copy;
    Source = Distinct(Dest, Source, Copy);
    TXBlitClip C;
    if (!ClipBlitRect(Dest->Width(), Dest->Height(), Source->Width(), Source->Height(), SourceRect, X, Y, C))
        return;
    const Integer SB = Source->BytesPerPixel(), DB = Dest->BytesPerPixel(), N = C.X2 - C.X;
    const TXSimdLevel Level = XSimdLevel();
    std::vector<Byte> Scratch;
    ForEachBlitRow(Dest, Source, C, [&](const Byte* S, Byte* D) {
        const Byte* Row = RowAs(S, SB, DB, N, Scratch);
        if (Alpha == 255)
            std::memcpy(D, Row, size_t(N) * DB);
        else
            XPixelRows::Blend(Level, Row, D, size_t(N) * DB, Alpha, DB == 4 ? fbKeep : fbCompute);
    });
}

void DrawBitmapKeyed(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, TColor KeyColor, Byte Alpha)
{
    if (Alpha == 0 || !Usable(Dest) || !Usable(Source))
        return;
    TOwnedPtr<TBitmap> Copy;
    Source = Distinct(Dest, Source, Copy);
    TXBlitClip C;
    if (!ClipBlitRect(Dest->Width(), Dest->Height(), Source->Width(), Source->Height(),
            Rect(0, 0, Source->Width(), Source->Height()), X, Y, C))
        return;
    const Integer SB = Source->BytesPerPixel(), DB = Dest->BytesPerPixel(), N = C.X2 - C.X;
    const Cardinal Key = ColorToPixel(KeyColor);
    const TXSimdLevel Level = XSimdLevel();
    ForEachBlitRow(Dest, Source, C, [&](const Byte* S, Byte* D) {
        if (SB == 4 && DB == 4) {
            Keyed32(Level, S, D, N, Key, Alpha);
            return;
        }
        for (Integer I = 0; I < N; ++I, S += SB, D += DB) {
            // A source pixel is compared at its own size.
            Cardinal V = Cardinal(S[0]) | Cardinal(S[1]) << 8 | Cardinal(S[2]) << 16;
            if (SB == 4)
                V |= Cardinal(S[3]) << 24;
            if (V == Key)
                continue;
            if (Alpha == 255) {
                D[0] = S[0];
                D[1] = S[1];
                D[2] = S[2];
                if (DB == 4)
                    D[3] = SB == 4 ? S[3] : 0;
            } else {
                for (int Ch = 0; Ch < 3; ++Ch)
                    D[Ch] = BlendByte(S[Ch], D[Ch], Alpha);
            }
        }
    });
}

void DrawLayerBitmapKeyed(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, TColor KeyColor, Byte Alpha)
{
    DrawBitmapKeyed(Dest, Source, X, Y, KeyColor, Alpha);
}

void BlendColorRect(TBitmap* Bitmap, TColor Color, const TRect& R, Byte Alpha)
{
    if (Alpha == 0 || !Usable(Bitmap))
        return;
    TRect Box;
    if (!RectIntersect(R, Rect(0, 0, Bitmap->Width(), Bitmap->Height()), Box))
        return;
    const Integer DB = Bitmap->BytesPerPixel(), N = Box.Width();
    const TXRGBColor Bgr = ColorToBGR(Color);
    std::vector<Byte> Pattern(size_t(N) * DB, 0);
    for (Integer X = 0; X < N; ++X)
        std::memcpy(&Pattern[size_t(X) * DB], &Bgr, 3);
    const TXSimdLevel Level = XSimdLevel();
    for (Integer Y = Box.Top; Y < Box.Bottom; ++Y)
        XPixelRows::Blend(Level, Pattern.data(), Bitmap->ScanLine(Y) + size_t(Box.Left) * DB, Pattern.size(), Alpha,
            DB == 4 ? fbKeep : fbCompute);
}

void BlendColorBitmap(TBitmap* Bitmap, TColor Color, Byte Alpha)
{
    if (Bitmap)
        BlendColorRect(Bitmap, Color, Rect(0, 0, Bitmap->Width(), Bitmap->Height()), Alpha);
}

void AddBitmapSaturated(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y)
{
    SaturatedBitmap(Dest, Source, X, Y, false);
}

void SubtractBitmapSaturated(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y)
{
    SaturatedBitmap(Dest, Source, X, Y, true);
}

void DarkenGreyBitmap(TBitmap* Bitmap, Byte Amount)
{
    if (!Usable(Bitmap))
        return;
    const Integer Bpp = Bitmap->BytesPerPixel();
    for (Integer Y = 0; Y < Bitmap->Height(); ++Y) {
        Byte* P = Bitmap->ScanLine(Y);
        for (Integer X = 0; X < Bitmap->Width(); ++X, P += Bpp)
            P[0] = P[1] = P[2] = SubtractFloored(P[2], Amount);
    }
}

// --- fills -------------------------------------------------------------------

void FillRectGradient(TBitmap* Bitmap, const TRect& R, TColor Color1, Integer Direction, TColor Color2)
{
    if (!Usable(Bitmap))
        return;
    TRect Box;
    if (!RectIntersect(R, Rect(0, 0, Bitmap->Width(), Bitmap->Height()), Box))
        return;
    const TColor C1 = ColorToRGB(Color1), C2 = ColorToRGB(Color2);
    TOwnedPtr<TCanvas> Canvas(MakeOwned<TCanvas>(Bitmap));
    if (C1 == C2) {
        Canvas->Brush()->SetColor(C1);
        Canvas->FillRect(Box);
        return;
    }
    auto Vertex = [](Integer X, Integer Y, TColor C) {
        return TRIVERTEX { X, Y, Word(GetRValue(C) << 8), Word(GetGValue(C) << 8), Word(GetBValue(C) << 8), 0 };
    };
    const TRIVERTEX V[2] = { Vertex(Box.Left, Box.Top, C1), Vertex(Box.Right, Box.Bottom, C2) };
    const GRADIENT_RECT Mesh[1] = { { 0, 1 } };
    GradientFill(Canvas.get(), V, Mesh,
        Direction == 1 ? GRADIENT_FILL_RECT_V : (Direction == 0 ? GRADIENT_FILL_RECT_H : ~0u));
}

void FillBitmapGradient(TBitmap* Bitmap, TColor Color1, TColor Color2, Integer Direction)
{
    if (Bitmap)
        FillRectGradient(Bitmap, Rect(0, 0, Bitmap->Width(), Bitmap->Height()), Color1, Direction, Color2);
}

namespace {

void ChannelGradient(TBitmap* Bitmap, TXFotoPixel Pixel, float TXFotoPixel::*Channel, Integer Direction)
{
    TXFotoPixel Start = Pixel, End = Pixel;
    Start.*Channel = 255;
    End.*Channel = 0;
    FillBitmapGradient(Bitmap, FotoPixelToColor(Start), FotoPixelToColor(End), Direction);
}

void FillRow(Byte* Row, Integer From, Integer To, TColor Color)
{
    for (Integer X = From; X < To; ++X) {
        Row[size_t(X) * 3] = GetBValue(Color);
        Row[size_t(X) * 3 + 1] = GetGValue(Color);
        Row[size_t(X) * 3 + 2] = GetRValue(Color);
    }
}

void HslGradient(TBitmap* Bitmap, TXFotoPixel Pixel, float TXFotoPixel::*Channel, float Range, Integer Vertical)
{
    if (!Usable(Bitmap) || Bitmap->PixelFormat() == pf32bit)
        return;
    const Integer W = Bitmap->Width(), H = Bitmap->Height();
    auto ColorAt = [&](Integer K, Integer N) {
        TXFotoPixel Hsl = Pixel;
        Hsl.*Channel = float(K) * (Range / float(N - 1));
        return FotoPixelToColor(HSLToRGB(Hsl));
    };
    if (Vertical) {
        if (H - 1 == 0)
            return;
        for (Integer Y = 0; Y < H; ++Y)
            FillRow(Bitmap->ScanLine(Y), 0, W, ColorAt(Y, H));
        return;
    }
    if (W - 1 == 0)
        return;
    // One row computed once, copied into every row.
    std::vector<Byte> Row(size_t(W) * 3);
    for (Integer X = 0; X < W; ++X)
        FillRow(Row.data(), X, X + 1, ColorAt(X, W));
    for (Integer Y = 0; Y < H; ++Y)
        std::memcpy(Bitmap->ScanLine(Y), Row.data(), Row.size());
}

} // namespace

void FillRedGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction)
{
    ChannelGradient(Bitmap, Pixel, &TXFotoPixel::C3, Direction);
}

void FillGreenGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction)
{
    ChannelGradient(Bitmap, Pixel, &TXFotoPixel::C2, Direction);
}

void FillBlueGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Direction)
{
    ChannelGradient(Bitmap, Pixel, &TXFotoPixel::C1, Direction);
}

void FillHueGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical)
{
    HslGradient(Bitmap, Pixel, &TXFotoPixel::C1, 360, Vertical);
}

void FillSaturationGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical)
{
    HslGradient(Bitmap, Pixel, &TXFotoPixel::C2, 1, Vertical);
}

void FillLightnessGradient(TBitmap* Bitmap, const TXFotoPixel& Pixel, Integer Vertical)
{
    HslGradient(Bitmap, Pixel, &TXFotoPixel::C3, 1, Vertical);
}

void DrawLightnessRamp(TBitmap* Bitmap, Integer Width, Integer Height)
{
    if (!Bitmap)
        return;
    const bool Paint = Bitmap->PixelFormat() != pf32bit;
    Bitmap->SetPixelFormat(pf24bit);
    Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
    if (!Paint || Bitmap->Empty())
        return;
    for (Integer Y = 0; Y < Height; ++Y) {
        const TXFotoPixel Hsl { 0, 1.0f, float(Height - Y) / float(Height) };
        FillRow(Bitmap->ScanLine(Y), 0, Width, FotoPixelToColor(HSLToRGB(Hsl)));
    }
}

// --- metafiles -----------------------------------------------------------------

namespace {

inline Byte Channel(Cardinal V, int Shift)
{
    return Byte(V >> Shift);
}

// 255 - the ink's mean grey: the share of the pixel the ink covers.
Integer Coverage(Cardinal Ink)
{
    const Integer Sum = Channel(Ink, 0) + Channel(Ink, 8) + Channel(Ink, 16);
    return 255 - Integer(std::nearbyint(float(Sum) * 0.33333334f));
}

} // namespace

Byte InkAlpha(Cardinal Ink)
{
    const Byte B = Channel(Ink, 0), G = Channel(Ink, 8), R = Channel(Ink, 16);
    if (B == G && G == R)
        return Byte(255 - B);
    return Byte(Coverage(Ink));
}

Cardinal CoverageBlend(Cardinal Ink, Cardinal Dest, Cardinal Color)
{
    const Integer Cov = Coverage(Ink);
    Integer A = Channel(Dest, 24);
    if (A == 0)
        A = 255;
    Integer Weight, Alpha;
    if (A == 255) {
        Weight = Cov;
        Alpha = 255;
    } else if (A == Cov) {
        Weight = 127;
        Alpha = A;
    } else if (A > Cov) {
        Weight = Integer(std::nearbyint(double(Cov) * 127 / A));
        Alpha = A;
    } else {
        Weight = 255 - Integer(std::nearbyint(double(A) * 127 / Cov));
        Alpha = Cov;
    }
    Cardinal Out = Cardinal(Alpha) << 24;
    for (int Shift : { 0, 8, 16 })
        Out |= Cardinal(BlendByte(Channel(Color, Shift), Channel(Dest, Shift), Byte(Weight))) << Shift;
    return Out;
}

void DrawMetafileInColor(TBitmap* Dest, const TRect& R, TColor Color, TMetafile* Metafile)
{
    if (!Usable(Dest) || !Metafile || RectIsEmpty(R))
        return;
    // Only the part of Rect inside Dest is rendered.
    TRect Box;
    if (!RectIntersect(R, Rect(0, 0, Dest->Width(), Dest->Height()), Box))
        return;
    TOwnedPtr<TBitmap> Ink(MakeOwned<TBitmap>());
    Ink->SetPixelFormat(pf32bit);
    Ink->SetSize(Box.Width(), Box.Height());
    Ink->Fill(clWhite);
    Metafile->Draw(Ink.get(), Rect(R.Left - Box.Left, R.Top - Box.Top, R.Right - Box.Left, R.Bottom - Box.Top));
    const Cardinal Key = ColorToPixel(clFuchsia), C = ColorToPixel(Color);
    const Integer DB = Dest->BytesPerPixel();
    for (Integer Y = Box.Top; Y < Box.Bottom; ++Y) {
        const Byte* I = Ink->ScanLine(Y - Box.Top);
        Byte* D = Dest->ScanLine(Y) + size_t(Box.Left) * DB;
        for (Integer X = Box.Left; X < Box.Right; ++X, I += 4, D += DB) {
            const Cardinal IV = Cardinal(I[0]) | Cardinal(I[1]) << 8 | Cardinal(I[2]) << 16;
            if (IV == 0xFFFFFF)
                continue;
            Cardinal DV = Cardinal(D[0]) | Cardinal(D[1]) << 8 | Cardinal(D[2]) << 16;
            if (DB == 4)
                DV |= Cardinal(D[3]) << 24;
            Cardinal Out;
            if (IV == 0)
                Out = C;
            else if (DV == Key)
                Out = (C & 0xFFFFFF) | Cardinal(InkAlpha(IV)) << 24;
            else
                Out = CoverageBlend(IV, DV, C);
            D[0] = Channel(Out, 0);
            D[1] = Channel(Out, 8);
            D[2] = Channel(Out, 16);
            if (DB == 4)
                D[3] = Channel(Out, 24);
        }
    }
}

// --- rectangles and brushes ----------------------------------------------------

namespace {

Integer RoundToInteger(double V)
{
    return Integer(std::clamp(std::nearbyint(V), double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

TRect MapRect(const TRect& SourceFrame, const TRect& DestFrame, const TRect& R)
{
    if (SourceFrame == DestFrame)
        return R;
    TRect Out;
    const double SW = double(SourceFrame.Right) - SourceFrame.Left, SH = double(SourceFrame.Bottom) - SourceFrame.Top;
    if (SW == 0)
        return Out;
    const double SX = (double(DestFrame.Right) - DestFrame.Left) / SW;
    const Integer Left = RoundToInteger(SX * (double(R.Left) - SourceFrame.Left) + DestFrame.Left);
    const Integer Width = std::max(0, RoundToInteger(SX * (double(R.Right) - R.Left)));
    if (SH == 0)
        return Out;
    const double SY = (double(DestFrame.Bottom) - DestFrame.Top) / SH;
    const Integer Top = RoundToInteger((double(R.Top) - SourceFrame.Top) * SY + DestFrame.Top);
    const Integer Height = std::max(0, RoundToInteger(SY * (double(R.Bottom) - R.Top)));
    return Rect(Left, Top, RoundToInteger(double(Left) + Width), RoundToInteger(double(Top) + Height));
}

void MapRectClipped(const TRect& SourceFrame, const TRect& DestFrame, const TRect& R, TRect& Clipped, TRect& Mapped)
{
    Mapped = {};
    if (SourceFrame.Right < R.Left || SourceFrame.Bottom < R.Top)
        return;
    TRect Cut = R;
    Cut.Right = std::min(Cut.Right, SourceFrame.Right);
    Cut.Bottom = std::min(Cut.Bottom, SourceFrame.Bottom);
    Clipped = Cut;
    const double DW = double(DestFrame.Right) - DestFrame.Left, DH = double(DestFrame.Bottom) - DestFrame.Top;
    TRect M = MapRect(SourceFrame, DestFrame, Cut);
    if (RectIsEmpty(M) || DW == 0 || DH == 0)
        return;
    const double SW = double(SourceFrame.Right) - SourceFrame.Left, SH = double(SourceFrame.Bottom) - SourceFrame.Top;
    if (M.Left < 0) {
        M.Left = 0;
        Clipped.Left = RoundToInteger(SourceFrame.Left - std::nearbyint(DestFrame.Left * SW / DW));
    }
    if (M.Top < 0) {
        M.Top = 0;
        Clipped.Top = RoundToInteger(SourceFrame.Top - std::nearbyint(DestFrame.Top * SH / DH));
    }
    Mapped = M;
}

namespace {

TOwnedPtr<TBrush> GChecker;

void InitPixels()
{
    GChecker = MakeOwned<TBrush>();
    InitCheckerBrush(clSilver, clGray);
}

void DonePixels()
{
    GChecker.reset();
}

X_UNIT(XMedia_Pixels, "XMedia.Pixels", { "XMedia.Resample" }, &InitPixels, &DonePixels)

} // namespace

TBrush* XCheckerBrush()
{
    X_VERIFY(GChecker, "the pixel unit is not initialised");
    return GChecker.get();
}

void InitCheckerBrush(TColor Color1, TColor Color2)
{
    TOwnedPtr<TBitmap> Pattern(MakeOwned<TBitmap>());
    Pattern->SetSize(8, 8);
    Pattern->Fill(ColorToRGB(Color1));
    Pattern->FillRect(Rect(4, 0, 8, 4), ColorToRGB(Color2));
    Pattern->FillRect(Rect(0, 4, 4, 8), ColorToRGB(Color2));
    XCheckerBrush()->SetBitmap(Pattern.get());
}

void DrawCrossedBox(TCanvas* Canvas, const TRect& R)
{
    if (!Canvas)
        return;
    Canvas->Brush()->SetColor(clWhite);
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Pen()->SetWidth(10);
    Canvas->Rectangle(R);
    Canvas->MoveTo(R.Left, R.Top);
    Canvas->LineTo(R.Right, R.Bottom);
    Canvas->MoveTo(R.Left, R.Bottom);
    Canvas->LineTo(R.Right, R.Top);
}
