// Container filer groups of stored pictures: collections of image items
// (their pictures, and thumbnails) and a single image item as a data
// object, with the picture bytes as separate resources.
//
//     Groups()->AddNamedGroup(this, TXRThnImageFilerGroup::StaticClass(), Thumbnails, nullptr, u"Images");
#pragma once
#include "core/XCore.RStream.Filers.h"
#include "graphics/XMedia.Images.h"

// Items that are image items: "Data" is the picture's bytes.
class TXRImageFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXRImageFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
    void ItemDataLoaded(TObject* Item) override;
    void RegisterItemData(TObject* Item) override;
};

// Also "ThnData": the thumbnail's bytes of thumbnail items.
class TXRThnImageFilerGroup : public TXRImageFilerGroup {
    X_CLASS(TXRThnImageFilerGroup, TXRImageFilerGroup)
public:
    void ItemDataLoaded(TObject* Item) override;
    void RegisterItemData(TObject* Item) override;
};

// A data object that is an image item: "Data" is its picture's bytes.
class TXRImageItemFilerGroup : public TXRStreamFilerGroup {
    X_CLASS(TXRImageItemFilerGroup, TXRStreamFilerGroup)
public:
    void Create() override;
    void ObjectDataLoaded() override;
    void RegisterObjectData() override;
};
