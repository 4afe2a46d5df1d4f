// Reads of the carvers: all inside the search's stream, or failed. The
// stream's own error handling (zeros and an acknowledged error code) covers
// a bad sector; a cancelled search reads nothing.
#pragma once
#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "core/XCore.Types.h"

// The bytes of a signature (0..10; others are clamped).
const TXByteArray& ScanSignature(Integer Number);

struct TXDRReader {
    TXSearch* Search;
    Int64 Size;

    explicit TXDRReader(TXSearch* S)
        : Search(S)
        , Size(S && S->Stream ? S->Stream->Size() : 0)
    { }
    bool Cancelled() const { return Search->Cancelled(); }
    bool Inside(Int64 Pos, Int64 Count) const { return Pos >= 0 && Count >= 0 && Pos <= Size && Count <= Size - Pos; }
    bool Read(void* Buffer, Int64 Count, Int64 Pos) const
    {
        if (Cancelled() || !Inside(Pos, Count))
            return false;
        return Count == 0 || StreamReadAt(Search->Stream, Buffer, Count, Pos);
    }
    bool ReadBE32(Cardinal& V, Int64 Pos) const
    {
        Byte B[4];
        if (!Read(B, 4, Pos))
            return false;
        V = Cardinal(B[0]) << 24 | Cardinal(B[1]) << 16 | Cardinal(B[2]) << 8 | B[3];
        return true;
    }
    bool ReadBE16(Cardinal& V, Int64 Pos) const
    {
        Byte B[2];
        if (!Read(B, 2, Pos))
            return false;
        V = Cardinal(B[0]) << 8 | B[1];
        return true;
    }
    bool Matches(const TXByteArray& Bytes, Int64 Pos) const
    {
        TXByteArray Got(Bytes.size());
        return Read(Got.data(), Int64(Got.size()), Pos) && Got == Bytes;
    }
};
