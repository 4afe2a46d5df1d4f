#include "forms/XSpark.Maps.Filers.h"

X_REGISTER_CLASS(TXRSimpleMapObjectFiler)
X_REGISTER_CLASS(TXRMapObjectFiler)
X_REGISTER_CLASS(TXRMapObjectFilerGroup)

void TXRSimpleMapObjectFiler::Create()
{
    inherited::Create();
    SetFilerIdentity(Identity, 3000, 0, 0, 0, 0, TXSimpleMapObject::StaticClass()->ClassName());
}

void TXRSimpleMapObjectFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    inherited::DefineGroups(AData, AMode, PartsOrMode(AParts, AMode));
    if (auto* Map = DynamicCast<TXSimpleMapObject>(AData))
        Groups()->AddGroup(this, TXRStreamObjectFilerGroup::StaticClass(), nullptr, Map);
}

void TXRMapObjectFiler::Create()
{
    inherited::Create();
    SetFilerIdentity(Identity, 3000, 0, 0, 0, 0, TXMapObject::StaticClass()->ClassName());
}

void TXRMapObjectFiler::DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts)
{
    inherited::DefineGroups(AData, AMode, PartsOrMode(AParts, AMode));
    if (auto* Map = DynamicCast<TXMapObject>(AData))
        Groups()->AddGroup(this, TXRMapObjectFilerGroup::StaticClass(), Map->Images(), Map);
}

void TXRMapObjectFilerGroup::Create()
{
    inherited::Create();
    ItemHeaderKind = 1000;
}

void TXRMapObjectFilerGroup::ItemDataLoaded(TObject* Item)
{
    if (auto* Image = DynamicCast<TXImageItem>(Item); Image && Image->ImageData())
        BindEntry(u"Data", Image->ImageData()->DataStream(), true);
}

void TXRMapObjectFilerGroup::RegisterItemData(TObject* Item)
{
    if (auto* Image = DynamicCast<TXImageItem>(Item); Image && Image->ImageData())
        RegisterEntry(u"Data", Image->ImageData()->DataStream());
}
