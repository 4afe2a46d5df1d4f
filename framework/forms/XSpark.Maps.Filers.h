// Container filers of image maps. A simple map is one header: its values,
// then its picture as a resource. A map is its header (values and areas,
// its own picture as a resource), then one header per state picture.
//
//     FilerLoadFromFile(Name, TXRMapObjectFiler::StaticClass(), Map, false, nullptr);
#pragma once
#include "core/XCore.RStream.Filers.h"
#include "forms/XSpark.Maps.h"

class TXRSimpleMapObjectFiler : public TXRStreamObjectFiler {
    X_CLASS(TXRSimpleMapObjectFiler, TXRStreamObjectFiler)
public:
    void Create() override;
    // A group only for a TXSimpleMapObject: anything else reads nothing
    // and writes the file header alone.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
};

class TXRMapObjectFiler : public TXRStreamObjectFiler {
    X_CLASS(TXRMapObjectFiler, TXRStreamObjectFiler)
public:
    void Create() override;
    // A group only for a TXMapObject, with its pictures as the items.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
};

// The map's own picture as the object's "Data"; each state picture's bytes
// as its item's "Data".
class TXRMapObjectFilerGroup : public TXRStreamObjectFilerGroup {
    X_CLASS(TXRMapObjectFilerGroup, TXRStreamObjectFilerGroup)
public:
    void Create() override;
    void ItemDataLoaded(TObject* Item) override;
    void RegisterItemData(TObject* Item) override;
};
