#include "graphics/XMedia.Drawing.h"
#include "gdi/Icon.h"
#include "gdi/JpegImage.h"
#include "gdi/Metafile.h"
#include "gdi/Picture.h"
#include "graphics/XMedia.Converters.h"
#include "graphics/XMedia.Pixels.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

Integer Clamp32(Int64 V)
{
    return Integer(std::clamp<Int64>(V, INT32_MIN, INT32_MAX));
}

// N / D rounded, halves to the even neighbour; D > 0, N >= 0.
Int64 RoundDiv(Int64 N, Int64 D)
{
    const Int64 Q = N / D, R = N % D;
    if (2 * R > D || (2 * R == D && (Q & 1)))
        return Q + 1;
    return Q;
}

Int64 Width64(const TRect& R)
{
    return std::max<Int64>(0, Int64(R.Right) - R.Left);
}
Int64 Height64(const TRect& R)
{
    return std::max<Int64>(0, Int64(R.Bottom) - R.Top);
}

// The rectangle of W x H centred in R (offsets truncated towards zero).
TRect Centred(const TRect& R, Int64 W, Int64 H)
{
    const Int64 X = R.Left + (Width64(R) - W) / 2, Y = R.Top + (Height64(R) - H) / 2;
    return Rect(Clamp32(X), Clamp32(Y), Clamp32(X + W), Clamp32(Y + H));
}

// What the canvas may show of R: R met with the clip and the bitmap.
TRect Visible(TCanvas* Canvas, const TRect& R)
{
    const TRect B = Canvas->Bounds();
    const TRect V = Rect(std::max(B.Left, R.Left), std::max(B.Top, R.Top), std::min(B.Right, R.Right),
        std::min(B.Bottom, R.Bottom));
    return V.IsEmpty() ? TRect {} : V;
}

bool Drawable(TGraphic* Graphic)
{
    return Graphic && !Graphic->Empty() && Graphic->Width() > 0 && Graphic->Height() > 0;
}

// Resampling targets beyond this side use the plain stretch: a weight
// table as wide as the target would cost more than the pixels shown.
constexpr Int64 MaxResampleSide = 4 * Int64(MaxGraphicSide);

// The picture's pixels as a bitmap the resampler reads directly: a bitmap
// itself, a JPEG's decoded pixels, else the picture drawn at its own size.
const TBitmap* PixelsOf(TGraphic* Graphic, TOwnedPtr<TBitmap>& Made)
{
    if (auto* Bmp = DynamicCast<TBitmap>(Graphic))
        return Bmp;
    if (auto* Jpeg = DynamicCast<TJPEGImage>(Graphic))
        if (const TBitmap* Decoded = Jpeg->Bitmap())
            return Decoded;
    Made = MakeOwned<TBitmap>();
    Made->SetPixelFormat(pf32bit);
    Made->SetSize(Graphic->Width(), Graphic->Height());
    Graphic->Draw(Made.get(), Rect(0, 0, Graphic->Width(), Graphic->Height()));
    return Made.get();
}

// The stored picture as a graphic of its class; null when it has no data,
// no class or does not decode.
TOwnedPtr<TGraphic> GraphicOf(TXImageObject* Object)
{
    if (!Object || !Object->DataStream() || Object->DataStream()->Size() <= 0 || Object->DataClass().empty())
        return {};
    TOwnedPtr<TPicture> Picture(MakeOwned<TPicture>());
    IPtr<IXObjectConverter<TPicture*>>(New<TXImageObjectToPictureConverter>(Object))->Convert(Picture.get());
    if (!Picture->Graphic())
        return {};
    TOwnedPtr<TGraphic> G(NewGraphic(Picture->Graphic()->ClassType()));
    G->Assign(Picture->Graphic());
    return G;
}

void DrawIconBytes(TCanvas* Canvas, const TRect& R, TXImageObject* Object)
{
    DrawIconStream(Canvas, R, Object->DataStream());
}

} // namespace

void StretchDrawResampled(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    const Int64 W = Width64(R), H = Height64(R);
    if (!Canvas || !Drawable(Graphic) || W == 0 || H == 0)
        return;
    // A metafile replays its calls at any size: drawn at its frame's size to
    // be resampled, 24 bytes declaring 10000 x 10000 took 400 MB for a
    // thumbnail.
    if (!Kernel || (W == Graphic->Width() && H == Graphic->Height()) || W > MaxResampleSide || H > MaxResampleSide ||
        DynamicCast<TMetafile>(Graphic)) {
        Canvas->StretchDraw(R, Graphic);
        return;
    }
    // Only what the clip shows is resampled.
    const TRect V = Visible(Canvas, R);
    if (V.IsEmpty())
        return;
    const TRect Window = Rect(V.Left - R.Left, V.Top - R.Top, V.Right - R.Left, V.Bottom - R.Top);
    auto* Png = DynamicCast<TPngImage>(Graphic);
    if (Png && Png->TransparencyMode() != ptmNone) {
        TOwnedPtr<TPngImage> Part(MakeOwned<TPngImage>());
        LanczosResamplePngWindow(Png, Part.get(), Integer(W), Integer(H), Kernel, Window);
        Canvas->Draw(V.Left, V.Top, Part.get());
        return;
    }
    TOwnedPtr<TBitmap> Part(MakeOwned<TBitmap>());
    // A JPEG picture not yet decoded is read row by row as it is resampled.
    auto* Jpeg = DynamicCast<TJPEGImage>(Graphic);
    if (Jpeg && !Jpeg->Decoded()) {
        ResampleJPEGWindow(Jpeg, Part.get(), Integer(W), Integer(H), Window);
    } else {
        TOwnedPtr<TBitmap> Made;
        ResampleBitmapWindow(PixelsOf(Graphic, Made), Part.get(), Integer(W), Integer(H), Window);
    }
    Canvas->Draw(V.Left, V.Top, Part.get());
}

void DrawGraphicBestFit(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    if (!Drawable(Graphic))
        return;
    Integer W = 0, H = 0;
    CalcBestFitSize(W, H, Graphic->Width(), Graphic->Height(), Clamp32(Width64(R)), Clamp32(Height64(R)));
    StretchDrawResampled(Canvas, Centred(R, W, H), Graphic, Kernel);
}

void DrawGraphicDownScaledBestFit(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    if (!Drawable(Graphic))
        return;
    Integer W = 0, H = 0;
    CalcDownScaledBestFitSize(W, H, Graphic->Width(), Graphic->Height(), Clamp32(Width64(R)), Clamp32(Height64(R)));
    StretchDrawResampled(Canvas, Centred(R, W, H), Graphic, Kernel);
}

void DrawGraphicFitWidth(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    if (!Drawable(Graphic))
        return;
    const Int64 W = Width64(R);
    StretchDrawResampled(Canvas, Centred(R, W, RoundDiv(W * Graphic->Height(), Graphic->Width())), Graphic, Kernel);
}

void DrawGraphicFitHeight(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    if (!Drawable(Graphic))
        return;
    const Int64 H = Height64(R);
    StretchDrawResampled(Canvas, Centred(R, RoundDiv(H * Graphic->Width(), Graphic->Height()), H), Graphic, Kernel);
}

namespace {

// The covering size of a SW x SH picture for R; DownScaled keeps the
// natural size along the deciding side where the picture is smaller.
// Empty rectangles and pictures give false.
bool CoverSize(const TRect& R, Int64 SW, Int64 SH, bool DownScaled, Int64& W, Int64& H)
{
    const Int64 RW = Width64(R), RH = Height64(R);
    if (RW <= 0 || RH <= 0 || SW <= 0 || SH <= 0)
        return false;
    // RW / RH >= SW / SH, by cross products.
    if (RW * SH >= SW * RH) {
        if (DownScaled && SW < RW) {
            W = SW;
            H = SH;
        } else {
            W = RW;
            H = RoundDiv(RW * SH, SW);
        }
    } else if (DownScaled && SH < RH) {
        W = SW;
        H = SH;
    } else {
        H = RH;
        W = RoundDiv(RH * SW, SH);
    }
    return true;
}

} // namespace

void DrawGraphicCenter(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    Int64 W = 0, H = 0;
    if (Drawable(Graphic) && CoverSize(R, Graphic->Width(), Graphic->Height(), false, W, H))
        StretchDrawResampled(Canvas, Centred(R, W, H), Graphic, Kernel);
}

void DrawGraphicDownScaledCenter(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    Int64 W = 0, H = 0;
    if (Drawable(Graphic) && CoverSize(R, Graphic->Width(), Graphic->Height(), true, W, H))
        StretchDrawResampled(Canvas, Centred(R, W, H), Graphic, Kernel);
}

namespace {

// Tiles of TW x TH from R's top-left, each drawn by Cell, over the part of
// R the canvas shows: one strip of tiles is made, then copied down.
template<class F>
void Tile(TCanvas* Canvas, const TRect& R, Int64 TW, Int64 TH, F&& Cell)
{
    const TRect V = Visible(Canvas, R);
    if (V.IsEmpty())
        return;
    // The strip starts at the first tile column the visible part touches.
    const Int64 Left = R.Left + (Int64(V.Left) - R.Left) / TW * TW;
    const Int64 StripH = std::min<Int64>(TH, Height64(R));
    TOwnedPtr<TBitmap> Strip(MakeOwned<TBitmap>());
    Strip->SetSize(Integer(V.Right - Left), Integer(StripH));
    Strip->Canvas()->Brush()->Assign(Canvas->Brush());
    Strip->Canvas()->FillRect(Rect(0, 0, Strip->Width(), Strip->Height()));
    for (Int64 X = 0; X < Strip->Width(); X += TW)
        Cell(Strip->Canvas(), Rect(Integer(X), 0, Clamp32(X + TW), Clamp32(TH)));
    // Copied down every tile height, rows outside the visible part skipped.
    const Int64 FirstRow = R.Top + (Int64(V.Top) - R.Top) / TH * TH;
    for (Int64 Y = FirstRow; Y < V.Bottom; Y += TH) {
        const Int64 Rows = std::min<Int64>(StripH, Int64(R.Bottom) - Y);
        const TRect D = Rect(Integer(Left), Integer(Y), Integer(V.Right), Integer(Y + Rows));
        Canvas->CopyRect(D, Strip->Canvas(), Rect(0, 0, Strip->Width(), Integer(Rows)));
    }
}

} // namespace

void DrawGraphicTile(TCanvas* Canvas, const TRect& R, TGraphic* Graphic)
{
    if (!Drawable(Graphic))
        return;
    Tile(Canvas, R, Graphic->Width(), Graphic->Height(),
        [&](TCanvas* Strip, const TRect& Cell) { Strip->Draw(Cell.Left, Cell.Top, Graphic); });
}

void DrawGraphicTileSized(TCanvas* Canvas, const TRect& R, TGraphic* Graphic, Integer TileHeight, Integer TileWidth)
{
    // A tile side of 0 or less would never end the tiling.
    if (!Drawable(Graphic) || TileHeight <= 0 || TileWidth <= 0) {
        Canvas->FillRect(R);
        return;
    }
    Tile(Canvas, R, TileWidth, TileHeight,
        [&](TCanvas* Strip, const TRect& Cell) { Strip->StretchDraw(Cell, Graphic); });
}

void DrawImageObjectStretch(TCanvas* Canvas, const TRect& R, TXImageObject* Object, const TXFilterKernel* Kernel)
{
    if (Object && Object->IsIcon()) {
        DrawIconBytes(Canvas, R, Object);
        return;
    }
    if (TOwnedPtr<TGraphic> G = GraphicOf(Object))
        StretchDrawResampled(Canvas, R, G.get(), Kernel);
}

void DrawImageObjectDownScaledBestFit(TCanvas* Canvas, const TRect& R, TXImageObject* Object,
    const TXFilterKernel* Kernel)
{
    TOwnedPtr<TGraphic> G = GraphicOf(Object);
    DrawGraphicDownScaledBestFit(Canvas, R, G.get(), Kernel);
}

void DrawImageObjectCenter(TCanvas* Canvas, const TRect& R, TXImageObject* Object, const TXFilterKernel* Kernel)
{
    Canvas->FillRect(R);
    Int64 W = 0, H = 0;
    if (!Object || !CoverSize(R, Object->Width(), Object->Height(), false, W, H))
        return;
    if (TOwnedPtr<TGraphic> G = GraphicOf(Object))
        StretchDrawResampled(Canvas, Centred(R, W, H), G.get(), Kernel);
}

void DrawImageObjectDownScaledFramed(TCanvas* Canvas, const TRect& R, TXImageObject* Object,
    const TXFilterKernel* Kernel, TColor BottomRightColor, TColor TopLeftColor)
{
    Canvas->FillRect(R);
    TOwnedPtr<TGraphic> G = GraphicOf(Object);
    if (!G || !Drawable(G.get()))
        return;
    const TXSize Stored = StoredDrawSize(Object, G.get());
    const TRect Inner = Rect(Clamp32(Int64(R.Left) + 2), Clamp32(Int64(R.Top) + 2), Clamp32(Int64(R.Right) - 2),
        Clamp32(Int64(R.Bottom) - 2));
    Integer W = 0, H = 0;
    CalcDownScaledBestFitSize(W, H, Stored.Width, Stored.Height, Clamp32(Width64(Inner)), Clamp32(Height64(Inner)));
    if (W <= 0 || H <= 0)
        return;
    const TRect P = Centred(Inner, W, H);
    DrawBevelFrame(Canvas, Rect(P.Left - 1, P.Top - 1, P.Right + 1, P.Bottom + 1), TopLeftColor, BottomRightColor);
    StretchDrawResampled(Canvas, P, G.get(), Kernel);
}

void DrawGraphicThumbnail(TBitmap* Bitmap, Integer Width, Integer Height, const TXFilterKernel* Kernel,
    TGraphic* Graphic)
{
    if (!Bitmap)
        return;
    Bitmap->SetSize(std::max(Width, 0), std::max(Height, 0));
    DrawGraphicDownScaledBestFit(Bitmap->Canvas(), Rect(0, 0, Bitmap->Width(), Bitmap->Height()), Graphic, Kernel);
}

void DrawImageObjectAt(TCanvas* Canvas, Integer X, Integer Y, TXImageObject* Object)
{
    if (!Object)
        return;
    if (Object->IsIcon()) {
        // At the stored size; the icon's own when none is stored.
        const Int64 W = std::max(0, Object->Width()), H = std::max(0, Object->Height());
        DrawIconBytes(Canvas, Rect(X, Y, Clamp32(X + W), Clamp32(Y + H)), Object);
        return;
    }
    if (TOwnedPtr<TGraphic> G = GraphicOf(Object))
        Canvas->Draw(X, Y, G.get());
}

void DrawImageObjectPart(TCanvas* Canvas, const TRect& DestRect, const TRect& SourceRect, TXImageObject* Object)
{
    if (!Object)
        return;
    if (Object->IsIcon()) {
        DrawIconBytes(Canvas, DestRect, Object);
        return;
    }
    if (!Object->DataStream() || Object->DataStream()->Size() <= 0 || Object->DataClass().empty())
        return;
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    IPtr<IXObjectConverter<TBitmap*>>(New<TXImageObjectToBitmapConverter>(Object))->Convert(Bmp.get());
    if (Bmp->Empty() || SourceRect.IsEmpty() || DestRect.IsEmpty())
        return;
    Bmp->SetPixelFormat(pf32bit);
    // The source part cut to the picture, the target cut alike.
    const TRect Inside = Rect(std::max(SourceRect.Left, 0), std::max(SourceRect.Top, 0),
        std::min(SourceRect.Right, Bmp->Width()), std::min(SourceRect.Bottom, Bmp->Height()));
    if (Inside.IsEmpty())
        return;
    const TRect Dest = Inside == SourceRect ? DestRect : MapRect(SourceRect, DestRect, Inside);
    Canvas->CopyRect(Dest, Bmp->Canvas(), Inside);
}

void DrawImageObjectOpacity(TCanvas* Canvas, const TRect& R, Byte Opacity, const TXFilterKernel* Kernel,
    TXImageObject* Object)
{
    if (!Object || !Object->DataStream() || Object->DataStream()->Size() <= 0 || Object->DataClass().empty())
        return;
    if (Object->IsIcon()) {
        DrawIconBytes(Canvas, R, Object);
        return;
    }
    TOwnedPtr<TGraphic> G = GraphicOf(Object);
    if (!G)
        return;
    if (auto* Png = DynamicCast<TPngImage>(G.get()))
        ApplyPngOpacity(Png, Opacity);
    StretchDrawResampled(Canvas, R, G.get(), Kernel);
}

TXImageObject* ItemPicture(TXImageItem* Item)
{
    if (!Item)
        return nullptr;
    if (auto* Thn = DynamicCast<TXThnImageItem>(Item); Thn && Thn->Thn() && !Thn->Thn()->IsEmpty())
        return Thn->Thn();
    return Item->ImageData();
}

void DrawImageItemDownScaled(TCanvas* Canvas, const TRect& R, TXImageItem* Item, const TXFilterKernel* Kernel)
{
    DrawImageObjectDownScaledBestFit(Canvas, R, ItemPicture(Item), Kernel);
}

void DrawImageItemStretch(TCanvas* Canvas, const TRect& R, TXImageItem* Item, const TXFilterKernel* Kernel)
{
    DrawImageObjectStretch(Canvas, R, ItemPicture(Item), Kernel);
}

void DrawIconStream(TCanvas* Canvas, const TRect& R, TStream* Stream)
{
    // As much as an icon file may hold; anything larger is no icon here.
    constexpr Int64 MaxIconBytes = 64 << 20;
    if (!Canvas || !Stream)
        return;
    const Int64 Size = Stream->Size();
    if (Size <= 0 || Size > MaxIconBytes)
        return;
    std::vector<Byte> Bytes(static_cast<size_t>(Size));
    Stream->SetPosition(0);
    Bytes.resize(size_t(Stream->Read(Bytes.data(), Size)));
    DrawIconData(Canvas, R, Bytes);
}

void ApplyPngOpacity(TPngImage* Png, Byte Opacity)
{
    if (!Png || Png->Empty())
        return;
    // a x (Opacity + 1) / 256, halves to the even neighbour.
    auto Scale = [Opacity](unsigned A) { return Byte(RoundDiv(Int64(A) * (Opacity + 1), 256)); };
    const Integer W = Png->Width(), H = Png->Height();
    const Byte Type = Png->ColorType();
    if (Type == COLOR_GRAYSCALE || Type == COLOR_PALETTE) {
        // Rebuilt with an alpha channel. A pixel the transparency made see-
        // through, wholly or in part, keeps that share, scaled.
        TOwnedPtr<TPngImage> Rgba(MakeOwned<TPngImage>());
        Rgba->CreateBlank(COLOR_RGBALPHA, 8, W, H);
        for (Integer Y = 0; Y < H; ++Y) {
            std::memcpy(Rgba->Scanline(Y), Png->Scanline(Y), size_t(W) * 3);
            const Byte* Old = Png->AlphaScanline(Y);
            Byte* A = Rgba->AlphaScanline(Y);
            for (Integer X = 0; X < W; ++X)
                A[X] = Old && Old[X] < 255 ? Scale(Old[X]) : Opacity;
        }
        Png->Assign(Rgba.get());
        return;
    }
    if (!Png->HasAlpha())
        Png->CreateAlpha();
    for (Integer Y = 0; Y < H; ++Y) {
        Byte* A = Png->AlphaScanline(Y);
        if (!A)
            continue;
        for (Integer X = 0; X < W; ++X)
            A[X] = Scale(A[X]);
    }
}

void FillBitmap(TBitmap* Bitmap, TColor Color)
{
    if (Bitmap)
        Bitmap->Fill(Color);
}

void CopyBitmap(TBitmap* Dest, TBitmap* Source)
{
    if (Dest && Source && Dest != Source)
        Dest->Assign(Source);
}

void DrawBitmapWrapped(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y)
{
    if (!Dest || !Source || Dest->Empty() || Source->Empty())
        return;
    const Int64 DW = Dest->Width(), DH = Dest->Height(), SW = Source->Width(), SH = Source->Height();
    // Each piece: the source columns and rows that fall on one side of the
    // origin, shifted by the bitmap's width and/or height.
    for (int Across = 0; Across < 2; ++Across)
        for (int Down = 0; Down < 2; ++Down) {
            if ((Across && X >= 0) || (Down && Y >= 0))
                continue;
            // Source columns left of Dest's origin (-X of them) wrap; the
            // others stay.
            const Int64 SX1 = Across ? 0 : std::max<Int64>(0, -Int64(X)),
                        SX2 = Across ? std::min<Int64>(SW, -Int64(X)) : SW;
            const Int64 SY1 = Down ? 0 : std::max<Int64>(0, -Int64(Y)),
                        SY2 = Down ? std::min<Int64>(SH, -Int64(Y)) : SH;
            if (SX1 >= SX2 || SY1 >= SY2)
                continue;
            const Int64 DX = X + SX1 + (Across ? DW : 0), DY = Y + SY1 + (Down ? DH : 0);
            const Int64 W = std::min(SX2 - SX1, DW - DX), H = std::min(SY2 - SY1, DH - DY);
            if (W <= 0 || H <= 0 || DX < 0 || DY < 0)
                continue;
            Dest->Canvas()->CopyRect(Rect(Integer(DX), Integer(DY), Integer(DX + W), Integer(DY + H)), Source->Canvas(),
                Rect(Integer(SX1), Integer(SY1), Integer(SX1 + W), Integer(SY1 + H)));
        }
}

void DrawTextAt(TCanvas* Canvas, Integer X, Integer Y, TFontQuality Quality, const String& Text)
{
    Canvas->Brush()->SetStyle(bsClear);
    const TFontQuality Old = Canvas->Font()->Quality();
    Canvas->Font()->SetQuality(Quality);
    Canvas->TextOut(X, Y, Text);
    Canvas->Font()->SetQuality(Old);
}

void DrawTextInRect(TCanvas* Canvas, const TRect& R, const String& Text, TRect& OutRect, bool CalcOnly,
    TFontQuality Quality, TXEllipsis Ellipsis, bool RightToLeft, TAlignment Alignment, Integer Layout)
{
    Canvas->Brush()->SetStyle(bsClear);
    OutRect = R;
    Cardinal Format = DT_NOPREFIX | DT_EXPANDTABS | DT_EXTERNALLEADING;
    switch (Layout) {
    case 0: Format |= DT_SINGLELINE | DT_TOP; break;
    case 1: Format |= DT_SINGLELINE | DT_BOTTOM; break;
    case 2: Format |= DT_SINGLELINE | DT_VCENTER; break;
    default: Format |= DT_WORDBREAK | DT_TOP; break;
    }
    switch (Ellipsis) {
    case xepPathEllipsis: Format |= DT_PATH_ELLIPSIS; break;
    case xepEndEllipsis: Format |= DT_END_ELLIPSIS; break;
    case xepWordEllipsis: Format |= DT_WORD_ELLIPSIS; break;
    default: break;
    }
    TAlignment A = Alignment;
    if (RightToLeft) {
        if (A == taLeftJustify)
            A = taRightJustify;
        else if (A == taRightJustify)
            A = taLeftJustify;
        Format |= DT_RTLREADING;
    }
    Format |= A == taRightJustify ? DT_RIGHT : A == taCenter ? DT_CENTER : DT_LEFT;
    if (CalcOnly) {
        Canvas->DrawText(Text, OutRect, Format | DT_CALCRECT);
        return;
    }
    const TFontQuality Old = Canvas->Font()->Quality();
    if (Old != Quality)
        Canvas->Font()->SetQuality(Quality);
    Canvas->DrawText(Text, OutRect, Format);
    if (Old != Quality)
        Canvas->Font()->SetQuality(Old);
}

void DrawBevelFrame(TCanvas* Canvas, const TRect& R, TColor TopLeftColor, TColor BottomRightColor)
{
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetWidth(1);
    Canvas->Pen()->SetColor(TopLeftColor);
    const TPoint TopLeft[3] = { { R.Left, R.Bottom - 1 }, { R.Left, R.Top }, { R.Right - 1, R.Top } };
    Canvas->Polyline(TopLeft);
    Canvas->Pen()->SetColor(BottomRightColor);
    const TPoint BottomRight[3] = { { R.Right - 1, R.Top }, { R.Right - 1, R.Bottom - 1 }, { R.Left, R.Bottom - 1 } };
    Canvas->Polyline(BottomRight);
}

void DrawDividerLine(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TColor LowerColor,
    TColor UpperColor)
{
    Canvas->Pen()->SetColor(UpperColor);
    Canvas->MoveTo(X1, Y1);
    Canvas->LineTo(X2, Y2);
    if (LowerColor != UpperColor) {
        Canvas->Pen()->SetColor(LowerColor);
        Canvas->MoveTo(X1, Y1 + 1);
        Canvas->LineTo(X2, Y2 + 1);
    }
}

namespace {

void FillTriangle(TBitmap* Bitmap, TColor Color, TPoint A, TPoint B, TPoint C)
{
    if (!Bitmap)
        return;
    TCanvas* Canvas = Bitmap->Canvas();
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->Pen()->SetWidth(1);
    Canvas->Pen()->SetColor(Color);
    Canvas->Brush()->SetColor(Color);
    const TPoint P[3] = { A, B, C };
    Canvas->Polygon(P);
}

} // namespace

void FillHStripCornerBottomLeft(TBitmap* B, TColor Color)
{
    const Integer H = B ? B->Height() : 0;
    FillTriangle(B, Color, { 0, 0 }, { 0, H - 1 }, { H - 1, H - 1 });
}

void FillHStripCornerBottomRight(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0, H = B ? B->Height() : 0;
    FillTriangle(B, Color, { W - 1, 0 }, { W - 1, H }, { W - H - 1, H });
}

void FillHStripCornerTopLeft(TBitmap* B, TColor Color)
{
    const Integer H = B ? B->Height() : 0;
    FillTriangle(B, Color, { 0, 0 }, { H - 1, 0 }, { 0, H - 1 });
}

void FillHStripCornerTopRight(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0, H = B ? B->Height() : 0;
    FillTriangle(B, Color, { W - H, 0 }, { W, 0 }, { W, H });
}

void FillVStripCornerTopRight(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0;
    FillTriangle(B, Color, { 1, 0 }, { W - 1, 0 }, { W - 1, W - 2 });
}

void FillVStripCornerTopLeft(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0;
    FillTriangle(B, Color, { 0, 0 }, { W - 2, 0 }, { 0, W - 2 });
}

void FillVStripCornerBottomRight(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0, H = B ? B->Height() : 0;
    FillTriangle(B, Color, { W, H - W }, { W, H }, { 0, H });
}

void FillVStripCornerBottomLeft(TBitmap* B, TColor Color)
{
    const Integer W = B ? B->Width() : 0, H = B ? B->Height() : 0;
    FillTriangle(B, Color, { 0, H - W + 1 }, { W - 1, H }, { 0, H });
}
