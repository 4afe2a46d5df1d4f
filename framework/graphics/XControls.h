// Shared pieces of the control layer: hit areas that carry a picture (the
// clickable spots of a wallpaper page and their sub-areas), the border
// widths used for margins and window borders, how skin data paints, the
// named image boxes a skin offers and two routines that move controls.
//
//     auto* Box = New<TXSkinImagesBox>(DataModule);
//     Box->SetImagesName(u"Hot_Close");       // found by that name
//     Skin->ImagesList()->Add(Box);
//
//     TOwnedPtr<TXBorders> Margins(MakeOwned<TXBorders>());
//     Margins->SetLeft(6);
//     TRect Inner = Margins->GetRect(Width, Height);
#pragma once
#include "core/XClasses.h"
#include "core/XCore.Collections.h"
#include "gdi/Region.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XSpark.Actions.Hit.h"
#include "vcl/Controls.h"
#include <array>

// How skin data paints: as the system does, with its own skin, with
// pictures, or with pictures and text.
enum TXPaintType : Byte { ptWindows, ptSkin, ptImage, ptImageText };
X_ENUM_INFO(TXPaintType, ptWindows, ptSkin, ptImage, ptImageText)

namespace XControls {

// This unit's own area collection; it behaves as the one of the hit
// actions.
class TXAreaCollection : public TXAreaCollectionOf<TXHitAreaItem> {
    X_CLASS(TXAreaCollection, TXAreaCollectionOf<TXHitAreaItem>)
public:
    using inherited::Create;
};

}

// An area item with a picture of its own.
class TXHitImageAreaItem : public TXHitAreaItem {
    X_CLASS(TXHitImageAreaItem, TXHitAreaItem)
public:
    void Init() override;
    // The picture of another image area item is copied; any other source
    // leaves the item without one. Then the hit data and the area.
    bool AssignFrom(TPersistent* Source) override;

    TXImageObject* Image() const { return FImage.get(); }

private:
    TOwnedPtr<TXImageObject> FImage;
};

// An image area item with sub-areas (image area items) of its own.
class TXHitImageAreasItem : public TXHitImageAreaItem {
    X_CLASS(TXHitImageAreasItem, TXHitImageAreaItem)
public:
    void Init() override;
    // The sub-areas of another such item are copied; any other source
    // leaves the item without sub-areas. Then the picture and the rest.
    bool AssignFrom(TPersistent* Source) override;

    XControls::TXAreaCollection* Areas() const { return FAreas.get(); }

private:
    TOwnedPtr<XControls::TXAreaCollection> FAreas;
};

// Area items that are image area items.
class TXImageAreaCollection : public XControls::TXAreaCollection {
    X_CLASS(TXImageAreaCollection, XControls::TXAreaCollection)
public:
    using inherited::Create;
    void Create(TPersistent* AOwner, TClass AItemClass) override;
    void CreateOwned(TPersistent* AOwner) override;

    TXHitImageAreaItem* GetItem(Integer Index) const { return static_cast<TXHitImageAreaItem*>(Items(Index)); }
};

// Four border widths: margins of a caption or a flow panel, the frame of a
// skinned window. A changed width runs the change notification.
class TXBorders : public TXChangeablePersistent {
    X_CLASS(TXBorders, TXChangeablePersistent)
public:
    // All four widths 0.
    void Clear() override;
    // The widths of another TXBorders, then the inherited assignment.
    bool AssignFrom(TPersistent* Source) override;

    // 0 left, 1 top, 2 right, 3 bottom; other indexes are ignored.
    Word GetWidth(Integer Index) const;
    void SetWidth(Integer Index, Word Value);
    Word Left() const { return FWidths[0]; }
    void SetLeft(Word Value) { SetWidth(0, Value); }
    Word Top() const { return FWidths[1]; }
    void SetTop(Word Value) { SetWidth(1, Value); }
    Word Right() const { return FWidths[2]; }
    void SetRight(Word Value) { SetWidth(2, Value); }
    Word Bottom() const { return FWidths[3]; }
    void SetBottom(Word Value) { SetWidth(3, Value); }

    // (Left, Top, Width - Right, Height - Bottom).
    TRect GetRect(Integer Width, Integer Height) const;
    // Each width from 96 pixels per inch to the screen's.
    void ScaleToScreenDpi();
    // The strips of the non-zero borders of a Width x Height rectangle;
    // the caller deletes the region.
    HRGN CreateBordersRegion(Integer Width, Integer Height) const;

private:
    std::array<Word, 4> FWidths {};
};

// An images box offered by a skin under ImagesName.
class TXSkinImagesBox : public TXImagesBox {
    X_CLASS(TXSkinImagesBox, TXImagesBox)
public:
    const String& ImagesName() const { return FImagesName; }
    void SetImagesName(const String& Value) { FImagesName = Value; }

private:
    String FImagesName;
};

// Skin images boxes; a freed box leaves the list.
class TXSkinImagesList : public TXComponentList<TXSkinImagesBox> {
    X_CLASS(TXSkinImagesList, TXComponentList<TXSkinImagesBox>)
public:
    TXSkinImagesBox* GetItem(Integer Index) const { return Items(Index); }
    // The first box whose ImagesName equals Name (case-sensitive); null
    // when none does.
    TXSkinImagesBox* FindByName(const String& Name) const;
};

// Moves the control by (DX, DY); its size stays.
void OffsetControl(TControl* Control, Integer DX, Integer DY);
// Widens and heightens the control by DW and DH; its place stays.
void GrowControl(TControl* Control, Integer DW, Integer DH);
