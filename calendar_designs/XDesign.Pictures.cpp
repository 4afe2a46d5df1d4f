#include "calendar_designs/XDesign.Pictures.h"
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.Types.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"
#include <cmath>
#include <numbers>
#include <vector>

X_REGISTER_CLASS(TXDImageItem)
X_REGISTER_CLASS(TXDBgItem)
X_REGISTER_CLASS(TXDLiveImageItem)
X_REGISTER_CLASS(TXDShapeItem)

X_PUBLISHED(TXDImageItem)
{
    using namespace XDesignProps;
    X_PROP(AutoSize, AutoSize, SetAutoSize).Default(false);
    X_PROP(ImageStyle, ImageStyle, SetImageStyle).Default(isFlat);
    Byte_(D, u"BlendContrast", 150).Default(0);
    Str(D, u"Copyright", 150);
}

X_PUBLISHED(TXDBgItem) { }

X_PUBLISHED(TXDLiveImageItem)
{
    X_PROP_READONLY(Hit, Hit);
}

X_PUBLISHED(TXDShapeItem)
{
    X_PROP(ShapeType, ShapeType, SetShapeType).Default(stRectangle);
}

// ---- TXDImageItem ----

void TXDImageItem::Init()
{
    inherited::Init();
    FImagePosition = ipStretch;
}

void TXDImageItem::SetAutoSize(bool Value)
{
    FAutoSize = Value;
    if (!Value)
        return;
    FInt[dipWidth] = std::max(FImage->Width(), 0);
    FInt[dipHeight] = std::max(FImage->Height(), 0);
    GeometryChanged(true);
}

void TXDImageItem::SetImageStyle(TXDImageStyle Value)
{
    if (FImageStyle == Value)
        return;
    FImageStyle = Value;
    LookChanged();
}

void TXDImageItem::SetByteProp(Integer Index, Byte Value)
{
    if (Index != 150)
        return inherited::SetByteProp(Index, Value);
    if (FBlendContrast == Value)
        return;
    FBlendContrast = Value;
    LookChanged();
}

Byte TXDImageItem::GetByteProp(Integer Index) const
{
    return Index == 150 ? FBlendContrast : inherited::GetByteProp(Index);
}

void TXDImageItem::SetStrProp(Integer Index, const String& Value)
{
    if (Index != 150)
        return inherited::SetStrProp(Index, Value);
    if (FCopyright == Value)
        return;
    FCopyright = Value;
    LookChanged();
}

String TXDImageItem::GetStrProp(Integer Index) const
{
    return Index == 150 ? FCopyright : inherited::GetStrProp(Index);
}

void TXDImageItem::Scale(Integer DPI, Integer ImageDPI)
{
    inherited::Scale(DPI, ImageDPI);
    if (FAutoSize && DPI != 0) {
        // The stored picture size counts as 140 dots per inch.
        BaseWidth = SaturateToInteger(double(FImage->Width()) * DPI / 140);
        BaseHeight = SaturateToInteger(double(FImage->Height()) * DPI / 140);
        ResetSize();
    }
    if (FImageStyle != isFlat) {
        FUnderlayInLayer = true;
        BlendDepth = DPI == 0 ? 1 : std::max(HiMetricToPixels(Word(std::clamp(DPI, 0, 65535)), 7), 1);
        PixWidth = SaturateToInteger(Int64(PixWidth) + BlendDepth);
        PixHeight = SaturateToInteger(Int64(PixHeight) + BlendDepth);
    } else if (FBgColor == clNone)
        FUnderlayInLayer = true;
    CreditFontHeight = DPI == 0 ? 12 : HiMetricToPixels(Word(std::clamp(DPI, 0, 65535)), 25);
}

void TXDImageItem::PaintBackground(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    const TRect R = Rect(0, 0, PixWidth, PixHeight);
    if (Flags & dpfPlaceholders)
        DrawCrossedBox(Bitmap->Canvas(), R);
    PaintShadow(Bitmap, R);
    PaintBorder(Bitmap, R, Flags, Key);
}

void TXDImageItem::PaintEmbossed(TBitmap* Bitmap, Cardinal Flags)
{
    const Integer W = PixWidth - BlendDepth, H = PixHeight - BlendDepth;
    if (W <= 0 || H <= 0 || FImage->IsEmpty())
        return;
    TOwnedPtr<TBitmap> Grey = MakeOwned<TBitmap>();
    Grey->SetPixelFormat(Flags & dpf24Bit ? pf24bit : pf32bit);
    Grey->SetSize(W, H);
    Grey->Fill(0);
    try {
        if (FImage->Width() == W)
            DrawImageObjectAt(Grey->Canvas(), 0, 0, FImage.get());
        else
            DrawImageObjectStretch(Grey->Canvas(), Rect(0, 0, W, H), FImage.get(), FPage ? FPage->Kernel() : nullptr);
    } catch (const Exception&) {
        return; // a picture that does not decode embosses nothing
    }
    DarkenGreyBitmap(Grey.get(), Byte(255 - std::min(50 + FBlendContrast, 255)));
    if (FImageStyle == isBlendLowered) {
        SubtractBitmapSaturated(Bitmap, Grey.get(), 0, 0);
        AddBitmapSaturated(Bitmap, Grey.get(), BlendDepth, BlendDepth);
    } else {
        SubtractBitmapSaturated(Bitmap, Grey.get(), BlendDepth, BlendDepth);
        AddBitmapSaturated(Bitmap, Grey.get(), 0, 0);
    }
}

void TXDImageItem::PaintCredit(TBitmap* Bitmap)
{
    const Integer B = PixBorderWidth, h = CreditFontHeight;
    const Integer c = B + BaseHeight - 2 * h;
    TCanvas* C = Bitmap->Canvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(0);
    C->FillRect(Rect(B, c, B + BaseWidth, c + 2 * h));
    C->Brush()->SetStyle(bsClear);
    C->Font()->SetName(u"Arial");
    C->Font()->SetHeight(-h);
    C->Font()->SetColor(0xFFFFFF);
    TRect Out;
    DrawTextInRect(C, Rect(B, c + h / 2, B + BaseWidth, c + 2 * h), FCopyright, Out, false, fqAntialiased, xepNone,
        false, taCenter, 0);
}

void TXDImageItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    const TRect R = Rect(0, 0, PixWidth, PixHeight);
    if (Flags & dpfPlaceholders) {
        DrawCrossedBox(Bitmap->Canvas(), R);
        return;
    }
    if (FImageStyle == isFlat)
        PaintFillAndPicture(Bitmap, R, Flags, Key);
    else
        PaintEmbossed(Bitmap, Flags);
    if (FBorderStyle == bsBlendLowered || FBorderStyle == bsBlendRaised)
        PaintBorder(Bitmap, R, Flags, Key);
    if (!FCopyright.empty())
        PaintCredit(Bitmap);
}

void TXDImageItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDImageItem>(Source)) {
        FImageStyle = Other->FImageStyle;
        FBlendContrast = Other->FBlendContrast;
        FCopyright = Other->FCopyright;
    }
    inherited::CopyFrom(Source);
    if (FAutoSize)
        SetAutoSize(true);
    else
        Changed();
}

// ---- TXDBgItem ----

void TXDBgItem::Init()
{
    inherited::Init();
    FFullPage = true;
    FImagePosition = ipColorOnly;
}

void TXDBgItem::Scale(Integer DPI, Integer ImageDPI)
{
    inherited::Scale(DPI, ImageDPI);
    if (FPage) {
        PixWidth = FPage->PixPageWidth;
        PixHeight = FPage->PixPageHeight;
    }
}

TRect TXDBgItem::GetBoundsRect() const
{
    if (FFullPage || !FPage)
        return Rect(0, 0, PixWidth, PixHeight);
    return Rect(FPage->PixLeftMargin, FPage->PixTopMargin, PixWidth - FPage->PixRightMargin,
        PixHeight - FPage->PixBottomMargin);
}

void TXDBgItem::Paint(TBitmap* Target, const TRect& PageRect, Cardinal Flags)
{
    PaintContent(Target, PageRect, Flags, KeyColor());
}

void TXDBgItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    const TRect R = GetBoundsRect();
    const Integer B = PixBorderWidth;
    const TRect P = FFullPage ? Rect(B, B, B + BaseWidth, B + BaseHeight)
                              : Rect(R.Left + B, R.Top + B, R.Right - B - PixShadowDX, R.Bottom - B - PixShadowDY);
    PaintShadow(Bitmap, R);
    PaintBorder(Bitmap, R, Flags, Key);
    if (FImagePosition != ipColorOnly && FAlpha != 255 && FBgColor != 0xFFFFFF)
        BlendColorBitmap(Bitmap, 0xFFFFFF, Byte(255 - FAlpha));
    if (!(Flags & dpfPlaceholders))
        PaintFillAndPicture(Bitmap, R, Flags, Key);
    if (FAlpha == 255)
        return;
    if (FImagePosition == ipColorOnly)
        BlendColorBitmap(Bitmap, 0xFFFFFF, Byte(255 - FAlpha));
    else if (!(Flags & dpfPlaceholders)) {
        BlendColorRect(Bitmap, FBgColor, P, Byte(255 - FAlpha));
        if (FBgColor != 0xFFFFFF)
            BlendColorRect(Bitmap, 0xFFFFFF, P, Byte(255 - FAlpha));
    }
}

// ---- TXDLiveImageItem ----

void TXDLiveImageItem::Init()
{
    inherited::Init();
    FHitHolder.reset(New<TXHitCollection>(static_cast<TPersistent*>(this), TXHitItem::StaticClass()));
    FHit = FHitHolder->Add();
}

void TXDLiveImageItem::CollectHitAreas(TXAreaCollection* Areas)
{
    inherited::CollectHitAreas(Areas);
    if (FHit->Hit() == xhtNone)
        return;
    auto* Area = static_cast<TXHitAreaItem*>(Areas->Add());
    Area->Assign(FHit);
    Area->SetRect(GetBoundsRect());
}

void TXDLiveImageItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDLiveImageItem>(Source))
        FHit->Assign(Other->FHit);
    inherited::CopyFrom(Source);
}

// ---- TXDShapeItem ----

void TXDShapeItem::SetShapeType(TXDShapeType Value)
{
    if (FShapeType == Value)
        return;
    FShapeType = Value;
    LookChanged();
}

void TXDShapeItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDShapeItem>(Source))
        FShapeType = Other->FShapeType;
    inherited::CopyFrom(Source);
}

namespace {

// The outline of a shape in (X1, Y1)-(X2, Y2); rounded corners and the
// ellipse as polygons fine enough for their size.
std::vector<TPoint> ShapeOutline(TXDShapeType Type, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Corner)
{
    std::vector<TPoint> P;
    const double W = X2 - X1, H = Y2 - Y1;
    auto Arc = [&](double CX, double CY, double RX, double RY, double From) {
        const Integer Steps = std::clamp(Integer(std::max(RX, RY)), 2, 64);
        for (Integer I = 0; I <= Steps; ++I) {
            const double A = From + std::numbers::pi / 2 * I / Steps;
            P.push_back({ Integer(std::lround(CX + RX * std::cos(A))), Integer(std::lround(CY + RY * std::sin(A))) });
        }
    };
    if (Type == stEllipse) {
        for (Integer Q = 0; Q < 4; ++Q)
            Arc(X1 + W / 2, Y1 + H / 2, W / 2, H / 2, std::numbers::pi / 2 * Q);
    } else if (Type == stRoundRect && Corner > 0) {
        const double R = Corner;
        Arc(X2 - R, Y2 - R, R, R, 0);
        Arc(X1 + R, Y2 - R, R, R, std::numbers::pi / 2);
        Arc(X1 + R, Y1 + R, R, R, std::numbers::pi);
        Arc(X2 - R, Y1 + R, R, R, std::numbers::pi * 1.5);
    } else
        P = { { X1, Y1 }, { X2, Y1 }, { X2, Y2 }, { X1, Y2 } };
    return P;
}

}

void TXDShapeItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal, TColor)
{
    TCanvas* C = Bitmap->Canvas();
    const bool HasPen = PixBorderWidth > 0;
    C->Pen()->SetStyle(HasPen ? psSolid : psClear);
    C->Pen()->SetWidth(PixBorderWidth);
    const Integer a = PixBorderWidth / 2;
    const Integer g = PixWidth - PixBorderWidth - PixShadowDX + (HasPen ? 1 : 0);
    const Integer h = PixHeight - PixBorderWidth - PixShadowDY + (HasPen ? 1 : 0);
    const Integer o = FShapeType == stRoundRect ? std::min(g, h) / 4 : 0;
    if (g <= 0 || h <= 0)
        return;
    C->Brush()->SetStyle(FBgColor == clNone ? bsClear : bsSolid);
    if (PixShadowDX > 0 || PixShadowDY > 0) {
        C->Pen()->SetColor(SafeColor(FShadowColor));
        C->Brush()->SetColor(SafeColor(FShadowColor));
        const auto P = ShapeOutline(FShapeType, a + PixShadowDX, a + PixShadowDY, a + g + PixShadowDX, a + h + PixShadowDY, o);
        C->Polygon(P);
    }
    C->Pen()->SetColor(SafeColor(FBorderColor));
    C->Brush()->SetColor(SafeColor(FBgColor));
    C->Polygon(ShapeOutline(FShapeType, a, a, a + g, a + h, o));
}
