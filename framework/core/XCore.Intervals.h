// Byte ranges, lists of them and their shared order.
//
//     TOwnedPtr<TXBlocks> Claimed(New<TXBlocks>());
//     Claimed->Add(0, 4096);              // merges with the last block when it touches
//     Claimed->Pack();                    // sorted, overlaps and neighbours joined
//     Free->Complement(Claimed.get(), VolumeSize);
#pragma once
#include "rtl/Comparers.h"
#include "core/XCore.Collections.h"
#include <compare>
#include <vector>

class TStream;

struct TXBlock {
    Int64 Start = 0;
    Int64 Length = 0;

    void Init(Int64 AStart, Int64 ALength)
    {
        Start = AStart;
        Length = ALength;
    }
    // The last byte of the range: Start + Length - 1.
    Int64 BlockEnd() const { return Int64(UInt64(Start) + UInt64(Length) - 1); }
    Int64 Last() const { return BlockEnd(); }
    // Grows to the smallest range covering itself and AStart..AStart+ALength-1
    // (Length 0 when that range would end before its start).
    void Include(Int64 AStart, Int64 ALength);
    void IncludeBlock(const TXBlock& Other) { Include(Other.Start, Other.Length); }

    // By start, then by length, as TXBlockComparer.
    friend bool operator==(const TXBlock&, const TXBlock&) = default;
    friend auto operator<=>(const TXBlock&, const TXBlock&) = default;
};

// Orders blocks by start, then by length: -1, 0 or 1.
class TXBlockComparer : public TComparer<TXBlock> {
    X_CLASS(TXBlockComparer, TComparer<TXBlock>)
public:
    Integer Compare(const TXBlock& Left, const TXBlock& Right) override;
};

// The one comparer the unit makes at start-up (null outside the unit's life).
IPtr<IComparer<TXBlock>> BlockComparer();

// A list of byte ranges with the running total of their lengths. Size stays
// the sum of the lengths through every change the list sees (adding,
// deleting, clearing); a length changed through GetPItem is counted by the
// next Recount, which the list's own operations run.
class TXBlocks : public TXList<TXBlock> {
    X_CLASS(TXBlocks, TXList<TXBlock>)
public:
    void Create() override;

    Int64 Size() const { return FSize; }
    // A range of length 0 or less is ignored; a range that starts from one
    // byte before the last block to its end is merged into it, any other
    // is appended.
    void Add(Int64 AStart, Int64 ALength);
    void Recount();
    // Sorts and joins overlapping or touching blocks.
    void Pack();
    // The ranges below Limit that the packed Source does not cover.
    void Complement(TXBlocks* Source, Int64 Limit);
    // The bytes AFrom..ATo inclusive, following Source from the block that
    // holds AFrom; empty when no block holds it.
    void Clip(TXBlocks* Source, Int64 AFrom, Int64 ATo);
    // The volume offset of the byte at Logical counted through the list, and
    // the index of its block. -1 (Index 0) for an empty list or a negative
    // Logical; one past the last block's end (Index count - 1) for Logical
    // at or past Size. Blocks of length 0 hold no byte. Logarithmic.
    Int64 PhysicalOf(Int64 Logical, Integer& Index);
    Int64 PhysicalOf(Int64 Logical);
    // Appends the bytes of every block of length above 0, in list order,
    // from Source to Target's position. False after a failure, whose code
    // stays in the calling thread's error record.
    bool CopyTo(TStream* Source, TStream* Target);
    // The same into a new file that replaces FileName only when the copy
    // is whole (a failure keeps the old file).
    bool CopyToFile(TStream* Source, const String& FileName);

    // The same blocks in the same order.
    virtual bool Equals(TObject* Other);

    // The block's storage, for changing it in place.
    TXBlock* GetPItem(Integer Index);
    void Sort()
    {
        inherited::Sort();
        Changed();
    }
    void Exchange(Integer Index1, Integer Index2)
    {
        inherited::Exchange(Index1, Index2);
        Changed();
    }
    void Move(Integer CurIndex, Integer NewIndex)
    {
        inherited::Move(CurIndex, NewIndex);
        Changed();
    }
    void Reverse()
    {
        inherited::Reverse();
        Changed();
    }

protected:
    void Notify(const TXBlock& Item, TCollectionNotification Action) override;

private:
    Int64 FSize = 0;
    // Lookup table of PhysicalOf, rebuilt after any change: the running
    // total of the lengths up to each block and its running maximum (the
    // maximum is what is searched; it also orders lists with negative
    // lengths that an in-place edit may leave).
    std::vector<Int64> FTotals;
    std::vector<Int64> FTotalsMax;
    bool FTableValid = false;

    void Changed() { FTableValid = false; }
    void BuildTable();
};

// Compares whole lists: the difference of the counts, else -1 or 1 at the
// first differing block, else 0.
class TXBlocksComparer : public TComparer<TXBlocks*> {
    X_CLASS(TXBlocksComparer, TComparer<TXBlocks*>)
public:
    Integer Compare(TXBlocks* const& Left, TXBlocks* const& Right) override;
};

// Walks a list byte by byte: Physical is the volume offset of the byte at
// Logical, Index its block.
struct TXBlockCursor {
    TXBlocks* Blocks = nullptr;
    Int64 Physical = 0;
    Int64 Logical = 0;
    Integer Index = 0;

    void Init(TXBlocks* ABlocks);
    bool Eof() const;
    void SetPosition(Int64 L);
    // One byte on; false at the end (Logical then equals Size).
    bool Next();
};
