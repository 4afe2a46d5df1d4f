#include "calendar_designs/XDesign.Borders.h"
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.Types.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"
#include <cstdlib>

X_REGISTER_CLASS(TXDGroupItem)
X_REGISTER_CLASS(TXDSpaceItem)
X_REGISTER_CLASS(TXDShadowItem)
X_REGISTER_CLASS(TXDBorderItem)

X_PUBLISHED(TXDGroupItem)
{
    X_PROP(GID, GID, SetGID).Default(0);
}

X_PUBLISHED(TXDSpaceItem) { }

X_PUBLISHED(TXDShadowItem)
{
    using namespace XDesignProps;
    X_PROP(ShadowStyle, ShadowStyle, SetShadowStyle).Default(ssFlat);
    Color(D, u"ShadowColor", 50).Default(0);
    X_PROP_READONLY(ShadowGradient, ShadowGradient);
    Int(D, u"ShadowDX", 50).Default(0);
    Int(D, u"ShadowDY", 51).Default(0);
}

X_PUBLISHED(TXDBorderItem)
{
    using namespace XDesignProps;
    X_PROP(BorderStyle, BorderStyle, SetBorderStyle).Default(bsFlat);
    Color(D, u"BgColor", 100).Default(0);
    X_PROP_READONLY(BgGradient, BgGradient);
    X_PROP(ImagePosition, ImagePosition, SetImagePosition).Default(ipColorOnly);
    X_PROP_READONLY(Image, Image);
    Color(D, u"BorderColor", 101).Default(0);
    X_PROP_READONLY(BorderGradient, BorderGradient);
    Int(D, u"BorderWidth", 100).Default(0);
}

// ---- TXDGroupItem ----

void TXDGroupItem::Init()
{
    inherited::Init();
    FMembers = MakeOwned<TXDesignList>(false);
}

void TXDGroupItem::BeforeDestruction()
{
    for (Integer I = 0; I < FMembers->Count(); ++I) {
        TXDesignItem* Member = FMembers->Items(I);
        Member->SetGroup(nullptr);
        Member->SetIntProp(dipGroupID, 0);
    }
    FMembers->Clear();
    inherited::BeforeDestruction();
}

void TXDGroupItem::RebuildMembers()
{
    FMembers->Clear();
    if (!FPage)
        return;
    TXDesignList* All = FPage->AllItems();
    for (Integer I = 0; I < All->Count(); ++I)
        if (TXDesignItem* Item = All->Items(I); Item->GroupID() == FGID && Item != this) {
            FMembers->AddUnique(Item);
            Item->SetGroup(this);
        }
}

void TXDGroupItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDGroupItem>(Source))
        FGID = Other->FGID;
    inherited::CopyFrom(Source);
}

// ---- TXDSpaceItem ----

void TXDSpaceItem::Init()
{
    inherited::Init();
    FVisible = false;
}

// ---- TXDShadowItem ----

void TXDShadowItem::Init()
{
    inherited::Init();
    FShadowGradient.reset(New<TXGradientObject>());
}

void TXDShadowItem::SetShadowStyle(TXDShadowStyle Value)
{
    if (FShadowStyle == Value)
        return;
    FShadowStyle = Value;
    GeometryChanged(true);
}

void TXDShadowItem::SetIntProp(Integer Index, Integer Value)
{
    Integer* Field = Index == 50 ? &FShadowDX : Index == 51 ? &FShadowDY : nullptr;
    if (!Field)
        return inherited::SetIntProp(Index, Value);
    if (*Field == Value)
        return;
    *Field = Value;
    GeometryChanged(true);
}

Integer TXDShadowItem::GetIntProp(Integer Index) const
{
    return Index == 50 ? FShadowDX : Index == 51 ? FShadowDY : inherited::GetIntProp(Index);
}

void TXDShadowItem::SetColorProp(Integer Index, TColor Value)
{
    if (Index != 50)
        return inherited::SetColorProp(Index, Value);
    if (FShadowColor == Value)
        return;
    FShadowColor = Value;
    LookChanged();
}

TColor TXDShadowItem::GetColorProp(Integer Index) const
{
    return Index == 50 ? FShadowColor : inherited::GetColorProp(Index);
}

void TXDShadowItem::SetOuterWidth(Integer Value)
{
    SetIntProp(dipWidth, std::max<Int64>(Int64(Value) - std::abs(Int64(FShadowDX)) - 2 * Int64(FrameExtent()), 0));
}

Integer TXDShadowItem::GetOuterWidth() const
{
    return SaturateToInteger(Int64(Width()) + std::abs(Int64(FShadowDX)) + 2 * Int64(FrameExtent()));
}

void TXDShadowItem::SetOuterHeight(Integer Value)
{
    SetIntProp(dipHeight, std::max<Int64>(Int64(Value) - std::abs(Int64(FShadowDY)) - 2 * Int64(FrameExtent()), 0));
}

Integer TXDShadowItem::GetOuterHeight() const
{
    return SaturateToInteger(Int64(Height()) + std::abs(Int64(FShadowDY)) + 2 * Int64(FrameExtent()));
}

Integer AtLeastOnePixel(Integer DPI, Integer Value)
{
    const Integer P = HiMetricToPixels(Word(std::clamp(DPI, 0, 65535)), Value);
    return P == 0 && Value != 0 ? 1 : P;
}

namespace {

Integer AwayFromZero(Integer Value, Integer By)
{
    return SaturateToInteger(Value > 0 ? Int64(Value) + By : Int64(Value) - By);
}

}

void TXDShadowItem::ScaleShadowOffsets(Integer DPI)
{
    PixShadowDX = AtLeastOnePixel(DPI, FShadowDX);
    PixShadowDY = AtLeastOnePixel(DPI, FShadowDY);
}

void TXDShadowItem::Scale(Integer DPI, Integer ImageDPI)
{
    ScaleShadowOffsets(DPI);
    FBlurPending = true;
    inherited::Scale(DPI, ImageDPI);
}

void TXDShadowItem::ResetSize()
{
    if (FBlurPending && FShadowStyle == ssBlur && PixShadowDX != 0 && PixShadowDY != 0) {
        PixShadowDX = AwayFromZero(PixShadowDX, 4);
        PixShadowDY = AwayFromZero(PixShadowDY, 4);
    }
    FBlurPending = false;
    PixWidth = SaturateToInteger(Int64(BaseWidth) + std::abs(Int64(PixShadowDX)));
    PixHeight = SaturateToInteger(Int64(BaseHeight) + std::abs(Int64(PixShadowDY)));
}

void TXDShadowItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDShadowItem>(Source)) {
        FShadowStyle = Other->FShadowStyle;
        FShadowColor = Other->FShadowColor;
        FShadowDX = Other->FShadowDX;
        FShadowDY = Other->FShadowDY;
        FShadowGradient->Assign(Other->FShadowGradient.get());
        PixShadowDX = Other->PixShadowDX;
        PixShadowDY = Other->PixShadowDY;
    }
    inherited::CopyFrom(Source);
}

// ---- TXDBorderItem ----

void TXDBorderItem::Init()
{
    inherited::Init();
    FBgGradient.reset(New<TXGradientObject>());
    FImage.reset(New<TXImageObject>());
    FBorderGradient.reset(New<TXGradientObject>());
}

void TXDBorderItem::SetBorderStyle(TXDBorderStyle Value)
{
    if (FBorderStyle == Value)
        return;
    FBorderStyle = Value;
    LookChanged();
}

void TXDBorderItem::SetImagePosition(TXImagePosition Value)
{
    if (FImagePosition == Value)
        return;
    FImagePosition = Value;
    LookChanged();
}

void TXDBorderItem::SetIntProp(Integer Index, Integer Value)
{
    if (Index != 100)
        return inherited::SetIntProp(Index, Value);
    if (FBorderWidth == Value)
        return;
    FBorderWidth = Value;
    GeometryChanged(true);
}

Integer TXDBorderItem::GetIntProp(Integer Index) const
{
    return Index == 100 ? FBorderWidth : inherited::GetIntProp(Index);
}

void TXDBorderItem::SetColorProp(Integer Index, TColor Value)
{
    TColor* Field = Index == 100 ? &FBgColor : Index == 101 ? &FBorderColor : nullptr;
    if (!Field)
        return inherited::SetColorProp(Index, Value);
    if (*Field == Value)
        return;
    *Field = Value;
    LookChanged();
}

TColor TXDBorderItem::GetColorProp(Integer Index) const
{
    return Index == 100 ? FBgColor : Index == 101 ? FBorderColor : inherited::GetColorProp(Index);
}

void TXDBorderItem::Scale(Integer DPI, Integer ImageDPI)
{
    FUnderlayInLayer = FBgColor == clNone || FImage->IsTransparent();
    PixBorderWidth = FBorderWidth > 0 ? AtLeastOnePixel(DPI, FBorderWidth) : HiMetricToPixels(Word(std::clamp(DPI, 0, 65535)), FBorderWidth);
    if (ImageDPI != 0) {
        PixImageWidth = SaturateToInteger(double(FImage->Width()) * DPI / ImageDPI);
        PixImageHeight = SaturateToInteger(double(FImage->Height()) * DPI / ImageDPI);
    } else {
        PixImageWidth = FImage->Width();
        PixImageHeight = FImage->Height();
    }
    inherited::Scale(DPI, ImageDPI);
}

void TXDBorderItem::ResetSize()
{
    inherited::ResetSize();
    PixWidth = SaturateToInteger(Int64(PixWidth) + 2 * Int64(PixBorderWidth));
    PixHeight = SaturateToInteger(Int64(PixHeight) + 2 * Int64(PixBorderWidth));
}

void TXDBorderItem::Rescale(double XFactor, double YFactor)
{
    if (XFactor != 0 && YFactor != 0) {
        FBorderWidth = SaturateToInteger(FBorderWidth * XFactor);
        FShadowDX = SaturateToInteger(FShadowDX * XFactor);
        FShadowDY = SaturateToInteger(FShadowDY * XFactor);
        FDirty = true;
    }
    inherited::Rescale(XFactor, YFactor);
}

void TXDBorderItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDBorderItem>(Source)) {
        FBgColor = Other->FBgColor;
        FBorderColor = Other->FBorderColor;
        FImagePosition = Other->FImagePosition;
        FBorderStyle = Other->FBorderStyle;
        FBorderWidth = Other->FBorderWidth;
        FBgGradient->Assign(Other->FBgGradient.get());
        FBorderGradient->Assign(Other->FBorderGradient.get());
        FImage->Assign(Other->FImage.get());
        PixBorderWidth = Other->PixBorderWidth;
        PixImageWidth = Other->PixImageWidth;
        PixImageHeight = Other->PixImageHeight;
    }
    inherited::CopyFrom(Source);
}

void TXDBorderItem::PaintFillAndPicture(TBitmap* Bitmap, const TRect& R, Cardinal, TColor Key)
{
    const Integer I = FBorderStyle == bsBlendLowered || FBorderStyle == bsBlendRaised ? 0 : PixBorderWidth;
    TCanvas* C = Bitmap->Canvas();
    C->Brush()->SetStyle(FBgColor == clNone ? bsClear : bsSolid);
    C->Brush()->SetColor(FTransparentColor == clNone ? SafeColor(FBgColor) : Key);
    const TRect Body = Rect(R.Left + I, R.Top + I, R.Right - I - PixShadowDX, R.Bottom - I - PixShadowDY);
    if (Body.Right <= Body.Left || Body.Bottom <= Body.Top)
        return;
    const TXFilterKernel* Kernel = FPage ? FPage->Kernel() : nullptr;
    TOwnedPtr<TGraphic> Picture;
    if (FImagePosition != ipDefault && FImagePosition != ipColorOnly && !FImage->IsEmpty())
        try {
            Picture.reset(FImage->ToGraphic());
        } catch (const Exception&) {
            // A picture that does not decode leaves the fill alone.
            Picture.reset();
        }
    if (!Picture) {
        if (FBgColor != clNone)
            C->FillRect(Body);
        return;
    }
    switch (FImagePosition) {
    case ipCustom:
    case ipCenter:
        DrawGraphicCenter(C, Body, Picture.get(), Kernel);
        break;
    case ipBestFit:
        DrawGraphicBestFit(C, Body, Picture.get(), Kernel);
        break;
    case ipStretch:
        DrawImageObjectStretch(C, Body, FImage.get(), Kernel);
        break;
    case ipFitWidth:
        DrawGraphicFitWidth(C, Body, Picture.get(), Kernel);
        break;
    case ipFitHeight:
        DrawGraphicFitHeight(C, Body, Picture.get(), Kernel);
        break;
    case ipTile:
        if (PixImageWidth == FImage->Width() && PixImageHeight == FImage->Height())
            DrawGraphicTile(C, Body, Picture.get());
        else if (PixImageWidth > 0 && PixImageHeight > 0)
            DrawGraphicTileSized(C, Body, Picture.get(), PixImageHeight, PixImageWidth);
        break;
    case ipDownScaledBestFit:
        DrawGraphicDownScaledBestFit(C, Body, Picture.get(), Kernel);
        break;
    case ipDownScaledCenter:
        DrawGraphicDownScaledCenter(C, Body, Picture.get(), Kernel);
        break;
    default:
        break;
    }
}

void TXDBorderItem::PaintShadow(TBitmap* Bitmap, const TRect& R)
{
    if ((PixShadowDX <= 0 && PixShadowDY <= 0) || FShadowGradient->Stops()->Count() > 0)
        return;
    const Integer W = R.Right, H = R.Bottom, X0 = R.Left, Y0 = R.Top;
    TCanvas* C = Bitmap->Canvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(SafeColor(FShadowColor));
    const TRect Body = Rect(X0, Y0, W - PixShadowDX, H - PixShadowDY);
    const TRect Shadow = Rect(X0 + PixShadowDX, Y0 + PixShadowDY, W, H);
    TRect Overlap;
    if (RectIntersect(Body, Shadow, Overlap)) {
        C->FillRect(Rect(X0 + PixShadowDX, H - PixShadowDY, W, H));
        C->FillRect(Rect(W - PixShadowDX, Y0 + PixShadowDY, W, H));
    } else
        C->FillRect(Shadow);
}

namespace {

// One strip of a blended border: a two-colour gradient mitred at both ends
// with the key colour, drawn at half opacity.
void DrawBlendStrip(TBitmap* Layer, Cardinal Flags, Integer X, Integer Y, Integer W, Integer H, TColor From, TColor To,
    bool Horizontal, bool TopOrLeft, TColor Key)
{
    if (W <= 0 || H <= 0)
        return;
    TOwnedPtr<TBitmap> Strip = MakeOwned<TBitmap>();
    Strip->SetPixelFormat(Flags & dpf24Bit ? pf24bit : pf32bit);
    Strip->SetSize(W, H);
    FillBitmapGradient(Strip.get(), From, To, Horizontal ? 1 : 0);
    if (Horizontal && TopOrLeft) {
        FillHStripCornerBottomLeft(Strip.get(), Key);
        FillHStripCornerBottomRight(Strip.get(), Key);
    } else if (Horizontal) {
        FillHStripCornerTopLeft(Strip.get(), Key);
        FillHStripCornerTopRight(Strip.get(), Key);
    } else if (TopOrLeft) {
        FillVStripCornerTopRight(Strip.get(), Key);
        FillVStripCornerBottomRight(Strip.get(), Key);
    } else {
        FillVStripCornerTopLeft(Strip.get(), Key);
        FillVStripCornerBottomLeft(Strip.get(), Key);
    }
    DrawBitmapKeyed(Layer, Strip.get(), X, Y, Key, 127);
}

}

void TXDBorderItem::PaintBorder(TBitmap* Bitmap, const TRect& R, Cardinal Flags, TColor Key)
{
    const Integer B = PixBorderWidth;
    if (B <= 0)
        return;
    const Integer X0 = R.Left, Y0 = R.Top, W = R.Right, H = R.Bottom, Sx = PixShadowDX, Sy = PixShadowDY;
    if (FBorderStyle == bsFlat) {
        TCanvas* C = Bitmap->Canvas();
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(SafeColor(FBorderColor));
        C->FillRect(Rect(X0, Y0, W - Sx, Y0 + B));
        C->FillRect(Rect(X0, Y0, X0 + B, H - Sy));
        C->FillRect(Rect(X0, H - B - Sy, W - Sx, H - Sy));
        C->FillRect(Rect(W - B - Sx, Y0, W - Sx, H - Sy));
        return;
    }
    if (FBorderStyle != bsBlendLowered && FBorderStyle != bsBlendRaised)
        return;
    const TColor Dark = FBorderStyle == bsBlendLowered ? TColor(0) : TColor(0xFFFFFF);
    const TColor Light = FBorderStyle == bsBlendLowered ? TColor(0xFFFFFF) : TColor(0);
    const Integer SW = W - X0 - Sx, SH = H - Y0 - Sy;
    DrawBlendStrip(Bitmap, Flags, X0, Y0, SW, B, Dark, FBorderColor, true, true, Key);
    DrawBlendStrip(Bitmap, Flags, X0, Y0, B, SH, Dark, FBorderColor, false, true, Key);
    DrawBlendStrip(Bitmap, Flags, X0, H - B - Sy, SW, B, FBorderColor, Light, true, false, Key);
    DrawBlendStrip(Bitmap, Flags, W - B - Sx, Y0, B, SH, FBorderColor, Light, false, false, Key);
}

void TXDBorderItem::PaintBackground(TBitmap* Bitmap, const TRect&, Cardinal Flags, TColor Key)
{
    const TRect R = Rect(0, 0, PixWidth, PixHeight);
    if (Flags & dpfPlaceholders)
        DrawCrossedBox(Bitmap->Canvas(), R);
    else
        PaintFillAndPicture(Bitmap, R, Flags, Key);
    PaintShadow(Bitmap, R);
    PaintBorder(Bitmap, R, Flags, Key);
}
