#include "core/XCore.Streams.Containers.Split.h"

X_REGISTER_CLASS(TXSplitItem)

void TXSplitItem::Init()
{
    inherited::Init();
    FBlocks = MakeOwned<TXBlocks>();
}

bool TXSplitItem::AssignFrom(TPersistent* Source)
{
    if (auto* S = DynamicCast<TXSplitItem>(Source); S && S != this && FBlocks) {
        FBlocks->Clear();
        // Block by block as they are: Add would merge touching neighbours.
        for (const TXBlock& B : *S->Blocks())
            FBlocks->TXList<TXBlock>::Add(B);
        FBlocks->Recount();
    }
    return inherited::AssignFrom(Source);
}

void TXSplitItem::Clear()
{
    inherited::Clear();
    if (FBlocks)
        FBlocks->Clear();
}
