#include "sorvane/XCore.Streams.Blocks.h"
#include "core/XCore.Errors.h"
#include <algorithm>
#include <cstring>

X_REGISTER_CLASS(TXCustomBlockStream)
X_REGISTER_CLASS(TXBlockStream)

void TXCustomBlockStream::Create(TStream* Stream, Integer AOwnership, TXBlocks* ABlocks)
{
    inherited::Create(Stream, AOwnership);
    FBlocks = ABlocks;
    FCursor.Init(FBlocks);
    FInnerViews = dynamic_cast<TXByteViewSource*>(FInner);
    if (FInner && FCursor.Physical >= 0)
        FInner->Seek(FCursor.Physical, soBeginning);
}

Int64 TXCustomBlockStream::Read(void* Buffer, Int64 Count)
{
    if (Count <= 0 || !Buffer || !FInner)
        return 0;
    Byte* Out = static_cast<Byte*>(Buffer);
    Int64 Done = 0;
    while (Done < Count && !FCursor.Eof()) {
        const TXBlock& B = FBlocks->Items(FCursor.Index);
        // The rest of the current block in one read of the inner stream.
        Int64 Run = std::min(Count - Done, B.Last() - FCursor.Physical + 1);
        if (Run <= 0)
            break;
        if (FInner->Position() != FCursor.Physical && FInner->Seek(FCursor.Physical, soBeginning) != FCursor.Physical)
            break;
        Int64 Got = FInner->Read(Out + Done, Run);
        if (Got <= 0)
            break;
        Done += Got;
        FCursor.Logical += Got - 1;
        FCursor.Physical += Got - 1;
        bool More = FCursor.Next();
        if (!More || Got < Run)
            break;
    }
    if (Done < Count)
        std::memset(Out + Done, 0, size_t(Count - Done));
    return Done;
}

bool TXCustomBlockStream::ViewAt(Int64 Pos, const Byte*& Data, Int64& Count)
{
    if (!FInnerViews || !FBlocks || Pos < 0 || Pos >= FBlocks->Size())
        return false;
    Integer Index = 0;
    const Int64 Physical = FBlocks->PhysicalOf(Pos, Index);
    const TXBlock& B = FBlocks->Items(Index);
    if (B.Length <= 0 || Physical < B.Start || Physical > B.Last())
        return false;
    if (!FInnerViews->ViewAt(Physical, Data, Count))
        return false;
    Count = std::min(Count, B.Last() - Physical + 1);
    return Count > 0;
}

Int64 TXCustomBlockStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    switch (Origin) {
    case soBeginning:
        if (Offset != 0 && Offset == FCursor.Logical)
            return Offset;
        FCursor.SetPosition(Offset);
        break;
    case soCurrent:
        if (Offset == 0)
            return FCursor.Logical;
        FCursor.SetPosition(FCursor.Logical + Offset);
        break;
    case soEnd: FCursor.SetPosition(Size() - Offset); break;
    default: return 0;
    }
    if (!FInner)
        return FCursor.Logical;
    Int64 R = FInner->Seek(FCursor.Physical, soBeginning);
    return R <= 0 ? R : FCursor.Logical;
}

bool StreamSeekInside(TStream* Stream, Int64 Pos)
{
    try {
        if (!Stream || Pos < 0 || Pos >= Stream->Size())
            return false;
        Stream->Seek(Pos, soBeginning);
        return true;
    } catch (const EXError&) {
        throw;
    } catch (const std::exception&) {
        return false;
    }
}

bool StreamReadAt(TStream* Stream, void* Buffer, Int64 Count, Int64 Pos)
{
    if (!Stream || Pos < 0 || Pos >= Stream->Size())
        return false;
    if (Count <= 0)
        return true;
    Int64 Got = 0;
    try {
        Stream->Seek(Pos, soBeginning);
        Got = std::max<Int64>(Stream->Read(Buffer, Count), 0);
    } catch (const std::exception&) {
        Got = 0;
        std::memset(Buffer, 0, size_t(Count));
        CheckXError();
    }
    if (Got < Count)
        std::memset(static_cast<Byte*>(Buffer) + Got, 0, size_t(Count - Got));
    return true;
}

bool StreamReadByteAt(TStream* Stream, Byte& B, Int64 Pos)
{
    B = 0;
    return StreamReadAt(Stream, &B, 1, Pos);
}

bool StreamReadByte(TStream* Stream, Byte& B)
{
    B = 0;
    if (!Stream)
        return false;
    return StreamReadAt(Stream, &B, 1, Stream->Position());
}

bool StreamReadNext(TStream* Stream, void* Buffer, Int64 Count)
{
    if (!Stream || Count < 0)
        return false;
    Int64 Pos = Stream->Position();
    if (Pos + Count >= Stream->Size())
        return false;
    return StreamReadAt(Stream, Buffer, Count, Pos);
}
