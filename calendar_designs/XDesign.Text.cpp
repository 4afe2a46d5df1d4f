#include "calendar_designs/XDesign.Text.h"
#include "calendar_designs/XDesign.DateText.h"
#include "calendar_designs/XDesign.Defaults.h"
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.DateTime.h"
#include "core/XCore.Types.h"
#include "graphics/XMedia.Drawing.h"
#include "graphics/XMedia.Pixels.h"

X_REGISTER_CLASS(TXDTextItem)
X_REGISTER_CLASS(TXDMonthTextItem)

X_PUBLISHED(TXDTextItem)
{
    using namespace XDesignProps;
    X_PROP(AutoSize, AutoSize, SetAutoSize).Default(false);
    D.Prop(
        u"XTScale", [](TXDTextItem* S) { return S->GetFloatProp(100); },
        [](TXDTextItem* S, double V) { S->SetFloatProp(100, V); });
    D.Prop(
        u"YTScale", [](TXDTextItem* S) { return S->GetFloatProp(101); },
        [](TXDTextItem* S, double V) { S->SetFloatProp(101, V); });
    X_PROP(Font, Font, SetFont);
    Color(D, u"TextColor", 100).Default(0);
    X_PROP(Alignment, Alignment, SetAlignment).Default(taLeftJustify);
    X_PROP(TextStyle, TextStyle, SetTextStyle).Default(tsFlat);
    Byte_(D, u"BlendContrast", 100).Default(0);
    Str(D, u"Text", 100);
}

X_PUBLISHED(TXDMonthTextItem)
{
    using namespace XDesignProps;
    Int(D, u"Month", 150).Default(0);
    Int(D, u"Year", 151).Default(0);
}

// ---- TXDTextItem ----

void TXDTextItem::Init()
{
    inherited::Init();
    FFont = MakeOwned<TFont>();
    FFont->SetName(u"Arial");
}

void TXDTextItem::SetFont(TFont* Value)
{
    if (Value)
        FFont->Assign(Value);
    LookChanged();
}

void TXDTextItem::SetAutoSize(bool Value)
{
    const bool Was = FAutoSize;
    FAutoSize = Value;
    if (Value && !Was)
        GeometryChanged(true);
}

void TXDTextItem::SetAlignment(TAlignment Value)
{
    if (FAlignment == Value)
        return;
    FAlignment = Value;
    LookChanged();
}

void TXDTextItem::SetTextStyle(TXDTextStyle Value)
{
    if (FTextStyle == Value)
        return;
    FTextStyle = Value;
    LookChanged();
}

void TXDTextItem::SetByteProp(Integer Index, Byte Value)
{
    if (Index != 100)
        return inherited::SetByteProp(Index, Value);
    if (FBlendContrast == Value)
        return;
    FBlendContrast = Value;
    LookChanged();
}

Byte TXDTextItem::GetByteProp(Integer Index) const
{
    return Index == 100 ? FBlendContrast : inherited::GetByteProp(Index);
}

void TXDTextItem::SetColorProp(Integer Index, TColor Value)
{
    if (Index != 100)
        return inherited::SetColorProp(Index, Value);
    if (FTextColor == Value)
        return;
    FTextColor = Value;
    LookChanged();
}

TColor TXDTextItem::GetColorProp(Integer Index) const
{
    return Index == 100 ? FTextColor : inherited::GetColorProp(Index);
}

void TXDTextItem::SetStrProp(Integer Index, const String& Value)
{
    if (Index != 100)
        return inherited::SetStrProp(Index, Value);
    // Stored even when equal: a new text is fitted again.
    FText = Value;
    GeometryChanged(true);
}

String TXDTextItem::GetStrProp(Integer Index) const
{
    return Index == 100 ? FText : inherited::GetStrProp(Index);
}

void TXDTextItem::SetFloatProp(Integer Index, double Value)
{
    double* Field = Index == 100 ? &FXTScale : Index == 101 ? &FYTScale : nullptr;
    if (!Field)
        return inherited::SetFloatProp(Index, Value);
    if (*Field == Value)
        return;
    *Field = Value;
    LookChanged();
}

double TXDTextItem::GetFloatProp(Integer Index) const
{
    return Index == 100 ? FXTScale : Index == 101 ? FYTScale : inherited::GetFloatProp(Index);
}

TSize TXDTextItem::MeasureText() const
{
    if (FText.empty())
        return {};
    TOwnedPtr<TBitmap> Probe(MakeOwned<TBitmap>());
    Probe->SetSize(10, 10);
    TCanvas* C = Probe->Canvas();
    C->Font()->Assign(FFont.get());
    TRect Out {};
    DrawTextInRect(C, Rect(0, 0, 10, 10), FText, Out, true, fqAntialiased, xepNone, false, FAlignment, 0);
    return { std::max(Out.Width(), 0), std::max(Out.Height(), 0) };
}

void TXDTextItem::FitToText(double Factor)
{
    const TSize S = MeasureText();
    if (S.cx == 0 || S.cy == 0)
        return;
    SetIntProp(dipWidth, SaturateToInteger(S.cx * Factor));
    SetIntProp(dipHeight, SaturateToInteger(S.cy * Factor));
    FXTScale = double(Width() - FShadowDX) / S.cx;
    FYTScale = double(Height() - FShadowDY) / S.cy;
}

void TXDTextItem::Scale(Integer DPI, Integer ImageDPI)
{
    if (FAutoSize)
        FitToText(DPI != 0 ? 7620.0 / DPI : 1.0);
    inherited::Scale(DPI, ImageDPI);
    ScaleShadowOffsets(DPI);
    FUnderlayInLayer = FTextStyle != tsFlat;
}

void TXDTextItem::Rescale(double XFactor, double YFactor)
{
    inherited::Rescale(XFactor, YFactor);
    if (FScaled && XFactor != 0 && YFactor != 0)
        FFont->SetHeight(SaturateToInteger(FFont->Height() * YFactor));
}

TOwnedPtr<TMetafile> TXDTextItem::TextMetafile(TColor Color) const
{
    const TSize S = MeasureText();
    if (S.cx == 0 || S.cy == 0)
        return nullptr;
    TOwnedPtr<TMetafile> Mf(MakeOwned<TMetafile>());
    Mf->SetSize(S.cx, S.cy);
    TOwnedPtr<TMetafileCanvas> C(MakeOwned<TMetafileCanvas>(Mf.get()));
    C->Brush()->SetStyle(bsClear);
    C->Font()->Assign(FFont.get());
    C->Font()->SetColor(Color);
    TRect Out {};
    DrawTextInRect(C.get(), Rect(0, 0, S.cx, S.cy), FText, Out, false, fqAntialiased, xepNone, false, FAlignment, 0);
    return Mf;
}

void TXDTextItem::PaintContent(TBitmap* Bitmap, const TRect&, Cardinal, TColor)
{
    if (FTextStyle == tsFlat) {
        TOwnedPtr<TMetafile> Mf = TextMetafile(0);
        if (!Mf)
            return;
        if (PixShadowDX > 0 || PixShadowDY > 0)
            DrawMetafileInColor(Bitmap, Rect(PixShadowDX, PixShadowDY, PixWidth, PixHeight), SafeColor(FShadowColor),
                Mf.get());
        DrawMetafileInColor(
            Bitmap, Rect(0, 0, PixWidth - PixShadowDX, PixHeight - PixShadowDY), SafeColor(FTextColor), Mf.get());
        return;
    }
    TOwnedPtr<TMetafile> Mf = TextMetafile(0x0000FF);
    const Integer W = PixWidth - 1, H = PixHeight - 1;
    if (!Mf || W <= 0 || H <= 0)
        return;
    TOwnedPtr<TBitmap> Grey(MakeOwned<TBitmap>());
    Grey->SetPixelFormat(pf24bit);
    Grey->SetSize(W, H);
    Grey->Fill(0);
    DrawMetafileInColor(Grey.get(), Rect(0, 0, W, H), 0x0000FF, Mf.get());
    GaussianBlur(Grey.get(), 1.2);
    DarkenGreyBitmap(Grey.get(), Byte(255 - std::min(50 + FBlendContrast, 255)));
    Grey->SetPixelFormat(pf32bit);
    const bool Lowered = FTextStyle == tsBlendLowered;
    SubtractBitmapSaturated(Bitmap, Grey.get(), Lowered ? 0 : 1, Lowered ? 0 : 1);
    AddBitmapSaturated(Bitmap, Grey.get(), Lowered ? 1 : 0, Lowered ? 1 : 0);
}

void TXDTextItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDTextItem>(Source)) {
        FFont->Assign(Other->FFont.get());
        FTextColor = Other->FTextColor;
        FXTScale = Other->FXTScale;
        FYTScale = Other->FYTScale;
        FAlignment = Other->FAlignment;
        FTextStyle = Other->FTextStyle;
        FBlendContrast = Other->FBlendContrast;
        FText = Other->FText;
    }
    inherited::CopyFrom(Source);
}

// ---- TXDMonthTextItem ----

void TXDMonthTextItem::Init()
{
    inherited::Init();
    QVLocale()->GetUserFormatSettings(FormatSettings);
}

void TXDMonthTextItem::SetIntProp(Integer Index, Integer Value)
{
    if (Index != 150 && Index != 151)
        return inherited::SetIntProp(Index, Value);
    (Index == 150 ? FMonth : FYear) = Value;
    LookChanged();
}

Integer TXDMonthTextItem::GetIntProp(Integer Index) const
{
    return Index == 150 ? FMonth : Index == 151 ? FYear : inherited::GetIntProp(Index);
}

void TXDMonthTextItem::TakeDate(Word, Word Month, Integer Year)
{
    ResolveItemMonth(FMonth, FYear, Month, Year, DisplayYear, DisplayMonth);
}

void TXDMonthTextItem::TakeFormatSettings(const TXFormatSettings& Settings)
{
    FormatSettings = Settings;
}

void TXDMonthTextItem::ApplyDataDefaults()
{
    TakePageDefaults({ u"Date", u"Format" });
    inherited::ApplyDataDefaults();
}

void TXDMonthTextItem::Scale(Integer DPI, Integer ImageDPI)
{
    const Integer M = std::clamp(DisplayMonth, 1, 12);
    FText = FormatSettings.LongMonthNames[size_t(M - 1)] + u" " + IntToStr(DisplayYear);
    inherited::Scale(DPI, ImageDPI);
}

void TXDMonthTextItem::CopyFrom(TXDesignItem* Source)
{
    if (auto* Other = DynamicCast<TXDMonthTextItem>(Source)) {
        FMonth = Other->FMonth;
        FYear = Other->FYear;
    }
    inherited::CopyFrom(Source);
}
