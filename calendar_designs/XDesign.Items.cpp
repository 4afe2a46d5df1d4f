#include "calendar_designs/XDesign.Items.h"
#include "calendar_designs/XDesign.Borders.h"
#include "calendar_designs/XDesign.Defaults.h"
#include "calendar_designs/XDesign.Page.h"
#include "core/XCore.Types.h"
#include "graphics/XMedia.Pixels.h"
#include <cmath>
#include <limits>

X_REGISTER_CLASS(TXDesignList)
X_REGISTER_CLASS(TXDesignItem)

X_PUBLISHED(TXDesignItem)
{
    using namespace XDesignProps;
    X_PROP(DefaultName, DefaultName, SetDefaultName);
    X_PROP(DataName, DataName, SetDataName);
    Bool(D, u"Visible", 0).Default(true);
    Bool(D, u"Locked", 1).Default(false);
    Bool(D, u"UseBgAlpha", 2).Default(false);
    Bool(D, u"FullPage", 3).Default(false);
    X_PROP(Scaled, Scaled, SetScaled).Default(true);
    X_PROP(ProportionalScale, ProportionalScale, SetProportionalScale).Default(false);
    Int(D, u"Width", dipWidth).Default(0);
    Int(D, u"Height", dipHeight).Default(0);
    Int(D, u"Left", dipLeft).Default(0);
    Int(D, u"Top", dipTop).Default(0);
    Int(D, u"GroupID", dipGroupID).Default(0);
    Int(D, u"AXIdx", dipAXIdx).Default(-1);
    Int(D, u"AYIdx", dipAYIdx).Default(-1);
    Int(D, u"AlL", dipAlL).Default(0);
    Int(D, u"AlT", dipAlT).Default(0);
    Int(D, u"AlR", dipAlR).Default(0);
    Int(D, u"AlB", dipAlB).Default(0);
    Int(D, u"AlLTo", dipAlLTo).Default(-1);
    Int(D, u"AlTTo", dipAlTTo).Default(-1);
    Int(D, u"AlRTo", dipAlRTo).Default(-1);
    Int(D, u"AlBTo", dipAlBTo).Default(-1);
    Int(D, u"MinW", dipMinW).Default(0);
    Int(D, u"MinH", dipMinH).Default(0);
    Int(D, u"MaxW", dipMaxW).Default(0);
    Int(D, u"MaxH", dipMaxH).Default(0);
    Color(D, u"TransparentColor", 0).Default(clNone);
    Byte_(D, u"Alpha", 0).Default(255);
    Byte_(D, u"BgAlpha", 1).Default(255);
}

TColor SafeColor(TColor Color)
{
    return Color == DesignKeyColor ? TColor(0xFE00FF) : Color;
}

bool DesignBitmapFits(Int64 Width, Int64 Height)
{
    return Width > 0 && Height > 0 && Width <= MaxGraphicSide && Height <= MaxGraphicSide
        && Width * Height <= MaxGraphicPixels;
}

Integer SaturateToInteger(double Value)
{
    if (!(Value == Value))
        return 0;
    const double R = std::nearbyint(Value);
    if (R >= double(std::numeric_limits<Integer>::max()))
        return std::numeric_limits<Integer>::max();
    if (R <= double(std::numeric_limits<Integer>::min()))
        return std::numeric_limits<Integer>::min();
    return Integer(R);
}

Integer SaturateToInteger(Int64 Value)
{
    return Integer(std::clamp<Int64>(Value, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max()));
}

// ---- TXDesignList ----

void TXDesignList::Notify(TObject* const& Item, TCollectionNotification Action)
{
    inherited::Notify(Item, Action);
    if (OnListChanged)
        OnListChanged(this);
}

// ---- TXDesignItem ----

void TXDesignItem::Init()
{
    inherited::Init();
    FInt.fill(0);
    for (Integer I : { dipAXIdx, dipAYIdx, dipAlLTo, dipAlTTo, dipAlRTo, dipAlBTo })
        FInt[size_t(I)] = -1;
    FDefaultNames = MakeOwned<TStringList>();
    FDataNames = MakeOwned<TStringList>();
    FLayerBitmap = MakeOwned<TBitmap>();
    FLayerBitmap->SetPixelFormat(pf32bit);
    FBgLayerBitmap = MakeOwned<TBitmap>();
    FBgLayerBitmap->SetPixelFormat(pf32bit);
}

void TXDesignItem::BeforeDestruction()
{
    if (FPage)
        FPage->RemoveFromAnchorLists(this);
    if (FGroup)
        FGroup->Members()->Extract(this);
    FGroup = nullptr;
    inherited::BeforeDestruction();
}

String TXDesignItem::DefaultName() const
{
    return FDefaultNames->Text();
}

void TXDesignItem::SetDefaultName(const String& Value)
{
    FDefaultNames->SetText(Value);
}

String TXDesignItem::DataName() const
{
    return FDataNames->Text();
}

void TXDesignItem::SetDataName(const String& Value)
{
    FDataNames->SetText(Value);
}

TColor TXDesignItem::KeyColor() const
{
    return FTransparentColor == clNone ? DesignKeyColor : FTransparentColor;
}

void TXDesignItem::GeometryChanged(bool NewLook)
{
    if (NewLook)
        FDirty = true;
    if (FPage)
        FPage->LayoutNeeded = true;
    Changed();
}

void TXDesignItem::LookChanged()
{
    FDirty = true;
    Changed();
}

void TXDesignItem::SetIntProp(Integer Index, Integer Value)
{
    if (Index < 0 || Index >= dipCount)
        return;
    Integer& Field = FInt[size_t(Index)];
    switch (Index) {
    case dipWidth:
    case dipHeight:
        Value = std::max(Value, 0);
        if (Field == Value)
            return;
        Field = Value;
        GeometryChanged(true);
        return;
    case dipAlL:
    case dipAlT:
    case dipAlR:
    case dipAlB:
        // The distances are processed even when unchanged.
        Field = Value;
        GeometryChanged(false);
        return;
    case dipGroupID:
        SetGroupID(Value);
        return;
    default:
        break;
    }
    if (Field == Value)
        return;
    Field = Value;
    switch (Index) {
    case dipAXIdx:
        if (FPage)
            FPage->PlaceOnXAxis(this);
        Changed();
        return;
    case dipAYIdx:
        if (FPage)
            FPage->PlaceOnYAxis(this);
        Changed();
        return;
    case dipAlLTo:
    case dipAlRTo:
        if (FPage && AXIdx() > 0)
            FPage->PlaceOnXAxis(this);
        break;
    case dipAlTTo:
    case dipAlBTo:
        if (FPage && AYIdx() > 0)
            FPage->PlaceOnYAxis(this);
        break;
    default:
        break;
    }
    GeometryChanged(false);
}

Integer TXDesignItem::GetIntProp(Integer Index) const
{
    return Index >= 0 && Index < dipCount ? FInt[size_t(Index)] : 0;
}

void TXDesignItem::SetGroupID(Integer Value)
{
    if (GroupID() == Value)
        return;
    if (FGroup)
        FGroup->Members()->Extract(this);
    FGroup = nullptr;
    FInt[dipGroupID] = Value;
    if (Value != 0 && FPage)
        if ((FGroup = FPage->FindGroup(Value)))
            FGroup->Members()->AddUnique(this);
    Changed();
}

void TXDesignItem::SetByteProp(Integer Index, Byte Value)
{
    Byte* Field = Index == 0 ? &FAlpha : Index == 1 ? &FBgAlpha : nullptr;
    if (!Field || *Field == Value)
        return;
    *Field = Value;
    LookChanged();
}

Byte TXDesignItem::GetByteProp(Integer Index) const
{
    return Index == 0 ? FAlpha : Index == 1 ? FBgAlpha : 0;
}

void TXDesignItem::SetBoolProp(Integer Index, bool Value)
{
    bool* Fields[] = { &FVisible, &FLocked, &FUseBgAlpha, &FFullPage };
    if (Index < 0 || Index > 3 || *Fields[Index] == Value)
        return;
    *Fields[Index] = Value;
    if (Index == 2)
        LookChanged();
    else if (Index == 3)
        GeometryChanged(true);
    else
        Changed();
}

bool TXDesignItem::GetBoolProp(Integer Index) const
{
    const bool Fields[] = { FVisible, FLocked, FUseBgAlpha, FFullPage };
    return Index >= 0 && Index <= 3 && Fields[Index];
}

void TXDesignItem::SetColorProp(Integer Index, TColor Value)
{
    if (Index != 0 || FTransparentColor == Value)
        return;
    FTransparentColor = Value;
    LookChanged();
}

TColor TXDesignItem::GetColorProp(Integer Index) const
{
    return Index == 0 ? FTransparentColor : clNone;
}

void TXDesignItem::SetStrProp(Integer, const String&) { }

String TXDesignItem::GetStrProp(Integer) const
{
    return {};
}

void TXDesignItem::SetFloatProp(Integer, double) { }

double TXDesignItem::GetFloatProp(Integer) const
{
    return 0;
}

void TXDesignItem::ResetSize()
{
    PixWidth = BaseWidth;
    PixHeight = BaseHeight;
}

void TXDesignItem::Scale(Integer DPI, Integer)
{
    const Word D = Word(std::clamp(DPI, 0, 65535));
    BaseWidth = HiMetricToPixels(D, Width());
    BaseHeight = HiMetricToPixels(D, Height());
    PixLeft = HiMetricToPixels(D, Left());
    PixTop = HiMetricToPixels(D, Top());
    PixAlL = HiMetricToPixels(D, FInt[dipAlL]);
    PixAlT = HiMetricToPixels(D, FInt[dipAlT]);
    PixAlR = HiMetricToPixels(D, FInt[dipAlR]);
    PixAlB = HiMetricToPixels(D, FInt[dipAlB]);
    ResetSize();
}

namespace {

// One axis of the resolution: the position, and the size when both edges
// are anchored (crossing references give 0, not a negative size).
void ResolveAxis(Integer NearTo, Integer FarTo, Integer NearRef, Integer FarRef, Integer PixNear, Integer PixFar,
    Integer& Pos, Integer& Size, Integer& Base)
{
    if (NearTo >= 0 && FarTo >= 0) {
        Pos = SaturateToInteger(Int64(NearRef) + PixNear);
        const Int64 NewSize = std::max<Int64>(Int64(FarRef) - (Int64(PixFar) + Pos), 0);
        Base = SaturateToInteger(std::max<Int64>(NewSize + Base - Size, 0));
        Size = SaturateToInteger(NewSize);
    } else if (NearTo >= 0)
        Pos = SaturateToInteger(Int64(NearRef) + PixNear);
    else if (FarTo >= 0)
        Pos = SaturateToInteger(Int64(FarRef) - PixFar - Size);
}

}

void TXDesignItem::ResolveAnchors()
{
    if (!FPage)
        return;
    const Integer L = FPage->EdgeReference(aeLeft, FInt[dipAlLTo], FFullPage);
    const Integer R = FPage->EdgeReference(aeRight, FInt[dipAlRTo], FFullPage);
    ResolveAxis(FInt[dipAlLTo], FInt[dipAlRTo], L, R, PixAlL, PixAlR, PixLeft, PixWidth, BaseWidth);
    const Integer T = FPage->EdgeReference(aeTop, FInt[dipAlTTo], FFullPage);
    const Integer B = FPage->EdgeReference(aeBottom, FInt[dipAlBTo], FFullPage);
    ResolveAxis(FInt[dipAlTTo], FInt[dipAlBTo], T, B, PixAlT, PixAlB, PixTop, PixHeight, BaseHeight);
}

void TXDesignItem::AttachToPage(TXPageObject* APage)
{
    FPage = APage;
    if (!FPage)
        return;
    FPage->AllItems()->Add(this);
    if (!InRemaining) {
        FPage->RemainingItems()->Add(this);
        InRemaining = true;
    }
    OnChange = [P = FPage](TObject*) { P->Changed(); };
    FPage->PlaceOnXAxis(this);
    FPage->PlaceOnYAxis(this);
    FDirty = true;
    Changed();
}

void TXDesignItem::AttachToPageOnly(TXPageObject* APage)
{
    FPage = APage;
    OnChange = [P = FPage](TObject*) { P->Changed(); };
    FDirty = true;
}

void TXDesignItem::ApplyDataDefaults()
{
    if (!FPage)
        return;
    for (Integer I = 0; I < FDataNames->Count(); ++I)
        if (TXDDefaultItem* Default = FPage->DefaultList()->FindByName(FDataNames->Strings(I)))
            Assign(Default);
}

void TXDesignItem::TakePageDefaults(std::initializer_list<const char16_t*> Names)
{
    if (FPage)
        for (const char16_t* Name : Names)
            if (TXDDefaultItem* Default = FPage->DefaultList()->FindByName(Name))
                Assign(Default);
}

void TXDesignItem::ApplyDefaultsFrom(TObjectList* List)
{
    for (Integer I = 0; I < FDefaultNames->Count(); ++I) {
        const String& Line = FDefaultNames->Strings(I);
        for (Integer J = 0; J < List->Count(); ++J)
            if (auto* Default = DynamicCast<TXDDefaultItem>(List->Items(J)); Default && Default->Name() == Line)
                Assign(Default);
    }
}

void TXDesignItem::ApplyDefault(TXDDefaultItem* Default)
{
    if (Default && FDefaultNames->IndexOf(Default->Name()) >= 0)
        Assign(Default);
}

void TXDesignItem::CollectHitAreas(TXAreaCollection* Areas)
{
    Areas->Clear();
}

void TXDesignItem::Assign(TPersistent* Source)
{
    if (!DynamicCast<TXDDefaultItem>(Source))
        return inherited::Assign(Source);
    const String Own = GetName();
    inherited::Assign(Source);
    SetName(Own);
}

bool TXDesignItem::AssignFrom(TPersistent* Source)
{
    if (auto* Default = DynamicCast<TXDDefaultItem>(Source)) {
        BeginUpdate();
        try {
            Default->AssignTo(this);
        } catch (...) {
            FDirty = true;
            EndUpdate();
            throw;
        }
        FDirty = true;
        EndUpdate();
        return true;
    }
    if (auto* Item = DynamicCast<TXDesignItem>(Source)) {
        inherited::AssignFrom(Source);
        CopyFrom(Item);
        return true;
    }
    return false;
}

void TXDesignItem::CopyFrom(TXDesignItem* Source)
{
    FDefaultNames->Assign(Source->FDefaultNames.get());
    FDataNames->Assign(Source->FDataNames.get());
    if (FGroup)
        FGroup->Members()->Extract(this);
    FGroup = nullptr;
    FInt[dipGroupID] = Source->GroupID();
    for (Integer I : { dipAXIdx, dipAYIdx, dipAlLTo, dipAlTTo, dipAlRTo, dipAlBTo })
        SetIntProp(I, Source->FInt[size_t(I)]);
    for (Integer I : { dipAlL, dipAlT, dipAlR, dipAlB, dipMinW, dipMinH, dipMaxW, dipMaxH, dipWidth, dipHeight, dipLeft,
             dipTop })
        FInt[size_t(I)] = Source->FInt[size_t(I)];
    FScaled = Source->FScaled;
    FProportionalScale = Source->FProportionalScale;
    FAutoSize = Source->FAutoSize;
    FFullPage = Source->FFullPage;
    FVisible = Source->FVisible;
    FUseBgAlpha = Source->FUseBgAlpha;
    FTransparentColor = Source->FTransparentColor;
    FAlpha = Source->FAlpha;
    FBgAlpha = Source->FBgAlpha;
    FUnderlayInLayer = Source->FUnderlayInLayer;
    FDirty = true;
    if (FPage) {
        OnChange = [P = FPage](TObject*) { P->Changed(); };
        FPage->LayoutNeeded = true;
    }
}

void TXDesignItem::Rescale(double XFactor, double YFactor)
{
    if (!FScaled || XFactor == 0 || YFactor == 0)
        return;
    for (Integer I : { dipWidth, dipLeft, dipAlL, dipAlR })
        FInt[size_t(I)] = SaturateToInteger(FInt[size_t(I)] * XFactor);
    for (Integer I : { dipHeight, dipTop, dipAlT, dipAlB })
        FInt[size_t(I)] = SaturateToInteger(FInt[size_t(I)] * YFactor);
    FInt[dipWidth] = std::max(FInt[dipWidth], 0);
    FInt[dipHeight] = std::max(FInt[dipHeight], 0);
    FDirty = true;
    if (FPage)
        FPage->LayoutNeeded = true;
}

TRect TXDesignItem::GetBoundsRect() const
{
    return Rect(PixLeft, PixTop, SaturateToInteger(Int64(PixLeft) + PixWidth),
        SaturateToInteger(Int64(PixTop) + PixHeight));
}

namespace {

// The area of Target under the layer at (X, Y) copied into Layer; parts
// outside Target keep what Layer held.
void CopyTargetArea(TBitmap* Layer, TBitmap* Target, Integer X, Integer Y)
{
    DrawBitmapAlpha(Layer, Target, 0, 0,
        Rect(X, Y, SaturateToInteger(Int64(X) + Layer->Width()), SaturateToInteger(Int64(Y) + Layer->Height())), 255);
}

void SizeLayer(TBitmap* Layer, TPixelFormat Format, Integer W, Integer H, TColor Key)
{
    Layer->SetPixelFormat(Format);
    Layer->SetSize(W, H);
    Layer->Fill(Key);
}

}

bool TXDesignItem::PrepareLayers(TBitmap* Target, Cardinal Flags, TColor Key, bool NoBackground)
{
    if (!DesignBitmapFits(PixWidth, PixHeight))
        return false;
    // A cached layer of another size (a layout without a look change) is
    // painted again rather than drawn at the wrong size.
    if (!(FDirty || FUnderlayInLayer || NoBackground) && FLayerBitmap->Width() == PixWidth
        && FLayerBitmap->Height() == PixHeight)
        return true;
    FDirty = false;
    SizeLayer(FLayerBitmap.get(), pf32bit, PixWidth, PixHeight, Key);
    if (NoBackground || FUnderlayInLayer)
        CopyTargetArea(FLayerBitmap.get(), Target, PixLeft, PixTop);
    const TRect PageRect = Rect(0, 0, Target->Width(), Target->Height());
    if (FUseBgAlpha) {
        SizeLayer(FBgLayerBitmap.get(), Flags & dpf24Bit ? pf24bit : pf32bit, PixWidth, PixHeight, Key);
        if (FUnderlayInLayer)
            DrawBitmapAlpha(FBgLayerBitmap.get(), FLayerBitmap.get(), 0, 0, Rect(0, 0, PixWidth, PixHeight), 255);
        PaintBackground(FBgLayerBitmap.get(), PageRect, Flags, Key);
    } else {
        FBgLayerBitmap->SetSize(0, 0);
        PaintBackground(FLayerBitmap.get(), PageRect, Flags, Key);
    }
    if (!NoBackground)
        PaintContent(FLayerBitmap.get(), PageRect, Flags, Key);
    return true;
}

void TXDesignItem::Paint(TBitmap* Target, const TRect& PageRect, Cardinal Flags)
{
    if (!FVisible)
        return;
    const TColor Key = KeyColor();
    const bool NoBackground = HasNoBackground();
    if (PrepareLayers(Target, Flags, Key, NoBackground)) {
        if (FUseBgAlpha)
            DrawBitmapKeyed(Target, FBgLayerBitmap.get(), PixLeft, PixTop, Key, FBgAlpha);
        const TRect Whole = Rect(0, 0, PixWidth, PixHeight);
        if (NoBackground) {
            if (FUseBgAlpha)
                CopyTargetArea(FLayerBitmap.get(), Target, PixLeft, PixTop);
            PaintContent(FLayerBitmap.get(), PageRect, Flags, Key);
            DrawBitmapAlpha(Target, FLayerBitmap.get(), PixLeft, PixTop, Whole, 255);
        } else if (Flags & dpf24Bit) {
            TOwnedPtr<TBitmap> Temp = MakeOwned<TBitmap>();
            Temp->SetPixelFormat(pf32bit);
            Temp->SetSize(PixWidth, PixHeight);
            CopyTargetArea(Temp.get(), Target, PixLeft, PixTop);
            DrawLayerBitmapKeyed(Temp.get(), FLayerBitmap.get(), 0, 0, Key, FAlpha);
            DrawBitmapAlpha(Target, Temp.get(), PixLeft, PixTop, Whole, 255);
        } else
            DrawLayerBitmapKeyed(Target, FLayerBitmap.get(), PixLeft, PixTop, Key, FAlpha);
    }
    if (FPage && !FPage->CacheLayers) {
        FLayerBitmap->SetSize(0, 0);
        FBgLayerBitmap->SetSize(0, 0);
        FDirty = true;
    }
}
