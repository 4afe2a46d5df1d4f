// Image maps as stored data: a picture with one action (a simple map), a
// picture with hit areas and one extra picture per paint state (a map),
// and the areas and pictures alone (map data, what a map control shows).
//
//     TOwnedPtr<TXMapObject> Map(New<TXMapObject>());
//     Map->Areas()->Add()->SetArea(u"10,10,60,40");
//     FilerSaveToFile(u"menu.map", TXRMapObjectFiler::StaticClass(), Map.get(), false, nullptr);
#pragma once
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Actions.Hit.h"

class TXSimpleMapObject : public TXImageObject {
    X_CLASS(TXSimpleMapObject, TXImageObject)
public:
    void Init() override;
    // Also alpha 255, contrast 50, no blend and an empty xhtNone hit.
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;

    Byte Alpha() const { return FAlpha; }
    void SetAlpha(Byte Value) { FAlpha = Value; }
    Byte BlendContrast() const { return FBlendContrast; }
    void SetBlendContrast(Byte Value) { FBlendContrast = Value; }
    bool Blend() const { return FBlend; }
    void SetBlend(bool Value) { FBlend = Value; }
    TXHitItem* Hit() const { return FHit.get(); }

private:
    void ResetMapValues();

    Byte FAlpha = 255;
    Byte FBlendContrast = 50;
    bool FBlend = false;
    TOwnedPtr<TXHitItem> FHit;
};

class TXCustomMapObject : public TXCustomSizeStreamObject {
    X_CLASS(TXCustomMapObject, TXCustomSizeStreamObject)
public:
    void Init() override;
    // The suffix, then copies of the other's areas and pictures.
    bool AssignFrom(TPersistent* Source) override;

    const String& ImagesSuffix() const { return FImagesSuffix; }
    void SetImagesSuffix(const String& Value) { FImagesSuffix = Value; }
    XSpark::Actions::Hit::TXAreaCollection* Areas() const { return FAreas.get(); }
    TXImageCollection* Images() const { return FImages.get(); }

private:
    String FImagesSuffix;
    TOwnedPtr<XSpark::Actions::Hit::TXAreaCollection> FAreas;
    TOwnedPtr<TXImageCollection> FImages;
};

// Publishes the areas, and the pictures while the own bytes are stored
// (in a container they travel as headers of their own).
class TXMapObject : public TXCustomMapObject {
    X_CLASS(TXMapObject, TXCustomMapObject)
};

class TXMapDataObject : public TXPersistent {
    X_CLASS(TXMapDataObject, TXPersistent)
public:
    void Init() override;
    // Copies of the other's areas and pictures.
    bool AssignFrom(TPersistent* Source) override;

    XSpark::Actions::Hit::TXAreaCollection* Areas() const { return FAreas.get(); }
    TXImageCollection* Images() const { return FImages.get(); }
    // The map control that shows this data; not owned.
    TObject* Owner() const { return FOwner; }
    void SetOwner(TObject* Value) { FOwner = Value; }
    // The first picture's size, 0 without pictures.
    Integer Width() const;
    Integer Height() const;

private:
    TOwnedPtr<XSpark::Actions::Hit::TXAreaCollection> FAreas;
    TOwnedPtr<TXImageCollection> FImages;
    TObject* FOwner = nullptr;
};

// Replaces Target's areas and pictures with copies of the given ones.
void CopyMapContent(XSpark::Actions::Hit::TXAreaCollection* TargetAreas, TXImageCollection* TargetImages,
    XSpark::Actions::Hit::TXAreaCollection* Areas, TXImageCollection* Images);
