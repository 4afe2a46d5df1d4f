// A collection item that owns one block list: the base of found files.
// Part of the unit XCore.Streams.Containers, which includes it.
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Intervals.h"

class TXSplitItem : public TXCollectionItem {
    X_CLASS(TXSplitItem, TXCollectionItem)
public:
    void Init() override;
    // From another split item: a copy of its blocks, then the inherited part.
    bool AssignFrom(TPersistent* Source) override;
    void Clear() override;
    bool IsEmpty() override { return !FBlocks || FBlocks->Count() == 0; }

    TXBlocks* Blocks() const { return FBlocks.get(); }
    Int64 Size() const { return FBlocks ? FBlocks->Size() : 0; }

private:
    TOwnedPtr<TXBlocks> FBlocks;
};
