#include "graphics/XControls.h"
#include "core/XSpark.App.h"
#include <algorithm>

X_REGISTER_CLASS(TXHitImageAreaItem)
X_REGISTER_CLASS(TXHitImageAreasItem)
X_REGISTER_CLASS(TXImageAreaCollection)
X_REGISTER_CLASS(TXBorders)
X_REGISTER_CLASS(TXSkinImagesBox)
X_REGISTER_CLASS(TXSkinImagesList)

namespace XControls {
X_REGISTER_CLASS_AS(TXAreaCollection, u"XControls.TXAreaCollection")
X_PUBLISHED(TXAreaCollection)
{
    XDetail::DefineAreaEvents(D);
}
}

X_PUBLISHED(TXImageAreaCollection)
{
    XDetail::DefineAreaEvents(D);
}

X_PUBLISHED(TXBorders)
{
    X_PROP(Left, Left, SetLeft).Default(0);
    X_PROP(Top, Top, SetTop).Default(0);
    X_PROP(Right, Right, SetRight).Default(0);
    X_PROP(Bottom, Bottom, SetBottom).Default(0);
}

X_PUBLISHED(TXSkinImagesBox)
{
    X_PROP(ImagesName, ImagesName, SetImagesName);
}

// ---- image area items ----

void TXHitImageAreaItem::Init()
{
    inherited::Init();
    if (!FImage)
        FImage.reset(New<TXImageObject>()); // counting off: the item frees it
}

bool TXHitImageAreaItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXHitImageAreaItem>(Source))
        FImage->Assign(Other->FImage.get());
    else
        FImage->Clear();
    return inherited::AssignFrom(Source);
}

void TXHitImageAreasItem::Init()
{
    inherited::Init();
    if (!FAreas)
        FAreas.reset(New<XControls::TXAreaCollection>(this, TXHitImageAreaItem::StaticClass()));
}

bool TXHitImageAreasItem::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXHitImageAreasItem>(Source))
        FAreas->Assign(Other->FAreas.get());
    else
        FAreas->Clear();
    return inherited::AssignFrom(Source);
}

void TXImageAreaCollection::Create(TPersistent* AOwner, TClass AItemClass)
{
    const bool Fits = AItemClass && AItemClass->InheritsFrom(TXHitImageAreaItem::StaticClass());
    inherited::Create(AOwner, Fits ? AItemClass : TXHitImageAreaItem::StaticClass());
}

void TXImageAreaCollection::CreateOwned(TPersistent* AOwner)
{
    Create(AOwner, TXHitImageAreaItem::StaticClass());
}

// ---- TXBorders ----

void TXBorders::Clear()
{
    inherited::Clear();
    for (Integer I = 0; I < 4; ++I)
        SetWidth(I, 0);
}

bool TXBorders::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXBorders>(Source))
        FWidths = Other->FWidths;
    return inherited::AssignFrom(Source);
}

Word TXBorders::GetWidth(Integer Index) const
{
    return Index >= 0 && Index < 4 ? FWidths[Index] : 0;
}

void TXBorders::SetWidth(Integer Index, Word Value)
{
    if (Index < 0 || Index >= 4 || FWidths[Index] == Value)
        return;
    ChangeCount.Enter();
    FWidths[Index] = Value;
    ChangeCount.Leave();
}

TRect TXBorders::GetRect(Integer Width, Integer Height) const
{
    return { Left(), Top(), Width - Right(), Height - Bottom() };
}

void TXBorders::ScaleToScreenDpi()
{
    // One change for the four widths. A width past 16 bits at a very high
    // DPI stays at the largest one rather than wrapping to a small one.
    ChangeCount.Enter();
    for (Integer I = 0; I < 4; ++I)
        SetWidth(I, Word(std::clamp(ScaleToDPI(FWidths[I]), 0, 0xFFFF)));
    ChangeCount.Leave();
}

HRGN TXBorders::CreateBordersRegion(Integer Width, Integer Height) const
{
    HRGN Result = CreateRectRgn(0, 0, 0, 1);
    auto AddStrip = [Result](Integer L, Integer T, Integer R, Integer B) {
        HRGN Strip = CreateRectRgn(L, T, R, B);
        CombineRgn(Result, Result, Strip, RGN_OR);
        DeleteObject(Strip);
    };
    if (Left() != 0)
        AddStrip(0, 0, Left(), Height);
    if (Top() != 0)
        AddStrip(0, 0, Width, Top());
    if (Right() != 0)
        AddStrip(Width - Right(), 0, Width, Height);
    if (Bottom() != 0)
        AddStrip(0, Height - Bottom(), Width, Height);
    return Result;
}

// ---- skin images ----

TXSkinImagesBox* TXSkinImagesList::FindByName(const String& Name) const
{
    for (Integer I = 0; I < Count(); ++I)
        if (TXSkinImagesBox* Box = Items(I); Box && Box->ImagesName() == Name)
            return Box;
    return nullptr;
}

// ---- control utilities ----

void OffsetControl(TControl* Control, Integer DX, Integer DY)
{
    Control->SetBounds(Control->Left() + DX, Control->Top() + DY, Control->Width(), Control->Height());
}

void GrowControl(TControl* Control, Integer DW, Integer DH)
{
    Control->SetBounds(Control->Left(), Control->Top(), Control->Width() + DW, Control->Height() + DH);
}
