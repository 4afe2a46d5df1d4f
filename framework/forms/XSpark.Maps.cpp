#include "forms/XSpark.Maps.h"
#include "rtl/TypInfo.h"

using XSpark::Actions::Hit::TXAreaCollection;

X_REGISTER_CLASS(TXSimpleMapObject)
X_REGISTER_CLASS(TXCustomMapObject)
X_REGISTER_CLASS(TXMapObject)
X_REGISTER_CLASS(TXMapDataObject)

X_PUBLISHED(TXSimpleMapObject)
{
    X_PROP(Alpha, Alpha, SetAlpha).Default(255);
    X_PROP(BlendContrast, BlendContrast, SetBlendContrast).Default(50);
    X_PROP(Blend, Blend, SetBlend).Default(false);
    X_PROP_READONLY(Hit, Hit);
}

X_PUBLISHED(TXCustomMapObject)
{
    X_PROP(ImagesSuffix, ImagesSuffix, SetImagesSuffix);
}

X_PUBLISHED(TXMapObject)
{
    X_PROP_READONLY(Areas, Areas);
    X_PROP_READONLY(Images, Images).Stored(&TXMapObject::StoreData);
}

X_PUBLISHED(TXMapDataObject)
{
    X_PROP_READONLY(Areas, Areas);
    X_PROP_READONLY(Images, Images);
}

void CopyMapContent(TXAreaCollection* TargetAreas, TXImageCollection* TargetImages, TXAreaCollection* Areas,
    TXImageCollection* Images)
{
    // A map given its own collections keeps them.
    if (Areas != TargetAreas) {
        TargetAreas->Clear();
        if (Areas)
            TargetAreas->AppendFrom(Areas);
    }
    if (Images != TargetImages) {
        TargetImages->Clear();
        if (Images)
            TargetImages->AppendFrom(Images);
    }
}

// ---- TXSimpleMapObject ----

void TXSimpleMapObject::Init()
{
    inherited::Init();
    if (!FHit)
        FHit.reset(New<TXHitItem>(nullptr));
}

void TXSimpleMapObject::ResetMapValues()
{
    FAlpha = 255;
    FBlendContrast = 50;
    FBlend = false;
    if (!FHit)
        return;
    FHit->SetHit(xhtNone);
    FHit->SetCursor(0);
    FHit->SetCaption({});
    FHit->SetCommand({});
    FHit->SetArgs({});
    FHit->SetHint({});
}

void TXSimpleMapObject::Clear()
{
    inherited::Clear();
    ResetMapValues();
}

bool TXSimpleMapObject::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXSimpleMapObject>(Source); Other && Other != this) {
        FAlpha = Other->FAlpha;
        FBlendContrast = Other->FBlendContrast;
        FBlend = Other->FBlend;
        FHit->Assign(Other->FHit.get());
    }
    return inherited::AssignFrom(Source);
}

// ---- TXCustomMapObject ----

void TXCustomMapObject::Init()
{
    inherited::Init();
    if (!FAreas)
        FAreas.reset(New<TXAreaCollection>(static_cast<TPersistent*>(this)));
    if (!FImages)
        FImages.reset(New<TXImageCollection>(static_cast<TPersistent*>(this)));
}

bool TXCustomMapObject::AssignFrom(TPersistent* Source)
{
    if (auto* Other = DynamicCast<TXCustomMapObject>(Source)) {
        FImagesSuffix = Other->FImagesSuffix;
        CopyMapContent(FAreas.get(), FImages.get(), Other->Areas(), Other->Images());
    }
    return inherited::AssignFrom(Source);
}

// ---- TXMapDataObject ----

void TXMapDataObject::Init()
{
    inherited::Init();
    if (!FAreas)
        FAreas.reset(New<TXAreaCollection>(static_cast<TPersistent*>(this)));
    if (!FImages)
        FImages.reset(New<TXImageCollection>(static_cast<TPersistent*>(this)));
}

bool TXMapDataObject::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXMapDataObject>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    CopyMapContent(FAreas.get(), FImages.get(), Other->Areas(), Other->Images());
    return true;
}

Integer TXMapDataObject::Width() const
{
    return FImages->Count() > 0 ? FImages->Items(0)->ImageData()->Width() : 0;
}

Integer TXMapDataObject::Height() const
{
    return FImages->Count() > 0 ? FImages->Items(0)->ImageData()->Height() : 0;
}
