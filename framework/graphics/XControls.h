// Shared pieces of the control layer: how skin data paints, and the named
// image boxes a skin offers.
//
//     auto* Box = New<TXSkinImagesBox>(DataModule);
//     Box->SetImagesName(u"Hot_Close");       // found by that name
//     Skin->ImagesList()->Add(Box);
#pragma once
#include "core/XCore.Collections.h"
#include "graphics/XMedia.Images.h"

// How skin data paints: as the system does, with its own skin, with
// pictures, or with pictures and text.
enum TXPaintType : Byte { ptWindows, ptSkin, ptImage, ptImageText };
X_ENUM_INFO(TXPaintType, ptWindows, ptSkin, ptImage, ptImageText)

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
