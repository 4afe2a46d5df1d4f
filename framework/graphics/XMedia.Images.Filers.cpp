#include "graphics/XMedia.Images.Filers.h"

X_REGISTER_CLASS(TXRImageFilerGroup)
X_REGISTER_CLASS(TXRThnImageFilerGroup)
X_REGISTER_CLASS(TXRImageItemFilerGroup)

void TXRImageFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"Images";
    ItemHeaderKind = 1000;
}

void TXRImageFilerGroup::ItemDataLoaded(TObject* Item)
{
    if (auto* Image = DynamicCast<TXImageItem>(Item); Image && Image->ImageData())
        BindEntry(u"Data", Image->ImageData()->DataStream(), false);
}

void TXRImageFilerGroup::RegisterItemData(TObject* Item)
{
    if (auto* Image = DynamicCast<TXImageItem>(Item); Image && Image->ImageData())
        RegisterEntry(u"Data", Image->ImageData()->DataStream());
}

void TXRThnImageFilerGroup::ItemDataLoaded(TObject* Item)
{
    inherited::ItemDataLoaded(Item);
    if (auto* Thn = DynamicCast<TXThnImageItem>(Item); Thn && Thn->Thn())
        BindEntry(u"ThnData", Thn->Thn()->DataStream(), false);
}

void TXRThnImageFilerGroup::RegisterItemData(TObject* Item)
{
    inherited::RegisterItemData(Item);
    if (auto* Thn = DynamicCast<TXThnImageItem>(Item); Thn && Thn->Thn())
        RegisterEntry(u"ThnData", Thn->Thn()->DataStream());
}

void TXRImageItemFilerGroup::Create()
{
    inherited::Create();
    DefaultName = u"Data";
    ItemHeaderKind = 3;
}

void TXRImageItemFilerGroup::ObjectDataLoaded()
{
    if (auto* Image = DynamicCast<TXImageItem>(Data); Image && Image->ImageData())
        BindEntry(u"Data", Image->ImageData()->DataStream(), false);
}

void TXRImageItemFilerGroup::RegisterObjectData()
{
    if (auto* Image = DynamicCast<TXImageItem>(Data); Image && Image->ImageData())
        RegisterEntry(u"Data", Image->ImageData()->DataStream());
}
