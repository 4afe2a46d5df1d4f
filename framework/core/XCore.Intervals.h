// Byte ranges and their shared order.
#pragma once
#include "Comparers.h"

struct TXBlock {
    Int64 Start = 0;
    Int64 Length = 0;

    // The last byte of the range: Start + Length - 1.
    Int64 BlockEnd() const { return Int64(UInt64(Start) + UInt64(Length) - 1); }
};

// Orders blocks by start, then by length: -1, 0 or 1.
class TXBlockComparer : public TComparer<TXBlock> {
    X_CLASS(TXBlockComparer, TComparer<TXBlock>)
public:
    Integer Compare(const TXBlock& Left, const TXBlock& Right) override;
};

// The one comparer the unit makes at start-up (null outside the unit's life).
IPtr<IComparer<TXBlock>> BlockComparer();
