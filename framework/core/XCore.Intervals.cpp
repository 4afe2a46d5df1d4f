#include "core/XCore.Intervals.h"
#include "rtl/SafeSave.h"
#include "rtl/Streams.h"
#include "rtl/Units.h"
#include "core/XCore.Errors.h"
#include <algorithm>

X_REGISTER_CLASS(TXBlockComparer)
X_REGISTER_CLASS(TXBlocks)
X_REGISTER_CLASS(TXBlocksComparer)

namespace {
// Offsets and lengths come from disks: sums saturate instead of wrapping.
Int64 AddSat(Int64 A, Int64 B)
{
    Int64 R;
    if (__builtin_add_overflow(A, B, &R))
        return B > 0 ? std::numeric_limits<Int64>::max() : std::numeric_limits<Int64>::min();
    return R;
}

Int64 SubSat(Int64 A, Int64 B)
{
    Int64 R;
    if (__builtin_sub_overflow(A, B, &R))
        return B < 0 ? std::numeric_limits<Int64>::max() : std::numeric_limits<Int64>::min();
    return R;
}
}

void TXBlock::Include(Int64 AStart, Int64 ALength)
{
    Int64 MyLast = BlockEnd();
    Int64 OtherLast = Int64(UInt64(AStart) + UInt64(ALength) - 1);
    Start = std::min(Start, AStart);
    Int64 NewLast = std::max(MyLast, OtherLast);
    Length = NewLast < Start ? 0 : Int64(UInt64(NewLast) - UInt64(Start) + 1);
}

Integer TXBlockComparer::Compare(const TXBlock& Left, const TXBlock& Right)
{
    if (Left.Start != Right.Start)
        return Left.Start < Right.Start ? -1 : 1;
    if (Left.Length != Right.Length)
        return Left.Length < Right.Length ? -1 : 1;
    return 0;
}

namespace {
IPtr<IComparer<TXBlock>> GBlockComparer;

void InitIntervals()
{
    GBlockComparer = IPtr<IComparer<TXBlock>>(New<TXBlockComparer>());
}

void DoneIntervals()
{
    GBlockComparer = nullptr;
}
}

IPtr<IComparer<TXBlock>> BlockComparer()
{
    return GBlockComparer;
}

X_UNIT(XCore_Intervals, "XCore.Intervals", {}, &InitIntervals, &DoneIntervals)

// --- TXBlocks ---------------------------------------------------------------

void TXBlocks::Create()
{
    IPtr<IComparer<TXBlock>> C = BlockComparer();
    inherited::Create(C ? C : IPtr<IComparer<TXBlock>>(New<TXBlockComparer>()));
}

void TXBlocks::Notify(const TXBlock& Item, TCollectionNotification Action)
{
    FSize = Action == cnAdded ? AddSat(FSize, Item.Length) : SubSat(FSize, Item.Length);
    Changed();
    inherited::Notify(Item, Action);
}

TXBlock* TXBlocks::GetPItem(Integer Index)
{
    Changed();
    return RawItems().data() + Index;
}

void TXBlocks::Add(Int64 AStart, Int64 ALength)
{
    if (ALength <= 0)
        return;
    if (Count() > 0) {
        TXBlock& L = RawItems().back();
        // One byte before L up to L's end (the end itself touches it).
        if (L.Start - 1 <= AStart && AStart <= AddSat(L.Start, L.Length)) {
            FSize = SubSat(FSize, L.Length);
            L.Include(AStart, ALength);
            FSize = AddSat(FSize, L.Length);
            Changed();
            return;
        }
    }
    TXBlock B;
    B.Init(AStart, ALength);
    inherited::Add(B);
}

void TXBlocks::Recount()
{
    Int64 Sum = 0;
    for (const TXBlock& B : *this)
        Sum = AddSat(Sum, B.Length);
    FSize = Sum;
    Changed();
}

void TXBlocks::Pack()
{
    inherited::Sort();
    auto& Items = RawItems();
    // Joined blocks are dropped in one pass instead of one deletion each.
    size_t Kept = 0;
    for (size_t I = 1; I < Items.size(); ++I) {
        TXBlock& P = Items[Kept];
        const TXBlock& C = Items[I];
        if (P.Start - 1 <= C.Start && C.Start <= AddSat(P.Start, P.Length))
            P.IncludeBlock(C);
        else
            Items[++Kept] = C;
    }
    if (!Items.empty())
        Items.resize(Kept + 1);
    Recount();
}

void TXBlocks::Complement(TXBlocks* Source, Int64 Limit)
{
    Clear();
    if (!Source || Source->Count() == 0) {
        Add(0, Limit);
        Recount();
        return;
    }
    const TXBlock& First = Source->Items(0);
    if (First.Start > 0)
        Add(0, std::min(First.Start, Limit));
    Int64 Pos = AddSat(First.Start, First.Length);
    for (Integer I = 0; I < Source->Count() && Pos < Limit; ++I) {
        const TXBlock& B = Source->Items(I);
        // A gap reaching past the limit is cut there, like the head and tail.
        Add(Pos, SubSat(std::min(B.Start, Limit), Pos));
        Pos = AddSat(B.Start, B.Length);
    }
    if (Pos < Limit)
        Add(Pos, Limit - Pos);
    Recount();
}

void TXBlocks::Clip(TXBlocks* Source, Int64 AFrom, Int64 ATo)
{
    Clear();
    if (Source && ATo >= AFrom) {
        for (Integer I = 0; I < Source->Count(); ++I) {
            const TXBlock& B = Source->Items(I);
            if (!(B.Start <= AFrom && AFrom <= B.Last()))
                continue;
            if (B.Last() >= ATo) {
                Add(AFrom, ATo - AFrom + 1);
                break;
            }
            Add(AFrom, AddSat(B.Start, B.Length) - AFrom);
            if (I + 1 < Source->Count())
                AFrom = Source->Items(I + 1).Start;
        }
    }
    Recount();
}

void TXBlocks::BuildTable()
{
    const auto& Items = RawItems();
    FTotals.resize(Items.size());
    FTotalsMax.resize(Items.size());
    Int64 Total = 0;
    Int64 Max = std::numeric_limits<Int64>::min();
    for (size_t I = 0; I < Items.size(); ++I) {
        Total = AddSat(Total, Items[I].Length);
        Max = std::max(Max, Total);
        FTotals[I] = Total;
        FTotalsMax[I] = Max;
    }
    FTableValid = true;
}

Int64 TXBlocks::PhysicalOf(Int64 Logical, Integer& Index)
{
    Index = 0;
    if (Count() == 0 || Logical < 0)
        return -1;
    if (!FTableValid)
        BuildTable();
    // The block holding the byte is the first whose running total passes
    // Logical: the blocks before it end at or before it, and a block of
    // length 0 never raises the total.
    auto It = std::upper_bound(FTotalsMax.begin(), FTotalsMax.end(), Logical);
    const auto& Items = RawItems();
    if (It == FTotalsMax.end()) {
        Index = Count() - 1;
        return AddSat(Items.back().Start, Items.back().Length);
    }
    size_t I = size_t(It - FTotalsMax.begin());
    Index = Integer(I);
    Int64 Before = I == 0 ? 0 : FTotals[I - 1];
    return AddSat(Items[I].Start, SubSat(Logical, Before));
}

Int64 TXBlocks::PhysicalOf(Int64 Logical)
{
    Integer Index;
    return PhysicalOf(Logical, Index);
}

bool TXBlocks::CopyTo(TStream* Source, TStream* Target)
{
    ClearXError();
    try {
        for (const TXBlock& B : *this) {
            if (B.Length <= 0)
                continue;
            if (Source->Seek(B.Start, soBeginning) != B.Start)
                throw EReadError(RtlText::ReadError);
            Target->CopyFrom(Source, B.Length);
        }
        return true;
    } catch (const std::exception&) {
        if (GetXErrorCode() == xecNone)
            SetXError(xecReadFailed, 0, {}, false);
        CheckXError();
        return false;
    }
}

bool TXBlocks::CopyToFile(TStream* Source, const String& FileName)
{
    try {
        // The file is replaced only by a whole copy.
        TOwnedPtr<TReplacementFileStream> File(New<TReplacementFileStream>(FileName));
        if (!CopyTo(Source, File.get()))
            return false;
        File->Commit();
        return true;
    } catch (const EXError&) {
        throw;
    } catch (const EFileStreamError& E) {
        SetXError(xecWriteFailed, E.ErrorCode, FileName, false);
        CheckXError();
        return false;
    }
}

bool TXBlocks::Equals(TObject* Other)
{
    auto* O = DynamicCast<TXBlocks>(Other);
    if (!O || O->Count() != Count())
        return false;
    for (Integer I = 0; I < Count(); ++I)
        if (Items(I).Start != O->Items(I).Start || Items(I).Length != O->Items(I).Length)
            return false;
    return true;
}

Integer TXBlocksComparer::Compare(TXBlocks* const& Left, TXBlocks* const& Right)
{
    if (Left->Count() != Right->Count())
        return Left->Count() - Right->Count();
    TXBlockComparer C;
    for (Integer I = 0; I < Left->Count(); ++I)
        if (Integer R = C.Compare(Left->Items(I), Right->Items(I)))
            return R;
    return 0;
}

// --- TXBlockCursor ------------------------------------------------------------

void TXBlockCursor::Init(TXBlocks* ABlocks)
{
    Blocks = ABlocks;
    Logical = 0;
    Physical = Blocks ? Blocks->PhysicalOf(0, Index) : -1;
}

bool TXBlockCursor::Eof() const
{
    return !Blocks || Logical < 0 || Logical >= Blocks->Size();
}

bool TXBlockCursor::Next()
{
    if (Eof())
        return false;
    ++Logical;
    ++Physical;
    if (Index >= 0 && Index < Blocks->Count() && Physical <= Blocks->Items(Index).Last())
        return true;
    // Blocks of length 0 hold no byte: step over them.
    do
        ++Index;
    while (Index < Blocks->Count() && Blocks->Items(Index).Length <= 0);
    if (Index >= Blocks->Count()) {
        Index = Blocks->Count() - 1;
        return false;
    }
    Physical = Blocks->Items(Index).Start;
    return true;
}

void TXBlockCursor::SetPosition(Int64 L)
{
    if (L != 0 && L == Logical)
        return;
    if (L > 0 && L == Logical + 1) {
        Next();
        return;
    }
    Logical = L;
    Physical = Blocks ? Blocks->PhysicalOf(L, Index) : -1;
}
